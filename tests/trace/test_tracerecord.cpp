// The record of every write: its lines as a spreadsheet and a program read them, parsed back, and
// its place in the settings.
#include "platform/UserSettings.h"
#include "station/TracePlace.h"
#include "station/TraceRecord.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {
TraceEntry sample() {
  TraceEntry e;
  e.startedUtc = QDateTime(QDate(2026, 3, 9), QTime(7, 5, 2, 40), Qt::UTC);
  e.seconds = 36.2146;
  e.computer = "BENCH-7";
  e.user = "jo";
  e.program = "tamberlin-cli";
  e.version = "1.0.0";
  e.port = "COM3";
  e.adapter = "0403:6001 serial A10K";
  e.interface = "configuration";
  e.script = "/srv/line/gw.qcs";
  e.scriptBytes = 16384;
  e.scriptSha256 = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
  e.bytesSent = 16384;
  e.exitCode = 0;
  e.written = true;
  return e;
}

const QByteArray kSampleLine =
    "2026-03-09T07:05:02.040Z,36.215,BENCH-7,jo,tamberlin-cli,1.0.0,COM3,"
    "0403:6001 serial A10K,configuration,/srv/line/gw.qcs,16384,"
    "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad,16384,0,,written\n";

bool same(const TraceEntry &a, const TraceEntry &b) {
  return a.startedUtc == b.startedUtc && qAbs(a.seconds - b.seconds) < 0.0005 && a.computer == b.computer &&
         a.user == b.user && a.program == b.program && a.version == b.version && a.port == b.port &&
         a.adapter == b.adapter && a.interface == b.interface && a.script == b.script &&
         a.scriptBytes == b.scriptBytes && a.scriptSha256 == b.scriptSha256 && a.bytesSent == b.bytesSent &&
         a.exitCode == b.exitCode && a.reason == b.reason && a.written == b.written;
}
} // namespace

class TestTraceRecord : public QObject {
  Q_OBJECT
  QTemporaryDir m_home;

private slots:
  void initTestCase() {
    qputenv("XDG_CONFIG_HOME", m_home.filePath("config").toUtf8());
    qputenv("XDG_DATA_HOME", m_home.filePath("data").toUtf8());
  }

  void head() {
    const QByteArray head = TraceRecord::head();
    QVERIFY(head.startsWith("\xEF\xBB\xBF"));
    QCOMPARE(head.mid(3),
             QByteArray("started_utc,seconds,computer,user,program,version,port,adapter,interface,"
                        "script,script_bytes,script_sha256,bytes_sent,exit_code,reason,result\n"));
  }

  // Each text field as it lands in the line, and back again.
  void fields_data() {
    QTest::addColumn<QString>("reason");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QByteArray>("tail"); // the line from its reason on
    QTest::addColumn<QByteArray>("userField");
    QTest::newRow("plain") << "no gateway answered"
                           << "jo" << QByteArray("no gateway answered,failed\n") << QByteArray("jo");
    QTest::newRow("comma and quotes")
        << "say \"OK\", then go"
        << "jo" << QByteArray("\"say \"\"OK\"\", then go\",failed\n") << QByteArray("jo");
    QTest::newRow("line breaks become spaces")
        << "No data received,\r\ncheck device"
        << "jo" << QByteArray("\"No data received, check device\",failed\n") << QByteArray("jo");
    QTest::newRow("umlauts in UTF-8")
        << "Gerät fehlt"
        << "Jürgen Weiß" << QByteArray("Gerät fehlt,failed\n") << QByteArray("Jürgen Weiß");
    QTest::newRow("formula") << "=HYPERLINK(\"x\")"
                             << "+1" << QByteArray("\"'=HYPERLINK(\"\"x\"\")\",failed\n")
                             << QByteArray("'+1");
    QTest::newRow("minus and at") << "-161 read error"
                                  << "@jo" << QByteArray("'-161 read error,failed\n") << QByteArray("'@jo");
    QTest::newRow("apostrophe kept") << "'quoted'"
                                     << "'=x" << QByteArray("''quoted',failed\n") << QByteArray("''=x");
  }
  void fields() {
    QFETCH(QString, reason);
    QFETCH(QString, user);
    QFETCH(QByteArray, tail);
    QFETCH(QByteArray, userField);
    TraceEntry e = sample();
    e.written = false;
    e.exitCode = 5;
    e.reason = reason;
    e.user = user;
    const QByteArray line = TraceRecord::line(e);
    QVERIFY2(line.endsWith(",5," + tail), line.constData());
    QVERIFY2(line.contains(",BENCH-7," + userField + ",tamberlin-cli,"), line.constData());
    QCOMPARE(line.count('\n'), 1);
    const TraceRecord::Contents back = TraceRecord::parse(TraceRecord::head() + line);
    QCOMPARE(back.problems, QStringList());
    QCOMPARE(back.entries.size(), 1);
    e.reason.replace(QLatin1String("\r\n"), QLatin1String(" "));
    QVERIFY(same(back.entries.first(), e));
  }

