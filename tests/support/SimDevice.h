#pragma once

#include "serialport/SerialDevice.h"
#include "sim/KorvaneSim.h"

#include <QMap>
#include <QPointer>

#include <deque>
#include <memory>

class ClockTimer;
class SimDevice;

// An in-process serial line for tests, in virtual time. The program's end is a SerialDevice that
// TSerialPort opens by COM number; the far end is driven by the test (send, received) or by a
// simulated gateway. Bytes take line time in both directions when bytesPerSecond is set
// (9600 8N1 = 960), so OutBuffUsed and the transfer pace behave as on a real line.
class SimLine : public QObject {
  Q_OBJECT
public:
  explicit SimLine(quint16 com, QObject *parent = nullptr);
  ~SimLine() override;

  quint16 com() const { return m_com; }
  int bytesPerSecond = 0;
  // Another program holds the port: opening reports -2008.
  bool heldByOther = false;
  // The system refuses the open with this code (0: it does not).
  int refusal = 0;
  // The device has a writer of its own, as on Windows: the port hands it the output at once.
  bool ownWriter = false;

  // The far end sends: the bytes reach the program's side afterMs later (plus line time).
  void send(const QByteArray &bytes, int afterMs = 0);
  // Everything the program has sent that has reached the far end.
  QByteArray received() const { return m_received; }
  QByteArray takeReceived() { return std::exchange(m_received, QByteArray()); }

  // Absent: ProbeComPort is false and opening reports -2001.
  bool present() const { return m_present; }
  void setPresent(bool present) { m_present = present; }
  // The device is unplugged: the open device fails as a vanished device does (read failure) and
  // the port is absent until backAfterMs has passed (never, when negative).
  void vanish(int backAfterMs = -1);

  bool isOpen() const { return m_device != nullptr; }
  // Line settings of the open device (default values while closed).
  SerialLineSettings deviceSettings() const;
  int openCount() const { return m_opens; }

  // Line time of n bytes in milliseconds.
  quint64 lineTimeMs(qint64 n) const;

signals:
  // Bytes from the program, as they reach the far end.
  void bytesFromProgram(const QByteArray &bytes);

private:
  friend class SimDevice;
  void deliverDue();

  quint16 m_com;
  bool m_present = true;
  int m_opens = 0;
  QByteArray m_received;
  QPointer<SimDevice> m_device;
  std::deque<std::pair<quint64, QByteArray>> m_toProgram;
  quint64 m_lastDue = 0;
  ClockTimer *m_deliveryTimer;
  ClockTimer *m_backTimer;
};

// A simulated gateway on a SimLine: answers what the program sends, with replyDelayMs of
// thinking time, and makes the line vanish when its fault says so.
class SimGateway : public QObject {
  Q_OBJECT
public:
  SimGateway(SimLine &line, KorvaneSim::Config config, QObject *parent = nullptr);
  KorvaneSim &sim() { return m_sim; }
  int replyDelayMs = 1;

private:
  SimLine &m_line;
  KorvaneSim m_sim;
};

// The program's end of a SimLine.
class SimDevice : public SerialDevice {
  Q_OBJECT
public:
  explicit SimDevice(SimLine *line);
  ~SimDevice() override;

  int open(const SerialLineSettings &settings) override;
  void close() override;
  bool isOpen() const override { return m_open; }
  int setLine(const SerialLineSettings &settings) override;
  int setDtr(bool on) override;
  int setRts(bool on) override;
  void setReadBufferSize(qint64) override {}

  qint64 bytesAvailable() const override { return m_rx.size(); }
  QByteArray read(qint64 maxBytes) override;
  bool write(const QByteArray &bytes) override;
  qint64 bytesToWrite() const override { return m_tx.size(); }
  bool writesInBackground() const override { return m_line && m_line->ownWriter; }
  void discardInput() override { m_rx.clear(); }
  void discardOutput() override { m_tx.clear(); }

  SerialLineSettings settings() const { return m_settings; }

private:
  friend class SimLine;
  void fromFarEnd(const QByteArray &bytes);
  void fail(int code);
  void transmit();

  QPointer<SimLine> m_line;
  bool m_open = false;
  bool m_failed = false;
  SerialLineSettings m_settings;
  QByteArray m_rx;
  QByteArray m_tx;
  QByteArray m_inFlight;
  ClockTimer *m_txTimer;
};

// Serial devices for tests: COM numbers that have a SimLine are in-process lines, all others are
// absent. Installs itself as the process's device provider for its lifetime. Create it after the
// VirtualClock.
class SimPorts : public SerialDeviceProvider {
public:
  SimPorts();
  ~SimPorts() override;

  // The line of port n, created present on first use.
  SimLine &line(quint16 n);
  // A simulated gateway on port n.
  SimGateway &gateway(quint16 n, KorvaneSim::Config config = {});

  bool exists(quint16 n) override;
  std::unique_ptr<SerialDevice> create(quint16 n) override;

private:
  std::map<quint16, std::unique_ptr<SimLine>> m_lines;
  std::map<quint16, std::unique_ptr<SimGateway>> m_gateways;
};
