#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <memory>

enum TParity { pNone = 0, pOdd = 1, pEven = 2, pMark = 3, pSpace = 4 };

struct SerialLineSettings {
  qint32 baud = 19200;
  TParity parity = pNone;
  quint16 dataBits = 8;
  quint16 stopBits = 1;
  bool dtr = true;
  bool rts = true;
  quint16 inSize = 4096;
  quint16 outSize = 4096;
};

// The device under TSerialPort: the real serial port, or an in-process stand-in in tests. Used on
// the user-interface thread only; input and output run in the background of the event loop.
class SerialDevice : public QObject {
  Q_OBJECT
public:
  using QObject::QObject;
  ~SerialDevice() override = default;

  // 0 when open, else a negative serial error code; detail() then says why in words.
  virtual int open(const SerialLineSettings &settings) = 0;
  virtual void close() = 0;
  // Open may succeed with a complaint (a refused modem line): it returns the code and stays open.
  virtual bool isOpen() const = 0;
  virtual int setLine(const SerialLineSettings &settings) = 0;
  virtual int setDtr(bool on) = 0;
  virtual int setRts(bool on) = 0;
  virtual void setReadBufferSize(qint64 bytes) = 0;

  virtual qint64 bytesAvailable() const = 0;
  virtual QByteArray read(qint64 maxBytes) = 0;
  // Takes the bytes for sending; false when the device refuses them.
  virtual bool write(const QByteArray &bytes) = 0;
  // Bytes taken by write() and not yet handed to the line.
  virtual qint64 bytesToWrite() const = 0;
  virtual void discardInput() = 0;
  virtual void discardOutput() = 0;

  // Whether readyRead comes only from the event loop, never from inside a call made to the device:
  // then the receive work can run at once instead of in a further pass of the loop.
  virtual bool announcesFromEventLoop() const { return false; }
  // Whether write() only queues the bytes for a writer of the device's own that runs beside the
  // caller: that writer is then the port's background writer and is handed the bytes at once.
  virtual bool writesInBackground() const { return false; }

  // Words for the last failure, with the device's name (empty when there is nothing to add).
  QString detail() const { return m_detail; }

signals:
  void readyRead();
  void bytesWritten();
  // A background read (-161) or write (-160) failed; the device has stopped its input and output.
  void failed(int code);

protected:
  QString m_detail;
};

// Where devices come from, by COM number. The production provider goes through the port map;
// tests install one that hands out in-process devices.
class SerialDeviceProvider {
public:
  virtual ~SerialDeviceProvider() = default;
  // Whether port n exists, without opening it (a port held by another program exists).
  virtual bool exists(quint16 n) = 0;
  // A closed device for port n.
  virtual std::unique_ptr<SerialDevice> create(quint16 n) = 0;

  static SerialDeviceProvider &instance();
  // Installs a provider for the whole process; nullptr restores the production one.
  static void setInstance(SerialDeviceProvider *provider);
};
