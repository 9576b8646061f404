#include "serialport/windows/Win32SerialDevice.h"

#include "platform/Log.h"
#include "platform/windows/HiddenWindow.h"
#include "platform/windows/WindowsError.h"
#include "serialport/SerialPortErrors.h"
#include "serialport/windows/Win32Errors.h"

#include <QCoreApplication>
#include <QPointer>

#include <atomic>
#include <mutex>
#include <thread>

#include <windows.h>

namespace {
// The reader asks the line this often whether it is still there while nothing arrives: a line
// whose far end has gone does not always end the wait for characters.
const DWORD kLineCheckMs = 200;
const DWORD kReadPiece = 256;
const ULONGLONG kCloseMarginMs = 500;
const DWORD kCloseStepMs = 10;
const UINT kMailArrived = WM_APP + 1;

struct Overlapped {
  OVERLAPPED o{};
  Overlapped() { o.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr); }
  ~Overlapped() { CloseHandle(o.hEvent); }
  Overlapped(const Overlapped &) = delete;
  Overlapped &operator=(const Overlapped &) = delete;
  OVERLAPPED *get() {
    ResetEvent(o.hEvent);
    return &o;
  }
};
} // namespace

// The open line: the handle, the background reader and writer, and what they share with the
// user-interface thread.
struct Win32SerialDevice::Line {
  Win32SerialDevice *owner;
  unsigned generation;
  HANDLE port;
  HANDLE stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE outReady = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  mutable std::mutex lock;
  QByteArray received;
  QByteArray toSend;
  qint64 inFlight = 0;
  bool writing = false; // a lot is with the driver; the writer thread waits for it
  QByteArray lot;       // that lot, kept until the driver is done with it
  Overlapped writeOv;
  std::atomic<bool> failed{false};
  std::atomic<bool> readyPosted{false};
  std::thread reader;
  std::thread writer;

  Line(Win32SerialDevice *o, unsigned g, HANDLE h) : owner(o), generation(g), port(h) {}
  ~Line() {
    SetEvent(stop);
    cancel(nullptr);
    if (reader.joinable())
      reader.join();
    if (writer.joinable())
      writer.join();
    letOutputGo();
    CloseHandle(port);
    CloseHandle(stop);
    CloseHandle(outReady);
  }

  void start() {
    reader = std::thread([this] { readLoop(); });
    writer = std::thread([this] { writeLoop(); });
  }

  bool stopping() const { return WaitForSingleObject(stop, 0) == WAIT_OBJECT_0; }

  // Gives the driver the time its queued output needs at the line's rate, then drops the rest: a
  // port whose far end never takes the bytes would otherwise keep the close waiting for them.
  void letOutputGo() {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    const DWORD baud = GetCommState(port, &dcb) && dcb.BaudRate ? dcb.BaudRate : 9600;
    const ULONGLONG start = GetTickCount64();
    for (;;) {
      DWORD errors = 0;
      COMSTAT state{};
      if (!ClearCommError(port, &errors, &state) || state.cbOutQue == 0)
        break;
      if (GetTickCount64() - start > kCloseMarginMs + ULONGLONG(state.cbOutQue) * 10000 / baud)
        break;
      Sleep(kCloseStepMs);
    }
    PurgeComm(port, PURGE_TXABORT | PURGE_TXCLEAR);
  }

  // Ends a pending operation. A pending wait for characters may ignore the cancel (Wine's does);
  // clearing the event mask ends it everywhere.
  void cancel(OVERLAPPED *o) {
    CancelIoEx(port, o);
    SetCommMask(port, 0);
  }

  // Ends the background work after a failure; the owner hears of it on its own thread.
  void fail(int code, DWORD error) {
    if (failed.exchange(true) || stopping())
      return;
    owner->post(generation, [o = owner, code, error] { o->onFailed(code, error); });
  }

  void announce() {
    if (readyPosted.exchange(true))
      return;
    owner->post(generation, [o = owner] {
      o->d->readyPosted = false;
      emit o->readyRead();
    });
  }

  // Waits for an overlapped operation or the stop; false when stopped (the operation is cancelled
  // and has ended).
  bool await(OVERLAPPED *o, DWORD timeoutMs, bool &timedOut) {
    const HANDLE handles[2] = {stop, o->hEvent};
    const DWORD w = WaitForMultipleObjects(2, handles, FALSE, timeoutMs);
    timedOut = w == WAIT_TIMEOUT;
    if (w != WAIT_OBJECT_0)
      return true;
    cancel(o);
    DWORD ignored = 0;
    GetOverlappedResult(port, o, &ignored, TRUE);
    return false;
  }

