// The built program against korvane-sim on a pseudo-terminal, as a technician's script runs it.
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {
QString buildDir() {
  return qEnvironmentVariable("TAMBERLIN_BUILD_DIR");
}
QString sourceDir() {
  return qEnvironmentVariable("TAMBERLIN_SOURCE_DIR");
}

QByteArray readFile(const QString &path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
} // namespace

class TestEndToEnd : public QObject {
  Q_OBJECT
  QTemporaryDir *m_dir = nullptr;
  QProcess *m_sim = nullptr;
  quint16 m_port = 0;

  QProcessEnvironment environment() const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir->filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("QT_QPA_PLATFORMTHEME"), QString());
    env.insert(QStringLiteral("TAMBERLIN_LOG"), m_dir->filePath(QStringLiteral("tamberlin.log")));
    return env;
  }

  // Starts the simulated gateway and stores its port as the port setting.
  bool startGateway(const QStringList &faults) {
    m_sim = new QProcess(this);
    m_sim->setProcessEnvironment(environment());
    m_sim->setProcessChannelMode(QProcess::MergedChannels);
    m_sim->start(buildDir() + QStringLiteral("/korvane-sim"),
                 QStringList{"--com", QString::number(m_port), "--out", m_dir->filePath("received.qcs"),
                             "--restart-ms", "300", "--exit-after-download", "--linger-ms", "2500",
                             "--idle-exit", "30"} +
                     faults);
    if (!m_sim->waitForStarted(10000))
      return false;
    const QString entry = m_dir->filePath(QStringLiteral("config/Quarnel/ports/com%1").arg(m_port));
    QDeadlineTimer ready(10000);
    while (!QFileInfo::exists(entry) && !ready.hasExpired() && m_sim->state() == QProcess::Running)
      QTest::qWait(20);
    if (!QFileInfo::exists(entry))
      return false;
    QFile settings(m_dir->filePath(QStringLiteral("config/Quarnel/Tamberlin.reg")));
    if (!settings.open(QIODevice::WriteOnly))
      return false;
    settings.write("Windows Registry Editor Version 5.00\r\n\r\n"
                   "[HKEY_CURRENT_USER\\SOFTWARE\\Quarnel\\Tamberlin\\kvSerialOptionCaption]\r\n"
                   "\"PortNumber\"=\"COM" +
                   QByteArray::number(m_port) + "\"\r\n");
    return true;
  }

  QProcess *startTamberlin(const QStringList &parameters) {
    auto *program = new QProcess(this);
    program->setProcessEnvironment(environment());
    program->start(buildDir() + QStringLiteral("/tamberlin"), parameters);
    program->waitForStarted(10000);
    return program;
  }

private slots:
  void init() {
    m_dir = new QTemporaryDir;
    // A port number of this process's own, so parallel runs rarely meet; two digits, because the
    // stored choice counts only two digits after "COM".
    m_port = quint16(10 + QCoreApplication::applicationPid() % 89);
  }
  void cleanup() {
    if (m_sim) {
      m_sim->terminate();
      m_sim->waitForFinished(5000);
      delete m_sim;
      m_sim = nullptr;
    }
    delete m_dir;
  }

  void successEndsWithOneAndTheGatewayHasTheScript() {
    QVERIFY(startGateway({}));
    const QString script = sourceDir() + QStringLiteral("/examples/example.qcs");
    QProcess *program = startTamberlin({QStringLiteral("/P%1").arg(m_port), "/F" + script});
    QVERIFY2(program->waitForFinished(60000),
             readFile(m_dir->filePath("tamberlin.log")).right(2500).constData());
    QCOMPARE(program->exitStatus(), QProcess::NormalExit);
    QCOMPARE(program->exitCode(), 1);
    QVERIFY(m_sim->waitForFinished(10000));
    QCOMPARE(m_sim->exitCode(), 0);
    QVERIFY(readFile(m_dir->filePath("received.qcs")) == readFile(script));
    QVERIFY(readFile(m_dir->filePath("tamberlin.log")).contains("SEND READY MSG SUCCESS"));
  }

  // Without a display nobody can read a message or close the program: a failed /F run tells on
  // standard error and in the log, and ends with 2.
  void failedDownloadWithoutDisplayEndsWithTwo() {
    QVERIFY(startGateway({"--silent"}));
    QProcess *program =
        startTamberlin({QStringLiteral("/P%1").arg(m_port), "/F" + sourceDir() + "/examples/example.qcs"});
    QVERIFY(program->waitForFinished(30000));
    QCOMPARE(program->exitStatus(), QProcess::NormalExit);
    QCOMPARE(program->exitCode(), 2);
    QVERIFY(program->readAllStandardError().contains("Message: No gateway found!"));
    QVERIFY(readFile(m_dir->filePath("tamberlin.log")).contains("Message: No gateway found!"));
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
    QVERIFY(!QFileInfo::exists(m_dir->filePath(QStringLiteral("received.qcs"))));
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
