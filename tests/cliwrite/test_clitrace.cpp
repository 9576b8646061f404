// The record of every write from the built tamberlin-cli against korvane-sim: a line per port with
// --trace and in the default place, the trace command, and a record that cannot be written.
#include "station/TraceRecord.h"
#include "tests/support/ProgramSandbox.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTest>

namespace {
struct Run {
  int exitCode = -1;
  QByteArray out;
  QByteArray err;
};
} // namespace

class TestCliTrace : public QObject {
  Q_OBJECT
  std::unique_ptr<ProgramSandbox> m_box;

  QString script(int size) {
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
      bytes[i] = char((i * 11 + 3) & 0xff);
    const QString path = m_box->path(QStringLiteral("script.qcs"));
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(bytes);
    return path;
  }
  QString port() const { return QStringLiteral("COM%1").arg(m_box->port()); }
  bool startGateway() {
    return m_box->startGateway({"--out", m_box->path("received.qcs"), "--restart-ms", "300",
                                "--exit-after-download", "--linger-ms", "2500", "--idle-exit", "60"});
  }
  Run cli(const QStringList &arguments) {
    const auto program = m_box->start(QStringLiteral("tamberlin-cli"), arguments, m_box->environment());
    Run run;
    if (!program->waitForFinished(60000))
      return run;
    run.exitCode = program->exitStatus() == QProcess::NormalExit ? program->exitCode() : -1;
    run.out = program->readAllStandardOutput();
    run.err = program->readAllStandardError();
    return run;
  }
  static TraceRecord::Contents contents(const QString &path) {
    QString error;
    const TraceRecord::Contents c = TraceRecord::read(path, &error);
    if (!error.isEmpty())
      qWarning("%s", qPrintable(error));
    return c;
  }

private slots:
  void init() { m_box = std::make_unique<ProgramSandbox>(); }
  void cleanup() { m_box.reset(); }

  // One written port, its line in the record that --trace names, and the trace command reading it.
  void writtenPortWithTrace() {
    QVERIFY(startGateway());
    const QString path = script(3000);
    const QString record = m_box->path(QStringLiteral("line 4/trace.csv"));
    const QDateTime before = QDateTime::currentDateTimeUtc().addSecs(-1);
    const Run write = cli({"write", "--json", "--port", port(), "--trace", record, path});
    QCOMPARE(write.exitCode, 0);
    QVERIFY2(!ProgramSandbox::jsonLines(write.out).isEmpty(), write.out.constData());

    const TraceRecord::Contents c = contents(record);
    QCOMPARE(c.problems, QStringList());
    QCOMPARE(c.entries.size(), 1);
    const TraceEntry &e = c.entries.first();
    QVERIFY(e.written);
    QCOMPARE(e.exitCode, 0);
    QCOMPARE(e.reason, QString());
    QCOMPARE(e.port, port());
    QCOMPARE(e.interface, QStringLiteral("configuration"));
    QCOMPARE(e.bytesSent, qint64(3000));
    QCOMPARE(e.scriptBytes, qint64(3000));
    QCOMPARE(
        e.scriptSha256,
        QString::fromLatin1(
            QCryptographicHash::hash(ProgramSandbox::readFile(path), QCryptographicHash::Sha256).toHex()));
    QCOMPARE(e.script, QDir::toNativeSeparators(path));
    QCOMPARE(e.program, QStringLiteral("tamberlin-cli"));
    QVERIFY(!e.version.isEmpty() && !e.computer.isEmpty() && !e.user.isEmpty());
    QVERIFY(e.startedUtc >= before && e.startedUtc <= QDateTime::currentDateTimeUtc());
    QVERIFY(e.seconds > 0);
    QVERIFY(!QFileInfo::exists(m_box->path(QStringLiteral("data/Quarnel/Tamberlin/trace.csv"))));

    const Run json = cli({"trace", "--json", "--trace", record});
    QCOMPARE(json.exitCode, 0);
    const QList<QJsonObject> lines = ProgramSandbox::jsonLines(json.out);
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines.at(0)["event"].toString(), QStringLiteral("entry"));
    QCOMPARE(lines.at(0)["result"].toString(), QStringLiteral("written"));
    QCOMPARE(lines.at(0)["bytes_sent"].toInt(), 3000);
    QCOMPARE(lines.at(1)["event"].toString(), QStringLiteral("summary"));
    QCOMPARE(lines.at(1)["entries"].toInt(), 1);
    QCOMPARE(lines.at(1)["record"].toString(), QDir::toNativeSeparators(record));

