// Latency from a byte written at the far end of a pseudo-terminal to TSerialPort's receive
// handler. Each round trip writes one byte, waits for the handler, which echoes it, and reads
// the echo at the far end. Prints one line: median and 99th percentile of the one-way latency.
#include "platform/Clock.h"
#include "platform/linux/PortMap.h"
#include "platform/linux/Pty.h"
#include "serialport/TSerialPort.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {
using SteadyClock = std::chrono::steady_clock;

double percentile(std::vector<double> v, double p) {
  std::sort(v.begin(), v.end());
  const size_t i = std::min(v.size() - 1, size_t(p * double(v.size() - 1) + 0.5));
  return v[i];
}
} // namespace

int main(int argc, char *argv[]) {
  QCoreApplication app(argc, argv);
  const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 1000;

  QTemporaryDir tmp;
  PortMap::setRootsOverride(PortMap::Roots{tmp.filePath(QStringLiteral("ports")),
                                           tmp.filePath(QStringLiteral("dev")),
                                           tmp.filePath(QStringLiteral("sys"))});
  QDir().mkpath(tmp.filePath(QStringLiteral("dev")));
  PtyMaster far;
  if (!far.open() || !PortMap().publish(1, far.terminalPath())) {
    std::fprintf(stderr, "bench-serial-latency: no pseudo-terminal: %s\n", qPrintable(far.errorString()));
    return 1;
  }

  TSerialPort port;
  port.SetPromptForPort(false);
  port.SetComNumber(1);
  port.SetBaud(9600);
  port.SetOnErrorEvent([](TSerialPort *sender, qint32 code) {
    std::fprintf(stderr, "bench-serial-latency: error %d: %s\n", code, qPrintable(sender->LastErrorText()));
  });
  SteadyClock::time_point arrived;
  bool got = false;
  port.SetOnTriggerAvail([&](TSerialPort *sender, quint16 count) {
    arrived = SteadyClock::now();
    got = true;
    QByteArray block;
    sender->GetBlock(block, count);
    sender->PutString(block);
  });
  port.SetOpen(true);
  if (!port.Open())
    return 1;

  Clock &clock = Clock::instance();
  std::vector<double> oneWay, roundTrip;
  oneWay.reserve(size_t(rounds));
  for (int i = 0; i < rounds; ++i) {
    got = false;
    const auto start = SteadyClock::now();
    far.write(QByteArray(1, char(i)));
    const quint64 deadline = clock.nowMs() + 1000;
    while (!got && clock.nowMs() < deadline)
      clock.waitForEvents(deadline);
    QByteArray echo;
    while (got && echo.isEmpty() && clock.nowMs() < deadline) {
      clock.waitForEvents(clock.nowMs() + 1);
      echo = far.read(16);
    }
    if (!got || echo.isEmpty()) {
      std::fprintf(stderr, "bench-serial-latency: round %d timed out\n", i);
      return 1;
    }
    const auto end = SteadyClock::now();
    oneWay.push_back(std::chrono::duration<double, std::milli>(arrived - start).count());
    roundTrip.push_back(std::chrono::duration<double, std::milli>(end - start).count());
  }
  std::printf(
      "serial receive latency over %d round trips: median %.3f ms, p99 %.3f ms (round trip median %.3f ms)\n",
      rounds, percentile(oneWay, 0.5), percentile(oneWay, 0.99), percentile(roundTrip, 0.5));
  return 0;
}
