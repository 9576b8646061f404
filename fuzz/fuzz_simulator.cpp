// The simulated gateway, fed with the fuzzer's bytes at the fuzzer's times. Properties: no input
// crashes it; a silent gateway says nothing; a reply is short; a transfer's checksum is the sum of
// the bytes it recorded, and it counts no more transfers completed than started. And after any
// bytes, a fresh gateway of the same kind takes a well-formed transfer of the fuzzer's script.
#include "fuzz/FuzzCheck.h"
#include "fuzz/FuzzInput.h"
#include "sim/KorvaneSim.h"
#include "tests/support/ScriptSum.h"

namespace {

// The longest reply: "Checksum error" or "I000..." with the extra text and the noise after it.
constexpr qsizetype kLongestReply = 64;

KorvaneSim::Config configFrom(FuzzInput &in) {
  KorvaneSim::Config config;
  const uint8_t a = in.u8();
  config.mode = KorvaneSim::Mode((a & 0x03) % 3);
  KorvaneSim::Faults &f = config.faults;
  f.noHandshake = a & 0x04;
  f.firstDotAfter = a & 0x08 ? 96 : 64;
  f.lowerCase = a & 0x10;
  f.extraText = a & 0x20;
  f.garbage = a & 0x40;
  f.silent = a & 0x80;
  const uint8_t b = in.u8();
  f.noRestart = b & 0x01;
  f.silentAfterRestart = b & 0x02;
  if (b & 0x04)
    f.skipDotAfter << in.u16();
  if (b & 0x08)
    f.vanishAtByte = in.u16();
  config.restartMs = in.u8() * 10;
  return config;
}

void checkState(const KorvaneSim &sim) {
  const KorvaneSim::Download &d = sim.lastDownload();
  FUZZ_CHECK(d.computed == scriptSum(d.script), "the checksum is the sum of the bytes recorded");
  FUZZ_CHECK(sim.downloadsCompleted() <= sim.downloadsStarted(), "no more transfers completed than started");
  FUZZ_CHECK(d.script.size() <= sim.bytesReceived(), "no more script bytes than bytes received");
}

// Runs the host's bytes: a time step byte, then a byte to send, in pairs.
quint64 feed(KorvaneSim &sim, const QByteArray &host) {
  quint64 now = 0;
  for (qsizetype i = 0; i + 1 < host.size(); i += 2) {
    now += quint8(host.at(i)) * 7;
    const QByteArray reply = sim.receive(quint8(host.at(i + 1)), now);
    sim.takeVanish();
    FUZZ_CHECK(reply.size() <= kLongestReply, "a reply is short");
    FUZZ_CHECK(!sim.config().faults.silent || reply.isEmpty(), "a silent gateway says nothing");
    checkState(sim);
  }
  return now;
}

QByteArray transfer(KorvaneSim::Mode mode, const QByteArray &script) {
  const quint16 sum = scriptSum(script);
  if (mode == KorvaneSim::Mode::Config)
    return '\x10' + script.toHex().toUpper() + '\n' +
           QByteArray::number(sum, 16).toUpper().rightJustified(4, '0') + '\n';
  QByteArray frame("D");
  frame.append(char(script.size() >> 8)).append(char(script.size() & 0xff)).append(script);
  return frame.append(char(sum >> 8)).append(char(sum & 0xff));
}

void checkTransfer(KorvaneSim::Config config, const QByteArray &script) {
  if (config.mode == KorvaneSim::Mode::DebugConfig)
    return; // that gateway takes no transfer
  config.faults.vanishAtByte = -1;
  KorvaneSim sim(config);
  sim.receive(transfer(config.mode, script), 0);
  FUZZ_CHECK(sim.downloadsStarted() == 1 && sim.downloadsCompleted() == 1,
             "a well-formed transfer completes");
  FUZZ_CHECK(sim.lastDownload().script == script && sim.lastDownload().matches(),
             "a well-formed transfer is recorded as sent");
}

} // namespace

// Input: the gateway's kind and faults, a script length byte and its bytes, then the host's bytes.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  FuzzInput in(data, size);
  const KorvaneSim::Config config = configFrom(in);
  const QByteArray script = in.shortBytes();
  KorvaneSim sim(config);
  feed(sim, in.rest());
  checkTransfer(config, script);
  return 0;
}
