#pragma once

#include "serialport/SerialDevice.h"
#include "serialport/linux/LowLatency.h"

#include <QPointer>

class QSerialPort;

// The real serial device: COM n through the port map, driven by QSerialPort.
class QtSerialDevice : public SerialDevice {
  Q_OBJECT
public:
  explicit QtSerialDevice(quint16 comNumber, QObject *parent = nullptr);
  ~QtSerialDevice() override;

  int open(const SerialLineSettings &settings) override;
  void close() override;
  bool isOpen() const override;
  int setLine(const SerialLineSettings &settings) override;
  int setDtr(bool on) override;
  int setRts(bool on) override;
  void setReadBufferSize(qint64 bytes) override;

  qint64 bytesAvailable() const override;
  QByteArray read(qint64 maxBytes) override;
  bool write(const QByteArray &bytes) override;
  qint64 bytesToWrite() const override;
  void discardInput() override;
  void discardOutput() override;
  bool announcesFromEventLoop() const override { return true; }

  QString devicePath() const { return m_path; }

private:
  int failure(int code, const QString &detail);
  int lastSystemError(int fallback) const;
  void onError(int error);
  void halt(int code);
  QString failureReason() const;
  void forgetRefusal();

  quint16 m_com;
  QString m_path;
  bool m_pty = false;
  bool m_halted = false;
  QSerialPort *m_port = nullptr;
  LowLatency m_lowLatency;
};
