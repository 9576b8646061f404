// The built program against korvane-sim on a pseudo-terminal, as a technician's script runs it.
#include "serialport/linux/DeviceNodeLock.h"
#include "tests/support/ProgramSandbox.h"
#include "tests/support/UnservedDisplay.h"

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

  // Neither a display nor a platform asked for, as over ssh without -X; or a display named that
  // nobody serves, as after a closed ssh forwarding.
  QProcessEnvironment noDisplayEnvironment(const QString &display = {}) const {
    QProcessEnvironment env = environment();
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.remove(QStringLiteral("DISPLAY"));
    if (!display.isEmpty())
      env.insert(QStringLiteral("DISPLAY"), display);
    return env;
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
    QTest::addColumn<QString>("display");  // named but served by nobody; empty: none
    QTest::addColumn<bool>("bare");        // the script as a bare path instead of /F
    QTest::newRow("offscreen by the environment") << "offscreen"
                                                  << "" << false;
    QTest::newRow("offscreen by the program") << ""
                                              << "" << false;
    QTest::newRow("display gone") << "" << unservedX11Display() << false;
    QTest::newRow("bare script, offscreen by the program") << ""
                                                           << "" << true;
  }
  void noSettingsWithoutDisplayEndsWithTwo() {
    QFETCH(QString, platform);
    QFETCH(QString, display);
    QFETCH(bool, bare);
    QProcess program;
    QProcessEnvironment env = noDisplayEnvironment(display);
    if (!platform.isEmpty())
      env.insert(QStringLiteral("QT_QPA_PLATFORM"), platform);
    program.setProcessEnvironment(env);
    QElapsedTimer took;
    took.start();
    const QString script = sourceDir() + "/examples/example.qcs";
    program.start(buildDir() + QStringLiteral("/tamberlin"),
                  {QStringLiteral("/P78"), bare ? script : "/F" + script});
    QVERIFY(program.waitForFinished(20000));
    QVERIFY(took.elapsed() < 15000);
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 2);
    const QByteArray errors = program.readAllStandardError();
    QVERIFY2(errors.contains("Message: No port selected!"), errors.constData());
    QVERIFY(!QFileInfo::exists(m_box->path(QStringLiteral("received.qcs"))));
    if (platform.isEmpty())
      QVERIFY2(errors.contains("Tamberlin runs without showing its windows."), errors.constData());
    if (!display.isEmpty())
      QVERIFY2(errors.contains(QStringLiteral("Display %1 cannot be opened").arg(display).toUtf8()),
               errors.constData());
  }

  // Without a display and with nothing to write, the window cannot be shown: the program says so,
  // names the ways to write without a window and ends with 2 at once, also when a display is named
  // but gone (where Qt would abort with advice to reinstall).
  void nothingToWriteWithoutDisplayEndsWithTwo_data() {
    QTest::addColumn<QString>("display"); // named but served by nobody; empty: none
    QTest::addColumn<QStringList>("parameters");
    QTest::newRow("no display") << "" << QStringList{};
    QTest::newRow("no display, port and level") << "" << QStringList{"/P3", "/L5"};
    QTest::newRow("display gone") << unservedX11Display() << QStringList{};
  }
  void nothingToWriteWithoutDisplayEndsWithTwo() {
    QFETCH(QString, display);
    QFETCH(QStringList, parameters);
    QProcess program;
    program.setProcessEnvironment(noDisplayEnvironment(display));
    program.start(buildDir() + QStringLiteral("/tamberlin"), parameters);
    QVERIFY(program.waitForFinished(10000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 2);
    const QString errors = QString::fromLocal8Bit(program.readAllStandardError());
    const QString why = display.isEmpty() ? QStringLiteral("No display")
                                          : QStringLiteral("Display %1 cannot be opened").arg(display);
    QVERIFY2(errors.startsWith(why), qPrintable(errors));
    for (const char *part : {"the Tamberlin window cannot be shown", "tamberlin-cli write", "/F<script>"})
      QVERIFY2(errors.contains(QLatin1String(part)), qPrintable(errors));
    QVERIFY2(!errors.contains(QLatin1String("Reinstalling")), qPrintable(errors));
    QVERIFY(program.readAllStandardOutput().isEmpty());
  }

  // Without any display a bare script ends the run once written, with 1 and the success message.
  void bareScriptWithoutDisplayEndsWithOneOnceWritten() {
    QVERIFY(startGateway({}));
    const QString script = sourceDir() + QStringLiteral("/examples/example.qcs");
    m_program = m_box->start(QStringLiteral("tamberlin"), {QStringLiteral("/P%1").arg(m_box->port()), script},
                             noDisplayEnvironment());
    QVERIFY2(m_program->waitForFinished(60000),
             readFile(m_box->path("tamberlin.log")).right(2500).constData());
    QCOMPARE(m_program->exitStatus(), QProcess::NormalExit);
    QCOMPARE(m_program->exitCode(), 1);
    QVERIFY(m_box->gateway()->waitForFinished(10000));
    QVERIFY(readFile(m_box->path("received.qcs")) == readFile(script));
    const QByteArray errors = m_program->readAllStandardError();
    QVERIFY2(errors.contains("Message: Write Script success"), errors.constData());
  }

  // A platform that the environment asks for keeps the program as it was: it starts up and waits
  // for a user, also with nothing to write and no display.
  void platformAskedForKeepsTheProgramOpen() {
    QProcessEnvironment env = noDisplayEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    m_program = m_box->start(QStringLiteral("tamberlin"), {}, env);
    QTRY_VERIFY_WITH_TIMEOUT(readFile(m_box->path("tamberlin.log")).contains("CALLER COM is"), 20000);
    QCOMPARE(m_program->state(), QProcess::Running);
    m_program->kill();
    QVERIFY(m_program->waitForFinished(5000));
  }

  // Standard error of an unattended run holds the program's own messages only: Qt's remarks
  // about the platform nobody sees (a missing XDG_RUNTIME_DIR, size hints) go to the log copy.
  void qtRemarksStayOffStandardError_data() {
    QTest::addColumn<QString>("platform"); // empty: the program chooses offscreen itself
    QTest::newRow("offscreen by the environment") << "offscreen";
    QTest::newRow("offscreen by the program") << "";
  }
  void qtRemarksStayOffStandardError() {
    QFETCH(QString, platform);
    QVERIFY(startGateway({"--silent"}));
    QProcessEnvironment env = noDisplayEnvironment();
    env.remove(QStringLiteral("XDG_RUNTIME_DIR"));
    if (!platform.isEmpty())
      env.insert(QStringLiteral("QT_QPA_PLATFORM"), platform);
    m_program = m_box->start(
        QStringLiteral("tamberlin"),
        {QStringLiteral("/P%1").arg(m_box->port()), "/F" + sourceDir() + "/examples/example.qcs"}, env);
    QVERIFY(m_program->waitForFinished(30000));
    QCOMPARE(m_program->exitCode(), 2);
    const QString errors = QString::fromLocal8Bit(m_program->readAllStandardError());
    QVERIFY2(errors.contains(QLatin1String("Message: No gateway found!")), qPrintable(errors));
    for (const QString &line : errors.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
      QVERIFY2(line.startsWith(QLatin1String("Message: ")) ||
                   line ==
                       QLatin1String("No display (DISPLAY and WAYLAND_DISPLAY are not set): Tamberlin runs "
                                     "without showing its windows."),
               qPrintable(errors));
    QVERIFY(readFile(m_box->path("tamberlin.log")).contains("Qt: QStandardPaths: XDG_RUNTIME_DIR not set"));
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