  // Whether the driver still answers for the line: one whose device has hung up fails here.
  bool lineAnswers() {
    DWORD errors = 0;
    COMSTAT state{};
    return ClearCommError(port, &errors, &state) != 0;
  }

  // Waits for a read or write that the driver should end by itself, asking every kLineCheckMs
  // whether the line still answers: a driver whose device hangs up may leave it pending for good.
  // False when stopped or when the line no longer answers (then lost is set and the operation has
  // been cancelled and has ended).
  bool awaitDriver(OVERLAPPED *o, bool &lost) {
    for (;;) {
      bool timedOut = false;
      if (!await(o, kLineCheckMs, timedOut))
        return false;
      if (!timedOut)
        return true;
      if (!lineAnswers()) {
        const DWORD error = GetLastError();
        CancelIoEx(port, o);
        DWORD ignored = 0;
        GetOverlappedResult(port, o, &ignored, TRUE);
        SetLastError(error);
        lost = true;
        return false;
      }
    }
  }

  // Reads whatever the driver holds, piece by piece; false on a failed read.
  bool drain(Overlapped &ov) {
    char piece[kReadPiece];
    for (;;) {
      DWORD n = 0;
      OVERLAPPED *o = ov.get();
      if (!ReadFile(port, piece, kReadPiece, nullptr, o) && GetLastError() != ERROR_IO_PENDING)
        return false;
      // A read asked to return at once may still stay pending (Wine's on some ports) until
      // characters come: the close must be able to end it.
      bool lost = false;
      if (!awaitDriver(o, lost))
        return !lost;
      if (!GetOverlappedResult(port, o, &n, FALSE))
        return false;
      if (n == 0)
        return true;
      {
        std::lock_guard<std::mutex> guard(lock);
        received.append(piece, qsizetype(n));
      }
      announce();
    }
  }

  void readLoop() {
    Overlapped event;
    Overlapped reading;
    DWORD mask = 0;
    bool waiting = false;
    while (!stopping()) {
      if (!waiting) {
        if (!WaitCommEvent(port, &mask, event.get()) && GetLastError() != ERROR_IO_PENDING)
          return fail(SerialError::DeviceRead, GetLastError());
        waiting = true;
      }
      bool timedOut = false;
      if (!await(&event.o, kLineCheckMs, timedOut))
        return;
      if (!timedOut) {
        DWORD ignored = 0;
        if (!GetOverlappedResult(port, &event.o, &ignored, FALSE))
          return fail(SerialError::DeviceRead, GetLastError());
        waiting = false;
      }
      if (!drain(reading))
        return fail(SerialError::DeviceRead, GetLastError());
    }
  }

  // Starts writing the bytes waiting to be sent; the caller has set writing. False when the
  // driver refused them; writing is cleared then.
  bool startWrite() {
    {
      std::lock_guard<std::mutex> guard(lock);
      lot = std::exchange(toSend, QByteArray());
      inFlight = lot.size();
    }
    if (WriteFile(port, lot.constData(), DWORD(lot.size()), nullptr, &writeOv.o) ||
        GetLastError() == ERROR_IO_PENDING)
      return true;
    const DWORD error = GetLastError();
    {
      // Refused at once, the write never ends: a close that waited for it would hang for good.
      std::lock_guard<std::mutex> guard(lock);
      writing = false;
      inFlight = 0;
    }
    fail(SerialError::DeviceWrite, error);
    return false;
  }

  // Waits for the lot being written, starts the next one while bytes wait; true when all went.
  bool finishWrites() {
    for (;;) {
      bool lost = false;
      if (!awaitDriver(&writeOv.o, lost)) {
        if (lost)
          fail(SerialError::DeviceWrite, GetLastError());
        return false;
      }
      DWORD n = 0;
      const bool written = GetOverlappedResult(port, &writeOv.o, &n, FALSE);
      const DWORD error = written ? ERROR_WRITE_FAULT : GetLastError();
      ResetEvent(writeOv.o.hEvent);
      // Output discarded on purpose cancels the write: that is no failure of the line.
      if ((!written && error != ERROR_OPERATION_ABORTED) || (written && n != DWORD(lot.size()))) {
        fail(SerialError::DeviceWrite, error);
        return false;
      }
      {
        std::lock_guard<std::mutex> guard(lock);
        inFlight = 0;
        if (toSend.isEmpty()) {
          writing = false;
          return true;
        }
      }
      if (!startWrite())
        return false;
    }
  }

