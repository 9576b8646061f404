// "Write Script" on one line, against a simulated gateway whose replies the fuzzer drops, replaces,
// extends, splits and delays, and whose line it may pull, in virtual time: the search with its
// reply classification, the restart prompt and both downloads. Properties: every job ends, with
// exactly one outcome; the result agrees with the outcome; and success only when every script
// byte and the checksum went out in the order the gateway reads them.
#include "fuzz/FuzzCheck.h"
#include "fuzz/FuzzInput.h"
#include "fuzz/ScriptedGateway.h"
#include "gateway/GatewayLink.h"
#include "gateway/WriteScriptJob.h"
#include "serialport/TSerialPort.h"
#include "tests/support/ScriptSum.h"
#include "tests/support/SimDevice.h"
#include "tests/support/VirtualClock.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstring>
#include <memory>

namespace {

constexpr quint16 kCom = 7;
// Far beyond the longest job: searches, prompt, block points, restart, a drain wait per 16 bytes.
constexpr quint64 kJobLimitMs = 2 * 3600 * 1000;

constexpr int kScriptSizes = 400; // a script has fewer bytes than this, or is the large one

// Set once, so that an input allocates no path.
QString scriptPath;
QString largeScriptPath;
QString absentPath;

// Everything the target runs is on the virtual clock and the in-process line: its only events are
// the ones it posts. Qt's own dispatcher polled a wake-up descriptor on every pass and wrote to it
// on every posted event, a quarter of each run; this one only sends posted events, and a socket
// or a Qt timer, which would tie the run to real time, is a finding.
class PostedEventsDispatcher : public QAbstractEventDispatcher {
public:
  // Whether an event was handled, which is what the clock asks: time stands still until none is.
  bool processEvents(QEventLoop::ProcessEventsFlags) override {
    const quint64 before = m_delivered;
    QCoreApplication::sendPostedEvents();
    return m_delivered != before;
  }
  // Installed on the application, it sees every event delivered in the thread.
  bool eventFilter(QObject *, QEvent *) override {
    ++m_delivered;
    return false;
  }
  void registerSocketNotifier(QSocketNotifier *) override {
    FUZZ_CHECK(false, "no socket notifier: the line is in-process");
  }
  void unregisterSocketNotifier(QSocketNotifier *) override {}
  void registerTimer(int, qint64, Qt::TimerType, QObject *) override {
    FUZZ_CHECK(false, "no Qt timer: time is the virtual clock's");
  }
  bool unregisterTimer(int) override { return false; }
  bool unregisterTimers(QObject *) override { return false; }
  QList<TimerInfo> registeredTimers(QObject *) const override { return {}; }
  int remainingTime(int) override { return -1; }
  void wakeUp() override {}
  void interrupt() override {}

private:
  quint64 m_delivered = 0;
};

class RecordingReport : public GatewayReport {
public:
  QList<Outcome> outcomes;
  bool answer = true;
  int configDownloads = 0;
  int debugDownloads = 0;
  void logLine(const QString &text) override {
    configDownloads += text == QLatin1String("Program file Config");
    debugDownloads += text == QLatin1String("Program file Debug");
  }
  bool question(const QString &) override { return answer; }
  void outcome(const Outcome &o) override { outcomes << o; }
};

struct Job {
  QByteArray script;
  QString path;
  QString portSetting = QStringLiteral("COM7");
  bool answer = true;
};

void writeFile(const QString &path, const QByteArray &bytes) {
  QFile file(path);
  FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate), "the script can be written");
  FUZZ_CHECK(file.write(bytes) == bytes.size(), "the whole script is written");
}

// Written only when its bytes change: most inputs differ only in what happens on the line, and
// writing the file every time was a tenth of a run. What was written is kept off the heap, so that
// an input that changes it frees as much as it allocates: libFuzzer runs an input that does not
// again, to look for a leak.
void writeScript(const QByteArray &bytes) {
  static bool valid = false;
  static qsizetype size = 0;
  static char written[kScriptSizes];
  if (valid && bytes.size() == size && std::memcmp(bytes.constData(), written, size_t(size)) == 0)
    return;
  valid = false;
  writeFile(scriptPath, bytes);
  size = bytes.size();
  std::memcpy(written, bytes.constData(), size_t(size));
  valid = true;
}

// One byte more than the byte index reaches; its bytes never change, so it is written once.
const QByteArray &largeScript() {
  static const QByteArray bytes(65537, '\x5a');
  return bytes;
}

