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

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <memory>

namespace {

constexpr quint16 kCom = 7;
// Far beyond the longest job: searches, prompt, block points, restart, a drain wait per 16 bytes.
constexpr quint64 kJobLimitMs = 2 * 3600 * 1000;

QTemporaryDir *scriptDir = nullptr;

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

QString writeScript(const QByteArray &bytes) {
  const QString path = scriptDir->filePath(QStringLiteral("fuzz.qcs"));
  QFile file(path);
  FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate), "the script can be written");
  file.write(bytes);
  return path;
}

Job jobFrom(FuzzInput &in) {
  Job job;
  const uint8_t flags = in.u8();
  const int size = in.u16() % 400;
  const uint8_t seed = in.u8();
  job.script.resize(size);
  for (int i = 0; i < size; ++i)
    job.script[i] = char((i * 31 + seed * 7 + (i >> 3) * seed) & 0xff);
  if (flags & 0x10) // larger than the byte index reaches: must be refused before any byte goes out
    job.script = QByteArray(65537, '\x5a');
  job.path = flags & 0x20 ? scriptDir->filePath(QStringLiteral("absent.qcs")) : writeScript(job.script);
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
  static QCoreApplication app(*argc, *argv);
  static QTemporaryDir dir; // removed at exit
  scriptDir = &dir;
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
