#include "tests/support/SimDevice.h"

#include "platform/Clock.h"
#include "serialport/SerialPortErrors.h"

#include <cerrno>

// --- SimLine ------------------------------------------------------------------------------------

SimLine::SimLine(quint16 com, QObject *parent)
    : QObject(parent), m_com(com), m_deliveryTimer(new ClockTimer(this)), m_backTimer(new ClockTimer(this)) {
  m_deliveryTimer->setSingleShot(true);
  m_backTimer->setSingleShot(true);
  connect(m_deliveryTimer, &ClockTimer::timeout, this, &SimLine::deliverDue);
  connect(m_backTimer, &ClockTimer::timeout, this, [this] { m_present = true; });
}

SimLine::~SimLine() {
  if (m_device)
    m_device->m_line = nullptr;
}

quint64 SimLine::lineTimeMs(qint64 n) const {
  if (bytesPerSecond <= 0 || n <= 0)
    return 0;
  return quint64((n * 1000 + bytesPerSecond - 1) / bytesPerSecond);
}

void SimLine::send(const QByteArray &bytes, int afterMs) {
  if (bytes.isEmpty())
    return;
  const quint64 now = Clock::instance().nowMs();
  // In order: a later send never overtakes an earlier one.
  const quint64 due = qMax(now + quint64(qMax(0, afterMs)) + lineTimeMs(bytes.size()), m_lastDue);
  m_lastDue = due;
  m_toProgram.emplace_back(due, bytes);
  if (!m_deliveryTimer->isActive())
    m_deliveryTimer->start(int(m_toProgram.front().first - now));
}

void SimLine::deliverDue() {
  const quint64 now = Clock::instance().nowMs();
  while (!m_toProgram.empty() && m_toProgram.front().first <= now) {
    const QByteArray bytes = m_toProgram.front().second;
    m_toProgram.pop_front();
    // Nobody listening: the bytes are lost, as on a real line.
    if (m_device && m_device->m_open && !m_device->m_failed)
      m_device->fromFarEnd(bytes);
  }
  if (!m_toProgram.empty())
    m_deliveryTimer->start(int(m_toProgram.front().first - now));
}

SerialLineSettings SimLine::deviceSettings() const {
  return m_device ? m_device->settings() : SerialLineSettings();
}

void SimLine::vanish(int backAfterMs) {
  m_present = false;
  m_toProgram.clear();
  m_deliveryTimer->stop();
  if (m_device)
    m_device->fail(SerialError::DeviceRead);
  if (backAfterMs >= 0)
    m_backTimer->start(backAfterMs);
}

// --- SimGateway ---------------------------------------------------------------------------------

SimGateway::SimGateway(SimLine &line, KorvaneSim::Config config, QObject *parent)
    : QObject(parent), m_line(line), m_sim(std::move(config)) {
  connect(&m_line, &SimLine::bytesFromProgram, this, [this](const QByteArray &bytes) {
    for (char c : bytes) {
      const QByteArray reply = m_sim.receive(quint8(c), Clock::instance().nowMs());
      if (!reply.isEmpty())
        m_line.send(reply, replyDelayMs);
      if (m_sim.takeVanish()) {
        m_line.vanish(m_sim.config().faults.vanishForMs);
        return; // the rest of the lot went nowhere
      }
    }
  });
}

// --- SimDevice ----------------------------------------------------------------------------------

SimDevice::SimDevice(SimLine *line) : m_line(line), m_txTimer(new ClockTimer(this)) {
  m_txTimer->setSingleShot(true);
  connect(m_txTimer, &ClockTimer::timeout, this, [this] {
    const QByteArray lot = m_inFlight;
    m_inFlight.clear();
    if (!m_open || m_failed || !m_line)
      return;
    m_tx.remove(0, qMin(m_tx.size(), lot.size()));
    m_line->m_received += lot;
    emit m_line->bytesFromProgram(lot);
    emit bytesWritten();
    if (!m_tx.isEmpty() && m_inFlight.isEmpty())
      transmit();
  });
}

SimDevice::~SimDevice() {
  close();
}

int SimDevice::open(const SerialLineSettings &settings) {
  const QString com = QStringLiteral("COM%1").arg(m_line ? m_line->com() : 0);
  if (!m_line || !m_line->present()) {
    m_detail = com + QStringLiteral(" is absent");
    return SerialError::BadId;
  }
  if (m_line->refusal) {
    m_detail = com + QStringLiteral(" refused by the system");
    return m_line->refusal;
  }
  if (m_line->heldByOther || m_line->m_device) {
    m_detail = com + QStringLiteral(" is held by another program");
    return SerialError::AlreadyOpen;
  }
  if (const int code = setLine(settings))
    return code;
  m_settings = settings;
  m_open = true;
  m_failed = false;
  m_line->m_device = this;
  ++m_line->m_opens;
  return 0;
}

void SimDevice::close() {
  if (!m_open)
    return;
  m_open = false;
  m_txTimer->stop();
  m_tx.clear();
  m_inFlight.clear();
  m_rx.clear();
  if (m_line && m_line->m_device == this)
    m_line->m_device = nullptr;
}

int SimDevice::setLine(const SerialLineSettings &s) {
  if (s.baud <= 0 || s.dataBits < 5 || s.dataBits > 8 || (s.stopBits != 1 && s.stopBits != 2)) {
    m_detail = QStringLiteral("line settings refused");
    return -EINVAL;
  }
  m_settings.baud = s.baud;
  m_settings.parity = s.parity;
  m_settings.dataBits = s.dataBits;
  m_settings.stopBits = s.stopBits;
  return 0;
}

int SimDevice::setDtr(bool on) {
  m_settings.dtr = on;
  return 0;
}

int SimDevice::setRts(bool on) {
  m_settings.rts = on;
  return 0;
}

QByteArray SimDevice::read(qint64 maxBytes) {
  const QByteArray out = m_rx.left(maxBytes);
  m_rx.remove(0, out.size());
  return out;
}

bool SimDevice::write(const QByteArray &bytes) {
  if (!m_open || m_failed || !m_line)
    return false;
  m_tx += bytes;
  if (m_inFlight.isEmpty())
    transmit();
  return true;
}

void SimDevice::transmit() {
  m_inFlight = m_tx;
  m_txTimer->start(int(m_line ? m_line->lineTimeMs(m_inFlight.size()) : 0));
}

void SimDevice::fromFarEnd(const QByteArray &bytes) {
  m_rx += bytes;
  emit readyRead();
}

void SimDevice::fail(int code) {
  if (m_failed)
    return;
  m_failed = true;
  m_txTimer->stop();
  emit failed(code);
}

// --- SimPorts -----------------------------------------------------------------------------------

SimPorts::SimPorts() {
  SerialDeviceProvider::setInstance(this);
}

SimPorts::~SimPorts() {
  SerialDeviceProvider::setInstance(nullptr);
}

SimLine &SimPorts::line(quint16 n) {
  auto &slot = m_lines[n];
  if (!slot)
    slot = std::make_unique<SimLine>(n);
  return *slot;
}

SimGateway &SimPorts::gateway(quint16 n, KorvaneSim::Config config) {
  auto &slot = m_gateways[n];
  slot = std::make_unique<SimGateway>(line(n), std::move(config));
  return *slot;
}

bool SimPorts::exists(quint16 n) {
  const auto it = m_lines.find(n);
  return it != m_lines.end() && it->second->present();
}

std::unique_ptr<SerialDevice> SimPorts::create(quint16 n) {
  const auto it = m_lines.find(n);
  return std::make_unique<SimDevice>(it != m_lines.end() ? it->second.get() : nullptr);
}
