#pragma once

#include <QJsonObject>

// JSON Lines on standard output: one compact object per line, flushed at once so that a reading
// program sees each event when it happens.
namespace JsonLines {
void write(const QJsonObject &object);
} // namespace JsonLines
