// The window program's record of every write: one line per start of a write ("Write Script", a
// bare path, /F), appended after the outcome, with nothing else changed; a record that cannot be
// written costs one log line and nothing more.
#include "app/MainWindow.h"
#include "app/ProgramWindows.h"
#include "platform/AdapterPorts.h"
#include "platform/Log.h"
#include "station/TraceRecord.h"

#include "tests/support/Workflow.h"

#include <QDir>
#include <QTest>

namespace {
const quint16 kPort = 3;

// One FTDI adapter on COM3, whatever the machine has.
class OneAdapter : public AdapterPorts {
public:
  QList<AdapterPort> present(QString * = nullptr) override {
    AdapterPort a;
    a.com = kPort;
    a.usb.vendorId = "0403";
    a.usb.productId = "6001";
    a.usb.serial = "GW0001";
    return {a};
  }
};
} // namespace

class TestWindowTrace : public QObject {
  Q_OBJECT
  Workflow *w = nullptr;
  OneAdapter m_adapter;
  QStringList m_log;
  int m_sink = 0;

  QString recordPath() const {
    return QDir(w->dataHome()).filePath(QStringLiteral("Quarnel/Tamberlin/trace.csv"));
  }
  QList<TraceEntry> entries() const {
    const TraceRecord::Contents c = TraceRecord::read(recordPath(), nullptr);
    return c.problems.isEmpty() ? c.entries : QList<TraceEntry>();
  }
  SimGateway &gateway(KorvaneSim::Mode mode, KorvaneSim::Faults faults = {}) {
    KorvaneSim::Config config;
    config.mode = mode;
    config.faults = faults;
    config.restartMs = 1500;
    SimGateway &g = w->ports.gateway(kPort, config);
    w->ports.line(kPort).bytesPerSecond = 960;
    return g;
  }
  void clickWith(const QByteArray &script) {
    w->storePort(QStringLiteral("COM%1").arg(kPort));
    w->startUp();
    Form1->Dateiname = w->script(script);
    Form1->Button1Click();
  }

private slots:
  void init() {
    w = new Workflow;
    AdapterPorts::setInstance(&m_adapter);
    m_log.clear();
    m_sink = Log::addSink([this](const QString &text, Log::Kind) { m_log << text; });
  }
  void cleanup() {
    Log::removeSink(m_sink);
    AdapterPorts::setInstance(nullptr);
    delete w;
  }

  void oneLinePerStart_data() {
    QTest::addColumn<QString>("start");
    QTest::addColumn<QStringList>("messages");
    QTest::newRow("Write Script") << "button" << QStringList{"Write Script success"};
    QTest::newRow("bare path on the command line") << "path" << QStringList{"Write Script success"};
    QTest::newRow("/F on the command line") << "/F" << QStringList{};
  }
  void oneLinePerStart() {
    QFETCH(QString, start);
    SimGateway &g = gateway(KorvaneSim::Mode::Config);
    const QByteArray script = w->pattern(700);
    const QString path = w->script(script);
    int linesAtExit = -1;
    w->process.onExit = [&] { linesAtExit = int(entries().size()); };
    w->storePort(QStringLiteral("COM%1").arg(kPort));
    const QDateTime before = QDateTime::currentDateTimeUtc().addSecs(-1);
    if (start == QLatin1String("button")) {
      w->startUp();
      Form1->Dateiname = path;
      Form1->Button1Click();
    } else {
      w->startUp({start == QLatin1String("/F") ? start + path : path});
    }
    QVERIFY(w->settle());
    QVERIFY(g.sim().lastDownload().script == script);
    QTEST(w->dialogs.messageTexts(), "messages");
    const QList<TraceEntry> lines = entries();
    QCOMPARE(lines.size(), 1);
    const TraceEntry &e = lines.first();
    QVERIFY(e.written);
    QCOMPARE(e.exitCode, 0);
    QCOMPARE(e.reason, QString());
    QCOMPARE(e.program, QStringLiteral("tamberlin"));
    QCOMPARE(e.port, QStringLiteral("COM3"));
    QCOMPARE(e.adapter, QStringLiteral("0403:6001 serial GW0001"));
    QCOMPARE(e.interface, QStringLiteral("configuration"));
    QCOMPARE(e.bytesSent, qint64(script.size()));
    QCOMPARE(e.scriptBytes, qint64(script.size()));
    QCOMPARE(e.script, QDir::toNativeSeparators(path));
    QVERIFY(e.startedUtc >= before);
    // Virtual time: 700 bytes as hexadecimal text at 960 bytes a second, then the restart.
    QVERIFY2(e.seconds > 1.4 && e.seconds < 30, qPrintable(QString::number(e.seconds)));
    if (start == QLatin1String("/F"))
      QCOMPARE(linesAtExit, 1);
    for (const QString &line : std::as_const(m_log))
      QVERIFY2(!line.contains(QLatin1String("record")), qPrintable(line));
  }

  void endings_data() {
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("silent");
    QTest::addColumn<bool>("written");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("interface");
    QTest::addColumn<QString>("reason");
    QTest::newRow("nothing answers") << int(KorvaneSim::Mode::Config) << true << false << 5 << ""
                                     << "No data received, check device is in configuration mode, the serial "
                                        "port set and connection.";
    QTest::newRow("debug interface") << int(KorvaneSim::Mode::Debug) << false << true << 0 << "debug"
                                     << "";
    QTest::newRow("debug interface in configuration mode")
        << int(KorvaneSim::Mode::DebugConfig) << false << false << 6 << "debug"
        << "Device connected to debug but started in configuration mode! Set Device to run mode and try "
           "again";
  }
  void endings() {
    QFETCH(int, mode);
    QFETCH(bool, silent);
    KorvaneSim::Faults faults;
    faults.silent = silent;
    gateway(KorvaneSim::Mode(mode), faults);
    clickWith(w->pattern(40));
    w->settle(30000);
    const QList<TraceEntry> lines = entries();
    QCOMPARE(lines.size(), 1);
    QTEST(lines.first().written, "written");
    QTEST(lines.first().exitCode, "code");
    QTEST(lines.first().interface, "interface");
    QTEST(lines.first().reason, "reason");
  }

  // The record is a folder: the write and what the window shows are as always; one log line says
  // why the record has no line.
  void unwritableRecord() {
    QVERIFY(QDir().mkpath(recordPath()));
    SimGateway &g = gateway(KorvaneSim::Mode::Config);
    const QByteArray script = w->pattern(100);
    clickWith(script);
    QVERIFY(w->settle());
    QVERIFY(g.sim().lastDownload().script == script);
    QCOMPARE(w->dialogs.messageTexts(), QStringList{"Write Script success"});
    QStringList said;
    for (const QString &line : std::as_const(m_log))
      if (line.contains(QLatin1String("record")))
        said << line;
    QCOMPARE(said.size(), 1);
    QVERIFY2(said.first().startsWith("The record of every write has no line for this attempt: ") &&
                 said.first().contains("is a folder"),
             qPrintable(said.first()));
  }
};

QTEST_MAIN(TestWindowTrace)
#include "test_windowtrace.moc"
