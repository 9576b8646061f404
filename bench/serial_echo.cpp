// Echoes every byte received on COM<n> back at once from TSerialPort's receive handler, as the
// download answers a handshake dot: the program side of serial_roundtrip.py. Built for both
// systems, so that the same round trip can be measured on Linux and under Wine.
//   bench-serial-echo N   (ends after 5 s without a byte)
#include "platform/Clock.h"
#include "serialport/TSerialPort.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>

int main(int argc, char *argv[]) {
  QCoreApplication app(argc, argv);
  const int com = argc > 1 ? atoi(argv[1]) : 0;
  if (com < 1 || com > 65535) {
    std::fprintf(stderr, "usage: bench-serial-echo COM-NUMBER\n");
    return 2;
  }
  TSerialPort port;
  port.SetPromptForPort(false);
  port.SetComNumber(quint16(com));
  port.SetBaud(9600);
  port.SetOnErrorEvent([](TSerialPort *sender, qint32 code) {
    std::fprintf(stderr, "bench-serial-echo: error %d: %s\n", code, qPrintable(sender->LastErrorText()));
  });
  Clock &clock = Clock::instance();
  quint64 last = clock.nowMs();
  port.SetOnTriggerAvail([&](TSerialPort *sender, quint16 count) {
    QByteArray block;
    sender->GetBlock(block, count);
    sender->PutString(block);
    last = clock.nowMs();
  });
  port.SetOpen(true);
  if (!port.Open())
    return 1;
  std::printf("echoing on COM%d\n", com);
  std::fflush(stdout);
  while (clock.nowMs() - last < 5000)
    clock.waitForEvents(last + 5000);
  return 0;
}
