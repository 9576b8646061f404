#pragma once

#include "serialport/TSerialPort.h"

// A receive handler that appends every received byte to text.
inline TTriggerAvailEvent collectInto(QByteArray &text) {
  return [&text](TSerialPort *sender, quint16 count) {
    QByteArray block;
    sender->GetBlock(block, count);
    text += block;
  };
}
