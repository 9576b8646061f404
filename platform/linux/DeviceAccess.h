#pragma once

#include <QString>

// Whether this user may open a device node for reading and writing, and what would let them.
struct DeviceAccess {
  int error = 0;               // 0: may open; otherwise the errno that refuses it (EACCES, ENOENT, ...)
  QString group;               // the group that owns the node
  QString user;                // this process's user name
  bool groupInSession = false; // this process already runs with the node's group
  bool listedInGroup = false;  // the group database lists the user, e.g. since the last login
};

class DeviceAccessCheck {
public:
  virtual ~DeviceAccessCheck() = default;
  virtual DeviceAccess check(const QString &node) const = 0;

  static DeviceAccessCheck &instance();
  // Installs a check for the whole process (tests); nullptr restores the system's.
  static void setInstance(DeviceAccessCheck *check);
};

// The node's mode and group against this process's effective ids and groups.
class SystemDeviceAccessCheck : public DeviceAccessCheck {
public:
  DeviceAccess check(const QString &node) const override;
};