  void wholeLine() {
    QCOMPARE(TraceRecord::line(sample()), kSampleLine);
    TraceEntry unread = sample();
    unread.scriptBytes = -1;
    unread.scriptSha256.clear();
    unread.interface.clear();
    const TraceRecord::Contents back = TraceRecord::parse(TraceRecord::head() + TraceRecord::line(unread));
    QCOMPARE(back.entries.size(), 1);
    QVERIFY(same(back.entries.first(), unread));
  }

  // A power cut tears the last line; the next append puts it on a line of its own. Neither such a
  // line nor anything else that is not a whole entry reads as one.
  void partsThatAreNotEntries_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("entries");
    QTest::addColumn<QStringList>("problems");
    const QByteArray head = TraceRecord::head();
    const QByteArray line = kSampleLine;
    QByteArray crlf = kSampleLine;
    QTest::newRow("torn at the end") << head + line + line.left(60) << 1 << QStringList{"line 3"};
    QTest::newRow("torn, then mended") << head + line.left(60) + '\n' + line << 1 << QStringList{"line 2"};
    QTest::newRow("cut inside the result")
        << head + line.left(line.size() - 4) + '\n' + line << 1 << QStringList{"line 2"};
    QTest::newRow("cut in a quoted field")
        << head + QByteArray("2026-03-09T07:05:02.040Z,1.000,\"BENCH") + '\n' + line << 1
        << QStringList{"line 2"};
    QTest::newRow("header only") << head << 0 << QStringList{};
    QTest::newRow("without the byte-order mark, with CRLF")
        << QByteArray(head.mid(3)).replace("\n", "\r\n") + crlf.replace("\n", "\r\n") << 1 << QStringList{};
    QTest::newRow("not a record") << QByteArray("name;value\nx;1\n") << 0 << QStringList{"line 1"};
    QTest::newRow("empty file") << QByteArray() << 0 << QStringList{};
  }
  void partsThatAreNotEntries() {
    QFETCH(QByteArray, content);
    QFETCH(int, entries);
    QFETCH(QStringList, problems);
    const TraceRecord::Contents parsed = TraceRecord::parse(content);
    QCOMPARE(parsed.entries.size(), entries);
    for (const TraceEntry &e : parsed.entries)
      QVERIFY(same(e, sample()));
    QCOMPARE(parsed.problems.size(), problems.size());
    for (qsizetype i = 0; i < problems.size(); ++i)
      QVERIFY2(parsed.problems.at(i).startsWith(problems.at(i) + ':'), qPrintable(parsed.problems.at(i)));
  }

  // Columns found by their names, so that a reader of today reads a record with more columns.
  void columnsByName() {
    const QByteArray content = "result,port,started_utc,seconds,exit_code,bytes_sent,extra\n"
                               "written,COM9,2026-03-09T07:05:02.040Z,1.500,0,10,whatever\n";
    const TraceRecord::Contents parsed = TraceRecord::parse(content);
    QCOMPARE(parsed.problems, QStringList());
    QCOMPARE(parsed.entries.size(), 1);
    QCOMPARE(parsed.entries.first().port, QStringLiteral("COM9"));
    QCOMPARE(parsed.entries.first().bytesSent, qint64(10));
    QVERIFY(parsed.entries.first().written);
  }

  void entryOfAResult_data() {
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("reason");
    QTest::newRow("written") << true << 0 << "";
    QTest::newRow("failed") << false << 7 << "Error writing script";
  }
  void entryOfAResult() {
    QFETCH(bool, ok);
    QFETCH(int, code);
    PortResult r;
    r.port = "COM4";
    r.ok = ok;
    r.code = code;
    r.message = ok ? "Write Script success" : "Error writing script";
    r.interface = "debug";
    r.bytes = 120;
    r.seconds = 2.5;
    r.startedUtc = QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5), Qt::UTC);
    r.adapter = "1A86:7523 at USB path 1-2.3";
    const ScriptDigest digest{3, "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"};
    const TraceEntry e = traceEntryOf(r, {"PC", "jo", "tamberlin", "1.0.0"}, "/x.qcs", digest);
    QCOMPARE(e.written, ok);
    QCOMPARE(e.exitCode, code);
    QTEST(e.reason, "reason");
    QCOMPARE(e.startedUtc, r.startedUtc);
    QCOMPARE(e.adapter, r.adapter);
    QCOMPARE(e.bytesSent, qint64(120));
    QCOMPARE(e.scriptBytes, qint64(3));
    QCOMPARE(e.program, QStringLiteral("tamberlin"));
  }

  void digest() {
    const QString path = m_home.filePath("abc.qcs");
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("abc");
    f.close();
    const ScriptDigest d = ScriptDigest::of(path);
    QCOMPARE(d.bytes, qint64(3));
    QCOMPARE(d.sha256, QStringLiteral("ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"));
    const ScriptDigest missing = ScriptDigest::of(m_home.filePath("missing.qcs"));
    QCOMPARE(missing.bytes, qint64(-1));
    QVERIFY(missing.sha256.isEmpty());
  }

  // The place: the user's data folder, a stored choice beside the other settings, and back.
  void place() {
    const QString fallback = QDir::toNativeSeparators(m_home.filePath("data/Quarnel/Tamberlin/trace.csv"));
    QCOMPARE(TracePlace::defaultPath(), fallback);
    QCOMPARE(TracePlace::current(), fallback);
    UserSettings settings;
    const QString portKey = "\\SOFTWARE\\Quarnel\\Tamberlin\\kvSerialOptionCaption";
    QVERIFY(settings.createKey(portKey));
    QVERIFY(settings.setValue(portKey, "PortNumber", RegValue::fromString("COM3")));

    const QString chosen = m_home.filePath("shared/line 2.csv");
    QCOMPARE(TracePlace::store(chosen), QString());
    QCOMPARE(TracePlace::stored(), QDir::toNativeSeparators(chosen));
    QCOMPARE(TracePlace::current(), QDir::toNativeSeparators(chosen));
    QCOMPARE(UserSettings().value(portKey, "PortNumber")->string, QStringLiteral("COM3"));
    QVERIFY(TracePlace::store(m_home.path()).contains("is a folder"));
    QCOMPARE(TracePlace::stored(), QDir::toNativeSeparators(chosen));

    QCOMPARE(TracePlace::store(QString()), QString());
    QCOMPARE(TracePlace::stored(), QString());
    QCOMPARE(TracePlace::current(), fallback);

    // A value of another type than text: said, and the default place is used.
    QVERIFY(settings.createKey("\\SOFTWARE\\Quarnel\\Tamberlin\\Trace"));
    QVERIFY(settings.setValue("\\SOFTWARE\\Quarnel\\Tamberlin\\Trace", "RecordFile", RegValue::fromDword(1)));
    QString problem;
    QCOMPARE(TracePlace::current(&problem), fallback);
    QVERIFY2(problem.contains("RecordFile") && problem.contains("not a text"), qPrintable(problem));
    QCOMPARE(TracePlace::store(QString()), QString());
  }

  // What a station asks before it starts: the record can take a line, or why not; it adds none.
  void problemBeforeStarting() {
    const TraceRecord good(m_home.filePath("station/trace.csv"));
    QCOMPARE(good.problem(), QString());
    QCOMPARE(TraceRecord::read(good.path(), nullptr).entries.size(), 0);
    QCOMPARE(good.append(sample()), QString());
    QCOMPARE(good.problem(), QString());
    QString error;
    const TraceRecord::Contents contents = TraceRecord::read(good.path(), &error);
    QCOMPARE(error, QString());
    QCOMPARE(contents.entries.size(), 1);

    QDir().mkpath(m_home.filePath("station/folder.csv"));
    const TraceRecord folder(m_home.filePath("station/folder.csv"));
    QVERIFY2(folder.problem().contains("is a folder"), qPrintable(folder.problem()));
    QCOMPARE(folder.append(sample()), folder.problem());
  }
};

QTEST_GUILESS_MAIN(TestTraceRecord)
#include "test_tracerecord.moc"
