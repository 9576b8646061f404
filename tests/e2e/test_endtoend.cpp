// The built program against korvane-sim on a pseudo-terminal, as a technician's script runs it.
#include "serialport/linux/DeviceNodeLock.h"
#include "tests/support/ProgramSandbox.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QTest>

#include <memory>

namespace {
QString buildDir() {
  return ProgramSandbox::buildDir();
}
QString sourceDir() {
  return ProgramSandbox::sourceDir();
}
QByteArray readFile(const QString &path) {
  return ProgramSandbox::readFile(path);
}
} // namespace

class TestEndToEnd : public QObject {
  Q_OBJECT
  std::unique_ptr<ProgramSandbox> m_box;
  std::unique_ptr<QProcess> m_program;

  QProcessEnvironment environment() const {
    QProcessEnvironment env = m_box->environment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("QT_QPA_PLATFORMTHEME"), QString());
    env.insert(QStringLiteral("TAMBERLIN_LOG"), m_box->path(QStringLiteral("tamberlin.log")));
    return env;
  }

  // Starts the simulated gateway and stores its port as the port setting.
  bool startGateway(const QStringList &faults) {
    return m_box->startGateway(QStringList{"--out", m_box->path("received.qcs"), "--restart-ms", "300",
                                           "--exit-after-download", "--linger-ms", "2500", "--idle-exit",
                                           "30"} +
                               faults) &&
           m_box->storePort();
  }

  QProcess *startTamberlin(const QStringList &parameters) {
    m_program = m_box->start(QStringLiteral("tamberlin"), parameters, environment());
    return m_program.get();
  }

private slots:
  void init() { m_box = std::make_unique<ProgramSandbox>(); }
  void cleanup() {
    m_program.reset();
    m_box.reset();
  }

  void successEndsWithOneAndTheGatewayHasTheScript() {
    QVERIFY(startGateway({}));
    // The program ends at once after writing: it must not leave the port's lock file behind.
    const QString device =
        QFileInfo(m_box->path(QStringLiteral("config/Quarnel/ports/com%1").arg(m_box->port())))
            .symLinkTarget();
    const QString lock = serialLockFile(device);
    const QString script = sourceDir() + QStringLiteral("/examples/example.qcs");
    QProcess *program = startTamberlin({QStringLiteral("/P%1").arg(m_box->port()), "/F" + script});
    QVERIFY2(program->waitForFinished(60000), readFile(m_box->path("tamberlin.log")).right(2500).constData());
    QCOMPARE(program->exitStatus(), QProcess::NormalExit);
    QCOMPARE(program->exitCode(), 1);
    QVERIFY(m_box->gateway()->waitForFinished(10000));
    QCOMPARE(m_box->gateway()->exitCode(), 0);
    QVERIFY(readFile(m_box->path("received.qcs")) == readFile(script));
    QVERIFY(readFile(m_box->path("tamberlin.log")).contains("SEND READY MSG SUCCESS"));
    QVERIFY2(!lock.isEmpty() && !QFileInfo::exists(lock), qPrintable(lock));
  }

  // Without a display nobody can read a message or close the program: a failed /F run tells why on
  // standard error and in the log, and ends with 2. The download's own message and the one for the
  // code it posts both count.
  void failedDownloadWithoutDisplayEndsWithTwo_data() {
    QTest::addColumn<QStringList>("faults");
    QTest::addColumn<QByteArray>("reason");
    QTest::newRow("no gateway") << QStringList{"--silent"} << QByteArray("Message: No gateway found!");
    QTest::newRow("no dot") << QStringList{"--skip-dot", "192"}
                            << QByteArray("Message: Error writing script");
  }
  void failedDownloadWithoutDisplayEndsWithTwo() {
    QFETCH(QStringList, faults);
    QFETCH(QByteArray, reason);
    QVERIFY(startGateway(faults));
    QProcess *program = startTamberlin(
        {QStringLiteral("/P%1").arg(m_box->port()), "/F" + sourceDir() + "/examples/example.qcs"});
    QVERIFY(program->waitForFinished(30000));
    QCOMPARE(program->exitStatus(), QProcess::NormalExit);
    QCOMPARE(program->exitCode(), 2);
    const QByteArray errors = program->readAllStandardError();
    QVERIFY2(errors.contains(reason), errors.constData());
    QVERIFY(readFile(m_box->path("tamberlin.log")).contains(reason));
  }

  void noSettingsWithoutDisplayEndsWithTwo_data() {
    QTest::addColumn<QString>("platform"); // empty: the program chooses offscreen itself
    QTest::newRow("offscreen by the environment") << "offscreen";
    QTest::newRow("offscreen by the program") << "";
  }
  void noSettingsWithoutDisplayEndsWithTwo() {
    QFETCH(QString, platform);
    QProcess program;
    QProcessEnvironment env = environment();
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    if (platform.isEmpty())
      env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    program.setProcessEnvironment(env);
    QElapsedTimer took;
    took.start();
    program.start(buildDir() + QStringLiteral("/tamberlin"),
                  {QStringLiteral("/P78"), "/F" + sourceDir() + "/examples/example.qcs"});
    QVERIFY(program.waitForFinished(20000));
    QVERIFY(took.elapsed() < 15000);
    QCOMPARE(program.exitCode(), 2);
    const QByteArray errors = program.readAllStandardError();
    QVERIFY2(errors.contains("Message: No port selected!"), errors.constData());
    QVERIFY(!QFileInfo::exists(m_box->path(QStringLiteral("received.qcs"))));
  }

  void helpAndVersionNeedNoDisplay_data() {
    QTest::addColumn<QString>("option");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("help") << "--help" << QByteArray("/F<script>");
    QTest::newRow("version") << "--version" << QByteArray("Tamberlin ");
  }
  void helpAndVersionNeedNoDisplay() {
    QFETCH(QString, option);
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    program.setProcessEnvironment(env);
    program.start(buildDir() + QStringLiteral("/tamberlin"), {option});
    QVERIFY(program.waitForFinished(10000));
    QCOMPARE(program.exitCode(), 0);
    QFETCH(QByteArray, expected);
    QVERIFY(program.readAllStandardOutput().contains(expected));
  }
};

QTEST_GUILESS_MAIN(TestEndToEnd)
#include "test_endtoend.moc"
