#include "cli/AnsweringPorts.h"

#include "gateway/GatewayProtocol.h"
#include "platform/Clock.h"
#include "serialport/TSerialPort.h"

#include <algorithm>
#include <memory>
#include <vector>

namespace {
const quint32 kAnswerMs = 1000;

struct Probe {
  TSerialPort port;
  bool answered = false;
};

std::unique_ptr<Probe> open(quint16 n, QStringList &notes) {
  auto probe = std::make_unique<Probe>();
  TSerialPort &port = probe->port;
  port.SetPromptForPort(false);
  port.SetComNumber(n);
  port.SetBaud(9600);
  port.SetRTS(false);
  port.SetOnErrorEvent([](TSerialPort *, qint32) {});
  Probe *p = probe.get();
  port.SetOnTriggerAvail([p](TSerialPort *sender, quint16 count) {
    QByteArray bytes;
    sender->GetBlock(bytes, count);
    p->answered = true;
  });
  port.SetOpen(true);
  if (port.Open())
    return probe;
  notes << QStringLiteral("COM%1 left out: %2").arg(n).arg(port.LastErrorText());
  return nullptr;
}
} // namespace

QList<quint16> answeringPorts(const QList<quint16> &ports, QStringList &notes) {
  std::vector<std::pair<quint16, std::unique_ptr<Probe>>> probes;
  for (quint16 n : ports)
    if (auto probe = open(n, notes)) {
      probe->port.PutChar(Gateway::TestGateway);
      probes.emplace_back(n, std::move(probe));
    }
  Clock &clock = Clock::instance();
  clock.waitUntil(
      [&probes] {
        return std::all_of(probes.cbegin(), probes.cend(), [](const auto &p) { return p.second->answered; });
      },
      clock.nowMs() + kAnswerMs);
  QList<quint16> answering;
  for (const auto &[n, probe] : probes)
    if (probe->answered)
      answering << n;
  return answering;
}
