#include "fuzz/ScriptedGateway.h"

#include "fuzz/FuzzInput.h"
#include "platform/Clock.h"
#include "tests/support/SimDevice.h"

namespace {
KorvaneSim::Config configFrom(FuzzInput &in) {
  KorvaneSim::Config config;
  const uint8_t a = in.u8();
  const uint8_t b = in.u8();
  config.mode = KorvaneSim::Mode((a & 0x03) % 3);
  KorvaneSim::Faults &f = config.faults;
  f.noHandshake = a & 0x04;
  f.firstDotAfter = a & 0x08 ? 96 : 64;
  f.noRestart = a & 0x10;
  f.silentAfterRestart = a & 0x20;
  f.lowerCase = a & 0x40;
  f.extraText = a & 0x80;
  f.garbage = b & 0x01;
  f.silent = (b & 0x0e) == 0x0e;
  if (b & 0x10)
    f.skipDotAfter << 64 + 128 * (b >> 5);
  config.restartMs = in.u8() * 100;
  return config;
}
} // namespace

ScriptedGateway::ScriptedGateway(SimLine &line, FuzzInput &in) : m_line(line), m_sim(configFrom(in)) {
  m_line.bytesPerSecond = in.flag() ? 960 : 0;
  connect(&m_line, &SimLine::bytesFromProgram, this, &ScriptedGateway::turn);
}

void ScriptedGateway::turn(const QByteArray &fromProgram) {
  apply(m_sim.receive(fromProgram, Clock::instance().nowMs()));
  ++m_turn;
}

void ScriptedGateway::apply(QByteArray reply) {
  FuzzInput in(reinterpret_cast<const uint8_t *>(m_changes.constData()) + m_pos,
               size_t(m_changes.size() - m_pos));
  const auto consumed = [&] { return qsizetype(size_t(m_changes.size() - m_pos) - in.remaining()); };
  if (m_nextChangeAt < 0 && !in.atEnd()) {
    m_nextChangeAt = m_turn + in.u8();
    m_pos += consumed();
  }
  if (m_nextChangeAt != m_turn || in.atEnd()) {
    m_line.send(reply, 1);
    return;
  }
  int delayMs = 1;
  switch (Op(in.u8() % quint8(Op::Count))) {
  case Op::Drop:
    reply.clear();
    break;
  case Op::Replace:
    reply = in.shortBytes();
    break;
  case Op::Append:
    reply += in.shortBytes();
    break;
  case Op::Delay:
    delayMs = in.u16();
    break;
  case Op::Unasked: { // bytes first, then their delay: arguments have no order of their own
    const QByteArray bytes = in.shortBytes();
    m_line.send(bytes, in.u16());
    break;
  }
  case Op::Vanish:
    m_line.vanish(in.u16() % 2 ? -1 : int(in.u16()));
    reply.clear();
    break;
  case Op::Split:
    for (char c : reply)
      m_line.send(QByteArray(1, c), 1 + in.u8() % 4);
    reply.clear();
    break;
  default:
    break;
  }
  m_pos += consumed();
  m_nextChangeAt = -1;
  m_line.send(reply, delayMs);
}
