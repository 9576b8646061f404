#pragma once

#include <QByteArray>

// The script checksum as the gateway computes it (the byte values added, modulo 2^16): written
// here apart from the downloads, so that tests and fuzz targets check them against their own sum.
inline quint16 scriptSum(const QByteArray &script) {
  quint16 sum = 0;
  for (char c : script)
    sum = quint16(sum + quint8(c));
  return sum;
}
