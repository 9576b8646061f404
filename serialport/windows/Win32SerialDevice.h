#pragma once

#include "serialport/SerialDevice.h"

#include <deque>
#include <functional>
#include <memory>
#include <mutex>

class HiddenWindow;

// The real serial device on Windows: "\\.\COMn", opened exclusively for overlapped input and
// output. A background reader waits for received characters and a background writer hands each
// lot to the driver; both wait on event handles, so an idle port costs nothing. What they have
// done reaches the user-interface thread as queued signals.
class Win32SerialDevice : public SerialDevice {
  Q_OBJECT
public:
  explicit Win32SerialDevice(quint16 comNumber, QObject *parent = nullptr);
  ~Win32SerialDevice() override;

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
  bool writesInBackground() const override { return true; }

  // The device name that CreateFileW opens for port n.
  static QString deviceName(quint16 comNumber);

private:
  struct Line;
  int failure(int code, const QString &detail);
  int escape(unsigned function, const char *name);
  void onFailed(int code, unsigned long systemError);
  // Runs call on this device's thread, in order with the others, unless the line it was made for
  // has been closed by then. From any thread.
  void post(unsigned generation, std::function<void()> call);
  void deliverMail();

  quint16 m_com;
  std::unique_ptr<Line> d;
  unsigned m_generation = 0;
  // What the reader and writer report arrives as one window message for all that waits: a pass of
  // Qt's own event loop costs several more system calls, and each is slow under Wine.
  std::unique_ptr<HiddenWindow> m_window;
  std::mutex m_mailLock;
  std::deque<std::function<void()>> m_mail;
};
