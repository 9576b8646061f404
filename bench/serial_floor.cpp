// The least a Qt program can do with a talking serial line: a QApplication that reads every block
// a QSerialPort announces and keeps nothing. talkative_bench.py runs it in place of the program
// (BENCH_PROGRAM=floor) to show what the event loop and the serial library cost on this machine.
//   bench-serial-floor <device>
#include <QApplication>
#include <QSerialPort>

#include <cstdio>

int main(int argc, char **argv) {
  QApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: bench-serial-floor <device>\n");
    return 2;
  }
  QSerialPort port(QString::fromLocal8Bit(argv[1]));
  if (!port.open(QIODevice::ReadWrite)) {
    std::fprintf(stderr, "%s: %s\n", argv[1], qPrintable(port.errorString()));
    return 1;
  }
  qint64 total = 0;
  QObject::connect(&port, &QSerialPort::readyRead, [&] { total += port.readAll().size(); });
  return app.exec();
}
