#pragma once

#include <QWidget>

// The serial link manager: owns the serial port, applies the port choice and reacts to port
// failures. A top-level window that is never shown; it exists to receive window messages.
class TCOM : public QWidget {
  Q_OBJECT
public:
  explicit TCOM(QWidget *parent = nullptr);
};
