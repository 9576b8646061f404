#pragma once

#include <QByteArray>

#include <cstddef>
#include <cstdint>

// Reads a fuzzer's bytes as numbers and byte strings, front to back. Past the end every read
// gives zero or empty, so a short input is a valid input.
class FuzzInput {
public:
  FuzzInput(const uint8_t *data, size_t size) : m_data(data), m_size(size) {}

  bool atEnd() const { return m_pos >= m_size; }
  size_t remaining() const { return m_size - m_pos; }

  uint8_t u8() { return atEnd() ? 0 : m_data[m_pos++]; }
  // High byte first. Two statements: the order of operands is unspecified within one.
  uint16_t u16() {
    const uint8_t high = u8();
    return uint16_t(high << 8 | u8());
  }
  bool flag() { return u8() & 1; }
  QByteArray bytes(size_t n) {
    n = n < remaining() ? n : remaining();
    QByteArray out(reinterpret_cast<const char *>(m_data + m_pos), qsizetype(n));
    m_pos += n;
    return out;
  }
  // A length byte, then that many bytes.
  QByteArray shortBytes() { return bytes(u8()); }
  QByteArray rest() { return bytes(remaining()); }

private:
  const uint8_t *m_data;
  size_t m_size;
  size_t m_pos = 0;
};