    const Run text = cli({"trace", "--trace", record});
    QCOMPARE(text.exitCode, 0);
    QVERIFY2(text.out.startsWith("Record: " + QDir::toNativeSeparators(record).toUtf8() + '\n'),
             text.out.constData());
    QVERIFY2(text.out.contains(" written ") && text.out.contains("1 of 1 entries"), text.out.constData());
  }

  // Without --trace the record is in the user's data folder; a port that cannot be written has its
  // line too, with the exit code and the reason; --last shows the newest.
  void failuresInTheDefaultPlace() {
    const QString path = script(10);
    const Run empty = cli({"trace"});
    QCOMPARE(empty.exitCode, 0);
    QVERIFY2(empty.out.contains("No writes recorded yet."), empty.out.constData());
    QCOMPARE(cli({"write", "--port", "COM97", path}).exitCode, 4);
    QCOMPARE(cli({"write", "--json", "--port", "COM98", path}).exitCode, 4);
    const TraceRecord::Contents c = contents(m_box->path(QStringLiteral("data/Quarnel/Tamberlin/trace.csv")));
    QCOMPARE(c.entries.size(), 2);
    for (const TraceEntry &e : c.entries) {
      QVERIFY(!e.written);
      QCOMPARE(e.exitCode, 4);
      QVERIFY2(e.reason.contains("absent"), qPrintable(e.reason));
      QCOMPARE(e.interface, QString());
      QCOMPARE(e.bytesSent, qint64(0));
    }
    const Run last = cli({"trace", "--json", "--last", "1"});
    const QList<QJsonObject> lines = ProgramSandbox::jsonLines(last.out);
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines.at(0)["port"].toString(), QStringLiteral("COM98"));
    QCOMPARE(lines.at(1)["entries"].toInt(), 2);
    QCOMPARE(lines.at(1)["shown"].toInt(), 1);
  }

  // A record that cannot be written is said on standard error; the gateway is written all the same.
  void unwritableRecordDoesNotStopTheWrite() {
    QVERIFY(startGateway());
    const QString path = script(500);
    const QString folder = m_box->path(QStringLiteral("a folder"));
    QVERIFY(QDir().mkpath(folder));
    const Run write = cli({"write", "--json", "--port", port(), "--trace", folder, path});
    QCOMPARE(write.exitCode, 0);
    QVERIFY2(write.err.contains("The record of every write has no line for this port") &&
                 write.err.contains("is a folder"),
             write.err.constData());
    QVERIFY(!ProgramSandbox::jsonLines(write.out).isEmpty());
    m_box->gateway()->waitForFinished(10000);
    QCOMPARE(ProgramSandbox::readFile(m_box->path("received.qcs")), ProgramSandbox::readFile(path));
  }

  void usage_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("says");
    QTest::newRow("--port with trace")
        << QStringList{"trace", "--port", "3"} << "--port belongs to the write";
    QTest::newRow("--trace with find")
        << QStringList{"find", "--trace", "x"} << "--trace belongs to the write and";
    QTest::newRow("--last 0") << QStringList{"trace", "--last", "0"} << "--last takes a number";
    QTest::newRow("--last with write")
        << QStringList{"write", "--last", "2", "x.qcs"} << "--last belongs to the trace";
    QTest::newRow("a word after trace") << QStringList{"trace", "x.csv"} << "unexpected \"x.csv\"";
  }
  void usage() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, says);
    const Run run = cli(arguments);
    QCOMPARE(run.exitCode, 2);
    QVERIFY2(run.err.contains(says.toUtf8()), run.err.constData());
  }
};

QTEST_GUILESS_MAIN(TestCliTrace)
#include "test_clitrace.moc"
