// A station against korvane-sim programs on pseudo-terminals, in real time: three gateways at once,
// one of which vanishes in the middle of the data and comes back.
#include "platform/Clock.h"
#include "station/ExitCodes.h"
#include "station/Station.h"

#include "tests/support/ProgramSandbox.h"

#include <QFileInfo>
#include <QTest>

#include <memory>
#include <vector>

class TestStationEndToEnd : public QObject {
  Q_OBJECT
  std::unique_ptr<ProgramSandbox> m_box;
  std::vector<std::unique_ptr<QProcess>> m_gateways;
  QByteArray m_oldConfigHome;

  QString entry(quint16 com) const {
    return m_box->path(QStringLiteral("config/Quarnel/ports/com%1").arg(com));
  }
  QString received(quint16 com) const { return m_box->path(QStringLiteral("received%1.qcs").arg(com)); }
  // What gateway i received, once it has ended (it writes the bytes as it ends).
  QByteArray receivedBy(size_t i, quint16 com) const {
    m_gateways.at(i)->waitForFinished(10000);
    return ProgramSandbox::readFile(received(com));
  }

  bool startGateway(quint16 com, const QStringList &options = {}) {
    auto gateway = std::make_unique<QProcess>();
    gateway->setProcessEnvironment(m_box->environment());
    gateway->setProcessChannelMode(QProcess::MergedChannels);
    gateway->start(ProgramSandbox::buildDir() + QStringLiteral("/korvane-sim"),
                   QStringList{"--com", QString::number(com), "--out", received(com), "--restart-ms", "300",
                               "--idle-exit", "60", "--exit-after-download", "--linger-ms", "2500"} +
                       options);
    if (!gateway->waitForStarted(10000))
      return false;
    m_gateways.push_back(std::move(gateway));
    return waitFor([&] { return QFileInfo(entry(com)).exists(); }, 10000);
  }
  static bool waitFor(const std::function<bool()> &done, int ms) {
    return Clock::instance().waitUntil(done, Clock::instance().nowMs() + quint64(ms));
  }

private slots:
  void init() {
    m_box = std::make_unique<ProgramSandbox>();
    m_oldConfigHome = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", m_box->path(QStringLiteral("config")).toUtf8());
  }
  void cleanup() {
    for (auto &g : m_gateways) {
      g->terminate();
      g->waitForFinished(5000);
    }
    m_gateways.clear();
    m_box.reset();
    if (m_oldConfigHome.isNull())
      qunsetenv("XDG_CONFIG_HOME");
    else
      qputenv("XDG_CONFIG_HOME", m_oldConfigHome);
  }

  void threeGatewaysOneVanishing() {
    const quint16 a = m_box->port();
    const quint16 b = quint16(a + 100);
    const quint16 c = quint16(a + 200);
    QVERIFY(startGateway(a));
    QVERIFY(startGateway(b, {"--mode", "debug"}));
    QVERIFY(startGateway(c, {"--vanish-at", "900", "--vanish-for", "1500", "--fresh-on-return"}));
    QByteArray script(3000, '\0');
    for (int i = 0; i < script.size(); ++i)
      script[i] = char((i * 13 + 7) & 0xff);
    const QString path = m_box->path(QStringLiteral("script.qcs"));
    {
      QFile f(path);
      QVERIFY(f.open(QIODevice::WriteOnly) && f.write(script) == script.size());
    }

    Station station(QStringLiteral("\\SOFTWARE\\Quarnel\\Tamberlin\\Station"));
    QCOMPARE(station.loadScript(path), QString());
    for (quint16 n : {a, b, c})
      QCOMPARE(station.addSlot(QStringLiteral("COM%1").arg(n)), QString());
    QCOMPARE(station.startAll(), QString());
    QCOMPARE(station.runningSlots().size(), 3);
    QVERIFY(waitFor([&] { return station.runningSlots().isEmpty(); }, 60000));

    QCOMPARE(station.slotAt(0).stateText(), QStringLiteral("written"));
    QCOMPARE(station.slotAt(1).stateText(), QStringLiteral("written"));
    QVERIFY2(station.slotAt(2).state() == SlotState::Failed, qPrintable(station.slotAt(2).stateText()));
    QCOMPARE(station.slotAt(2).lastResult()->code, ExitCode::Transfer);
    QCOMPARE(receivedBy(0, a), script);
    QCOMPARE(receivedBy(1, b), script);

    // Its port comes back, with a gateway that was off meanwhile; the slot writes it from the start.
    QVERIFY(waitFor([&] { return QFileInfo(entry(c)).exists(); }, 10000));
    QCOMPARE(station.startSlot(2), QString());
    QVERIFY(waitFor([&] { return !station.slotAt(2).running(); }, 60000));
    QCOMPARE(station.slotAt(2).stateText(), QStringLiteral("written"));
    QCOMPARE(receivedBy(2, c), script);
    QCOMPARE(station.counters(), (StationCounters{3, 1, 4}));
  }
};

QTEST_GUILESS_MAIN(TestStationEndToEnd)
#include "test_station_e2e.moc"
