#pragma once

#include <QString>

#include <optional>

// What a station slot is bound to: an RS-232 port by its number, or a USB adapter by its identity
// ("usb:<serial>" or "usb:path:<place>"), which the slot follows to whatever COM number the adapter
// has now.
struct SlotBinding {
  quint16 com = 0; // the port of an RS-232 slot; 0 for an adapter's
  QString adapter; // the adapter's binding text; empty for an RS-232 slot

  bool isAdapter() const { return !adapter.isEmpty(); }
  // "COM3" or the adapter's binding text; parse() takes it back.
  QString text() const;
  // "COM3", "3" or "usb:..."; nothing, with the reason in *error, for anything else.
  static std::optional<SlotBinding> parse(const QString &text, QString *error = nullptr);
  bool operator==(const SlotBinding &other) const = default;
};
