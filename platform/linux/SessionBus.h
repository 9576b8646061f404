#pragma once

#include <QString>

// Whether the user's session bus, which carries the announcements between running copies, can be
// reached; when not, why (empty when it can).
QString sessionBusProblem();
