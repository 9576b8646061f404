// What the window program finds to show itself on: nothing, a platform asked for, a display that
// opens, or one that is named but cannot be opened.
#include "platform/Display.h"

#include "tests/support/UnservedDisplay.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <optional>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using State = DisplayCheck::State;
Q_DECLARE_METATYPE(State)
using Variables = QHash<QByteArray, QByteArray>;

namespace {
const QList<QByteArray> kVariables{"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XDG_RUNTIME_DIR",
                                   "QT_QPA_PLATFORM_PLUGIN_PATH"};

// A listening Unix socket, as a Wayland compositor has.
class ListeningSocket {
public:
  explicit ListeningSocket(const QByteArray &path) : m_path(path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    qstrncpy(address.sun_path, path.constData(), sizeof(address.sun_path));
    m_fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    m_listening = m_fd >= 0 && ::bind(m_fd, reinterpret_cast<sockaddr *>(&address), sizeof(address)) == 0 &&
                  ::listen(m_fd, 1) == 0;
  }
  ~ListeningSocket() {
    if (m_fd >= 0)
      ::close(m_fd);
    ::unlink(m_path.constData());
  }
  bool listening() const { return m_listening; }

private:
  QByteArray m_path;
  int m_fd = -1;
  bool m_listening = false;
};

bool systemHasWaylandPlugin() {
  for (const QString &path : QCoreApplication::libraryPaths())
    if (!QDir(path + QStringLiteral("/platforms")).entryList({QStringLiteral("libqwayland*")}).isEmpty())
      return true;
  return false;
}
} // namespace

class TestDisplay : public QObject {
  Q_OBJECT
  QHash<QByteArray, std::optional<QByteArray>> m_saved;
  QTemporaryDir m_runtime;

  // Sets these variables and unsets the others that the check reads.
  static void setOnly(const Variables &variables) {
    for (const QByteArray &name : kVariables)
      qunsetenv(name.constData());
    for (auto it = variables.begin(); it != variables.end(); ++it)
      qputenv(it.key().constData(), it.value());
  }

private slots:
  void init() {
    for (const QByteArray &name : kVariables)
      m_saved[name] = qEnvironmentVariableIsSet(name.constData()) ? std::optional(qgetenv(name.constData()))
                                                                  : std::nullopt;
  }
  void cleanup() {
    for (auto it = m_saved.begin(); it != m_saved.end(); ++it)
      if (it.value())
        qputenv(it.key().constData(), *it.value());
      else
        qunsetenv(it.key().constData());
  }

