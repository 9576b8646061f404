#pragma once

#include <QString>

// Who writes and on which computer, as the system names them; each system's backend is in
// platform/linux and platform/windows. Empty when the system does not say.
namespace Workstation {
QString computerName();
QString userName();
} // namespace Workstation