  // The thread that sees each write through to its end. A write starts on the sender's own thread
  // when none is under way (the bytes reach the driver without waking this one first), else here.
  void writeLoop() {
    const HANDLE handles[2] = {stop, outReady};
    while (WaitForMultipleObjects(2, handles, FALSE, INFINITE) == WAIT_OBJECT_0 + 1) {
      if (!finishWrites())
        break;
      owner->post(generation, [o = owner] { emit o->bytesWritten(); });
    }
    // A write the sender started may still be with the driver: it ends before its buffer goes.
    std::unique_lock<std::mutex> guard(lock);
    if (!writing)
      return;
    guard.unlock();
    CancelIoEx(port, &writeOv.o);
    DWORD ignored = 0;
    GetOverlappedResult(port, &writeOv.o, &ignored, TRUE);
  }
};

Win32SerialDevice::Win32SerialDevice(quint16 comNumber, QObject *parent)
    : SerialDevice(parent), m_com(comNumber) {}

Win32SerialDevice::~Win32SerialDevice() {
  close();
}

QString Win32SerialDevice::deviceName(quint16 comNumber) {
  return QStringLiteral("\\\\.\\COM%1").arg(comNumber);
}

int Win32SerialDevice::failure(int code, const QString &detail) {
  m_detail = detail;
  return code;
}

int Win32SerialDevice::open(const SerialLineSettings &settings) {
  close();
  m_detail.clear();
  // The device name, as the Linux device names its path: callers put the port's own name first.
  const QString com = deviceName(m_com);
  const std::wstring name = deviceName(m_com).toStdWString();
  // Exclusive: no other program shares the port while it is open here.
  HANDLE h = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                         FILE_FLAG_OVERLAPPED, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    const DWORD e = GetLastError();
    return failure(openErrorCode(e), QStringLiteral("%1: %2").arg(com, windowsErrorText(e)));
  }
  if (!SetupComm(h, settings.inSize, settings.outSize)) {
    const DWORD e = GetLastError();
    CloseHandle(h);
    return failure(-int(e),
                   QStringLiteral("%1: the driver refused its queues: %2").arg(com, windowsErrorText(e)));
  }
  // Reads return at once with what the driver holds; the reader waits for characters instead.
  COMMTIMEOUTS timeouts{MAXDWORD, 0, 0, 0, 0};
  SetCommTimeouts(h, &timeouts);
  SetCommMask(h, EV_RXCHAR);
  if (!m_window)
    m_window = std::make_unique<HiddenWindow>(
        [this](UINT message, WPARAM, LPARAM, LRESULT &) {
          if (message != kMailArrived)
            return false;
          deliverMail();
          // What the receivers posted (a wait that has ended and the bytes it sends next) runs
          // now, in the order posted, rather than in a further pass of the event loop, which costs
          // several system calls. Nothing of the device is touched after this: it may be gone.
          QCoreApplication::sendPostedEvents();
          return true;
        },
        HiddenWindow::Kind::MessageOnly);
  d = std::make_unique<Line>(this, ++m_generation, h);
  if (const int code = setLine(settings)) {
    const QString detail = m_detail;
    close();
    return failure(code, detail);
  }
  // The line settings have set DTR and RTS already; a driver that refuses them once more (one
  // without modem lines) still carries the bytes, so the port is used and the refusal only logged.
  if (setDtr(settings.dtr))
    Log::line(m_detail);
  if (setRts(settings.rts))
    Log::line(m_detail);
  m_detail.clear();
  PurgeComm(h, PURGE_RXCLEAR | PURGE_TXCLEAR | PURGE_RXABORT | PURGE_TXABORT);
  d->start();
  return 0;
}

void Win32SerialDevice::close() {
  // Stops and joins the reader and writer before the handle goes.
  d.reset();
}

bool Win32SerialDevice::isOpen() const {
  return d != nullptr;
}