  void whatIsNamed_data() {
    QTest::addColumn<Variables>("variables");
    QTest::addColumn<State>("state");
    QTest::addColumn<QStringList>("problem"); // parts of it, in order
    const QByteArray x = unservedX11Display().toLatin1();
    const QByteArray runtime = m_runtime.path().toLocal8Bit();
    const QString socket = m_runtime.filePath(QStringLiteral("wayland-9"));

    QTest::newRow("nothing named") << Variables{} << State::None << QStringList{};
    QTest::newRow("empty names") << Variables{{"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""}} << State::None
                                 << QStringList{};
    QTest::newRow("platform asked for")
        << Variables{{"QT_QPA_PLATFORM", "offscreen"}, {"DISPLAY", x}} << State::Requested << QStringList{};
    QTest::newRow("X display gone")
        << Variables{{"DISPLAY", x}} << State::Unreachable
        << QStringList{QStringLiteral("display %1 cannot be opened (no X server answers there").arg(x)};
    QTest::newRow("ssh forwarding closed")
        << Variables{{"DISPLAY", "localhost:" + x.mid(1)}} << State::Unreachable
        << QStringList{QStringLiteral("display localhost:%1 cannot be opened").arg(x.mid(1))};
    QTest::newRow("not a display name")
        << Variables{{"DISPLAY", "nonsense"}} << State::Unreachable
        << QStringList{"display nonsense cannot be opened (that is not a display name)"};
    QTest::newRow("compositor gone")
        << Variables{{"WAYLAND_DISPLAY", "wayland-9"}, {"XDG_RUNTIME_DIR", runtime}} << State::Unreachable
        << QStringList{"Wayland display wayland-9 cannot be opened (no compositor answers at " + socket +
                       ")"};
    QTest::newRow("both gone") << Variables{{"WAYLAND_DISPLAY", "wayland-9"},
                                            {"XDG_RUNTIME_DIR", runtime},
                                            {"DISPLAY", x}}
                               << State::Unreachable
                               << QStringList{"Wayland display wayland-9 cannot be opened", "; ",
                                              QStringLiteral("display %1 cannot be opened").arg(x)};
  }
  void whatIsNamed() {
    QFETCH(Variables, variables);
    setOnly(variables);
    const DisplayCheck check = checkDisplay();
    QTEST(check.state, "state");
    QFETCH(QStringList, problem);
    QCOMPARE(check.problem.isEmpty(), problem.isEmpty());
    qsizetype from = 0;
    for (const QString &part : problem) {
      from = check.problem.indexOf(part, from);
      QVERIFY2(from >= 0, qPrintable(check.problem));
    }
  }

  // A compositor that answers is of use only through Qt's Wayland plugin, which the package only
  // suggests: without it the user learns which package brings it.
  void waylandNeedsQtsPlugin_data() {
    QTest::addColumn<bool>("plugin");
    QTest::newRow("plugin installed") << true;
    QTest::newRow("plugin missing") << false;
  }
  void waylandNeedsQtsPlugin() {
    QFETCH(bool, plugin);
    if (!plugin && systemHasWaylandPlugin())
      QSKIP("Qt's Wayland plugin is installed on this machine");
    const ListeningSocket compositor(QFile::encodeName(m_runtime.filePath(QStringLiteral("wayland-7"))));
    QVERIFY(compositor.listening());
    QTemporaryDir plugins;
    QVERIFY(plugins.isValid());
    Variables variables{{"WAYLAND_DISPLAY", "wayland-7"},
                        {"XDG_RUNTIME_DIR", m_runtime.path().toLocal8Bit()}};
    if (plugin) {
      QFile fake(plugins.filePath(QStringLiteral("libqwayland-generic.so")));
      QVERIFY(fake.open(QIODevice::WriteOnly));
      variables.insert("QT_QPA_PLATFORM_PLUGIN_PATH", plugins.path().toLocal8Bit());
    }
    setOnly(variables);
    const DisplayCheck check = checkDisplay();
    QCOMPARE(check.state, plugin ? State::Available : State::Unreachable);
    QCOMPARE(check.problem,
             plugin ? QString()
                    : QStringLiteral("Wayland display wayland-7 cannot be used (Qt's Wayland plugin is not "
                                     "installed: package qt6-wayland)"));
  }

  // A live X server, when Xvfb is installed; a gone Wayland display does not hide it.
  void liveXServerOpens() {
    const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    if (xvfb.isEmpty())
      QSKIP("Xvfb is not installed");
    const QString display = unservedX11Display();
    QProcess server;
    server.start(xvfb, {display, QStringLiteral("-nolisten"), QStringLiteral("tcp")});
    QVERIFY(server.waitForStarted(5000));
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(QStringLiteral("/tmp/.X11-unix/X") + display.mid(1)), 10000);
    setOnly({{"DISPLAY", display.toLatin1()},
             {"WAYLAND_DISPLAY", "wayland-9"},
             {"XDG_RUNTIME_DIR", m_runtime.path().toLocal8Bit()}});
    const DisplayCheck check = checkDisplay();
    server.terminate();
    server.waitForFinished(5000);
    QCOMPARE(check.state, State::Available);
    QVERIFY(check.problem.isEmpty());
  }
};

QTEST_GUILESS_MAIN(TestDisplay)
#include "test_display.moc"