Job jobFrom(FuzzInput &in) {
  Job job;
  const uint8_t flags = in.u8();
  const int size = in.u16() % kScriptSizes;
  const uint8_t seed = in.u8();
  job.script.resize(size);
  for (int i = 0; i < size; ++i)
    job.script[i] = char((i * 31 + seed * 7 + (i >> 3) * seed) & 0xff);
  if (flags & 0x10) // larger than the byte index reaches: must be refused before any byte goes out
    job.script = largeScript();
  if (flags & 0x20) {
    job.path = absentPath;
  } else if (flags & 0x10) {
    job.path = largeScriptPath;
  } else {
    writeScript(job.script);
    job.path = scriptPath;
  }
  if (flags & 0x40)
    job.portSetting = QStringLiteral("offline");
  job.answer = !(flags & 0x80);
  return job;
}

QByteArray configTransfer(const QByteArray &script) {
  const QByteArray sum = QByteArray::number(scriptSum(script), 16).toUpper().rightJustified(4, '0');
  return '\x10' + script.toHex().toUpper() + '\n' + sum + '\n';
}

QByteArray debugTransfer(const QByteArray &script) {
  const quint16 sum = scriptSum(script);
  QByteArray frame("D");
  frame.append(char(script.size() >> 8)).append(char(script.size() & 0xff)).append(script);
  return frame.append(char(sum >> 8)).append(char(sum & 0xff));
}

void checkOutcome(const RecordingReport &report, bool result, const Job &job, const QByteArray &onLine) {
  FUZZ_CHECK(report.outcomes.size() == 1, "a job reports exactly one outcome");
  FUZZ_CHECK(report.outcomes.first().ok() == result, "the result is the outcome's");
  if (!result)
    return;
  FUZZ_CHECK(job.script.size() <= 65535 && !job.path.endsWith(QLatin1String("absent.qcs")),
             "no success without a script that fits");
  FUZZ_CHECK(report.configDownloads + report.debugDownloads == 1, "success comes from one download");
  const bool debug = report.debugDownloads == 1;
  const QByteArray transfer = debug ? debugTransfer(job.script) : configTransfer(job.script);
  FUZZ_CHECK(onLine.contains(transfer), "success only when every script byte and the checksum went out");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv) {
  auto *dispatcher = new PostedEventsDispatcher; // the application deletes it
  QCoreApplication::setEventDispatcher(dispatcher);
  static QCoreApplication app(*argc, *argv);
  app.installEventFilter(dispatcher);
  // In memory where the machine has it: on a disk file system, truncating the script for an input
  // queued a write-back each time.
  const QFileInfo shm(QStringLiteral("/dev/shm"));
  const QDir base = shm.isDir() && shm.isWritable() ? QDir(shm.filePath()) : QDir::temp();
  static QTemporaryDir dir(base.filePath(QStringLiteral("fuzz_gateway-XXXXXX"))); // removed at exit
  FUZZ_CHECK(dir.isValid(), "a folder for the scripts");
  scriptPath = dir.filePath(QStringLiteral("fuzz.qcs"));
  largeScriptPath = dir.filePath(QStringLiteral("large.qcs"));
  writeFile(largeScriptPath, largeScript());
  absentPath = dir.filePath(QStringLiteral("absent.qcs"));
  return 0;
}

// Input: the gateway (mode, faults, line speed), the job (script, port setting, the user's answer),
// then what happens to the gateway's replies (see ScriptedGateway).
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  FuzzInput in(data, size);
  VirtualClock clock;
  SimPorts ports;
  SimLine &line = ports.line(kCom);
  ScriptedGateway gateway(line, in);
  const Job job = jobFrom(in);
  gateway.setScript(in.rest());

  TSerialPort port;
  port.SetPromptForPort(false);
  port.SetComNumber(kCom);
  port.SetBaud(9600);
  port.SetOnErrorEvent([](TSerialPort *, qint32) {});
  port.SetOpen(true);
  RecordingReport report;
  report.answer = job.answer;
  GatewayLink link(&port);
  link.setReport(&report);
  link.attach();
  WriteScriptJob writer(link, job.path, job.portSetting);
  Task<bool> run = writer.run();
  run.start();

  FUZZ_CHECK(clock.runUntil([&] { return run.finished(); }, kJobLimitMs), "every job ends");
  const bool result = run.result();
  clock.advance(60000); // nothing may report after the end
  checkOutcome(report, result, job, line.received());
  return 0;
}
