#pragma once

#include <QByteArray>
#include <QList>
#include <QRect>

#include <optional>

// The arithmetic of saving and restoring a window's placement, apart from any window.
namespace WindowPlacement {

// Window state codes as stored: 0 normal, 1 minimized, 2 maximized.
enum State : quint8 { Normal = 0, Minimized = 1, Maximized = 2 };

// Bounds record: left, top, right, bottom as little-endian signed 32-bit integers.
QByteArray encodeBounds(const QRect &bounds);
// Nothing when the record does not have exactly 16 bytes.
std::optional<QRect> decodeBounds(const QByteArray &record);
// A state byte; anything but one byte of 0, 1 or 2 reads as normal.
State decodeState(const QByteArray &record);

struct Restored {
  State state = Normal;
  QRect bounds; // the window's new frame bounds
};

// What a stored placement does to a window whose frame bounds are now `current`.
Restored restore(const QRect &stored, State state, quint32 monitor, const QRect &current,
                 const QList<QRect> &monitors);

// Where a window without a stored placement goes: its size kept, its lower-right corner at the
// point half the width and half the height of monitor 0.
QRect firstRun(const QRect &current, const QList<QRect> &monitors);

} // namespace WindowPlacement