int Win32SerialDevice::setLine(const SerialLineSettings &s) {
  if (!d)
    return 0;
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  if (GetCommState(d->port, &dcb)) {
    dcb.BaudRate = DWORD(s.baud);
    dcb.ByteSize = BYTE(s.dataBits);
    dcb.Parity = BYTE(s.parity);
    dcb.StopBits = s.stopBits == 2 ? TWOSTOPBITS : ONESTOPBIT;
    // Bytes pass unchanged, without flow control of either kind.
    dcb.fBinary = TRUE;
    dcb.fParity = s.parity != pNone;
    dcb.fOutxCtsFlow = dcb.fOutxDsrFlow = dcb.fDsrSensitivity = FALSE;
    dcb.fOutX = dcb.fInX = dcb.fErrorChar = dcb.fNull = dcb.fAbortOnError = FALSE;
    dcb.fDtrControl = s.dtr ? DTR_CONTROL_ENABLE : DTR_CONTROL_DISABLE;
    dcb.fRtsControl = s.rts ? RTS_CONTROL_ENABLE : RTS_CONTROL_DISABLE;
    if (SetCommState(d->port, &dcb))
      return 0;
  }
  const DWORD e = GetLastError();
  m_detail = QStringLiteral("%1: line settings %2 baud, %3 data bits, %4 stop bits refused: %5")
                 .arg(deviceName(m_com))
                 .arg(s.baud)
                 .arg(s.dataBits)
                 .arg(s.stopBits)
                 .arg(windowsErrorText(e));
  return -int(e ? e : ERROR_INVALID_PARAMETER);
}

int Win32SerialDevice::escape(unsigned function, const char *name) {
  if (!d || EscapeCommFunction(d->port, DWORD(function)))
    return 0;
  const DWORD e = GetLastError();
  m_detail = QStringLiteral("%1: %2 refused: %3")
                 .arg(deviceName(m_com))
                 .arg(QLatin1String(name), windowsErrorText(e));
  return -int(e);
}

int Win32SerialDevice::setDtr(bool on) {
  return escape(on ? SETDTR : CLRDTR, "DTR");
}

int Win32SerialDevice::setRts(bool on) {
  return escape(on ? SETRTS : CLRRTS, "RTS");
}

void Win32SerialDevice::setReadBufferSize(qint64) {
  // The driver's queue is requested at open; the reader's buffer grows as needed.
}

qint64 Win32SerialDevice::bytesAvailable() const {
  if (!d)
    return 0;
  std::lock_guard<std::mutex> guard(d->lock);
  return d->received.size();
}

QByteArray Win32SerialDevice::read(qint64 maxBytes) {
  if (!d)
    return {};
  std::lock_guard<std::mutex> guard(d->lock);
  const QByteArray piece = d->received.left(maxBytes);
  d->received.remove(0, piece.size());
  return piece;
}

bool Win32SerialDevice::write(const QByteArray &bytes) {
  if (!d || d->failed)
    return false;
  {
    std::lock_guard<std::mutex> guard(d->lock);
    d->toSend.append(bytes);
    if (d->writing)
      return true; // the writer thread starts it once the lot before it is written
    d->writing = true;
  }
  if (!d->startWrite())
    return false;
  SetEvent(d->outReady);
  return true;
}

qint64 Win32SerialDevice::bytesToWrite() const {
  if (!d)
    return 0;
  std::lock_guard<std::mutex> guard(d->lock);
  return d->toSend.size() + d->inFlight;
}

void Win32SerialDevice::discardInput() {
  if (!d)
    return;
  PurgeComm(d->port, PURGE_RXCLEAR);
  std::lock_guard<std::mutex> guard(d->lock);
  d->received.clear();
}

void Win32SerialDevice::discardOutput() {
  if (!d)
    return;
  {
    std::lock_guard<std::mutex> guard(d->lock);
    d->toSend.clear();
  }
  PurgeComm(d->port, PURGE_TXCLEAR | PURGE_TXABORT);
}

void Win32SerialDevice::post(unsigned generation, std::function<void()> call) {
  bool first = false;
  {
    std::lock_guard<std::mutex> guard(m_mailLock);
    first = m_mail.empty();
    m_mail.push_back([this, generation, call = std::move(call)] {
      if (d && d->generation == generation)
        call();
    });
  }
  // The window goes with the device, and its messages with it.
  if (first && !(m_window && m_window->handle() && PostMessageW(m_window->handle(), kMailArrived, 0, 0)))
    QMetaObject::invokeMethod(this, &Win32SerialDevice::deliverMail, Qt::QueuedConnection);
}

void Win32SerialDevice::deliverMail() {
  std::deque<std::function<void()>> mail;
  {
    std::lock_guard<std::mutex> guard(m_mailLock);
    mail.swap(m_mail);
  }
  // A receiver may destroy the device.
  const QPointer<Win32SerialDevice> self(this);
  for (const std::function<void()> &call : mail) {
    call();
    if (!self)
      return;
  }
}

void Win32SerialDevice::onFailed(int code, unsigned long systemError) {
  if (!d)
    return;
  m_detail = QStringLiteral("%1: %2").arg(deviceName(m_com), windowsErrorText(systemError));
  emit failed(code);
}
