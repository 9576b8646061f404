#include "platform/Display.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibrary>
#include <QStringList>

#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {
// Values of xcb_connection_has_error() (xcb.h), which the build does not need to have.
enum XcbError { XcbParseError = 5, XcbInvalidScreen = 6 };

// Opens and closes a connection through the library that Qt's X11 plugin uses, so that a server
// that refuses this user counts as one that is not there: Qt could not start on either.
QString x11Problem(const QByteArray &display) {
  using Connect = void *(*)(const char *, int *);
  using HasError = int (*)(void *);
  using Disconnect = void (*)(void *);
  QLibrary xcb(QStringLiteral("xcb"), 1);
  const auto connect = reinterpret_cast<Connect>(xcb.resolve("xcb_connect"));
  const auto hasError = reinterpret_cast<HasError>(xcb.resolve("xcb_connection_has_error"));
  const auto disconnect = reinterpret_cast<Disconnect>(xcb.resolve("xcb_disconnect"));
  const QString name = QString::fromLocal8Bit(display);
  if (!connect || !hasError || !disconnect)
    return QStringLiteral("display %1 cannot be opened (the X11 client library libxcb is missing: "
                          "package libxcb1)")
        .arg(name);
  void *connection = connect(display.constData(), nullptr);
  const int error = hasError(connection);
  disconnect(connection);
  switch (error) {
  case 0:
    return {};
  case XcbParseError:
    return QStringLiteral("display %1 cannot be opened (that is not a display name)").arg(name);
  case XcbInvalidScreen:
    return QStringLiteral("display %1 cannot be opened (it has no such screen)").arg(name);
  default:
    return QStringLiteral("display %1 cannot be opened (no X server answers there, or it refuses "
                          "this user)")
        .arg(name);
  }
}

bool acceptsConnections(const QByteArray &socketPath) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (socketPath.isEmpty() || size_t(socketPath.size()) >= sizeof(address.sun_path))
    return false;
  std::memcpy(address.sun_path, socketPath.constData(), size_t(socketPath.size()));
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0)
    return false;
  const bool accepted = ::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof(address)) == 0;
  ::close(fd);
  return accepted;
}

// Qt reaches Wayland only through a plugin of its own, which may not be installed.
bool hasWaylandPlugin() {
  QStringList folders;
  if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM_PLUGIN_PATH"))
    folders << qEnvironmentVariable("QT_QPA_PLATFORM_PLUGIN_PATH");
  for (const QString &path : QCoreApplication::libraryPaths())
    folders << path + QStringLiteral("/platforms");
  for (const QString &folder : std::as_const(folders))
    if (!QDir(folder).entryList({QStringLiteral("libqwayland*")}, QDir::Files).isEmpty())
      return true;
  return false;
}

QString waylandProblem(const QByteArray &display) {
  const QString name = QString::fromLocal8Bit(display);
  // A relative name is a socket in the user's runtime folder.
  const QByteArray socketPath =
      display.startsWith('/') ? display : qgetenv("XDG_RUNTIME_DIR") + '/' + display;
  if (!acceptsConnections(socketPath))
    return QStringLiteral("Wayland display %1 cannot be opened (no compositor answers at %2)")
        .arg(name, QString::fromLocal8Bit(socketPath));
  if (!hasWaylandPlugin())
    return QStringLiteral("Wayland display %1 cannot be used (Qt's Wayland plugin is not installed: "
                          "package qt6-wayland)")
        .arg(name);
  return {};
}
} // namespace

DisplayCheck checkDisplay() {
  if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    return {DisplayCheck::State::Requested, {}};
  const QByteArray wayland = qgetenv("WAYLAND_DISPLAY");
  const QByteArray x11 = qgetenv("DISPLAY");
  if (wayland.isEmpty() && x11.isEmpty())
    return {DisplayCheck::State::None, {}};
  // Qt tries Wayland first and X11 after it: either one will do.
  QStringList problems;
  if (!wayland.isEmpty()) {
    problems << waylandProblem(wayland);
    if (problems.last().isEmpty())
      return {DisplayCheck::State::Available, {}};
  }
  if (!x11.isEmpty()) {
    problems << x11Problem(x11);
    if (problems.last().isEmpty())
      return {DisplayCheck::State::Available, {}};
  }
  return {DisplayCheck::State::Unreachable, problems.join(QStringLiteral("; "))};
}
