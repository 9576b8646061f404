// Appending to a record that several processes share: the header once, a torn last line mended,
// every line whole when two processes append at once, and why a record cannot be written.
#include "platform/RecordFile.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <utility>

namespace {
const QByteArray kHead = "\xEF\xBB\xBFwho,n\n";

QByteArray readAll(const QString &path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeAll(const QString &path, const QByteArray &bytes) {
  QFile f(path);
  if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
    f.write(bytes);
}

// A line long enough that two writers that did not keep to the lock would tear it.
QByteArray childLine(const QByteArray &id, int n) {
  return id + ',' + QByteArray::number(n) + ',' + QByteArray(300, id.at(0)) + '\n';
}

// The child's part: waits until the parent says go, so that both children append at the same time.
int appendAsChild(const QString &path, const QByteArray &id, int count) {
  const QString go = path + QStringLiteral(".go");
  QElapsedTimer waited;
  waited.start();
  while (!QFileInfo::exists(go) && waited.elapsed() < 60000)
    QThread::msleep(1);
  for (int n = 0; n < count; ++n)
    if (const QString problem = RecordFile::append(path, kHead, childLine(id, n)); !problem.isEmpty()) {
      std::fprintf(stderr, "%s\n", qPrintable(problem));
      return 1;
    }
  return 0;
}
} // namespace

class TestRecordFile : public QObject {
  Q_OBJECT
  QTemporaryDir m_dir;

private slots:
  void appendix_data() {
    QTest::addColumn<qint64>("size");
    QTest::addColumn<char>("lastByte");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("empty file: head first") << qint64(0) << '\n' << kHead + "a,1\n";
    QTest::newRow("whole last line") << qint64(20) << '\n' << QByteArray("a,1\n");
    QTest::newRow("torn last line") << qint64(20) << '7' << QByteArray("\na,1\n");
    QTest::newRow("torn after a carriage return") << qint64(20) << '\r' << QByteArray("\na,1\n");
  }
  void appendix() {
    QFETCH(qint64, size);
    QFETCH(char, lastByte);
    QTEST(RecordFile::appendix(size, lastByte, kHead, "a,1\n"), "expected");
  }

  // On disk: the folder is made, the head comes once, a line cut short by a power cut is not joined.
  void appendsOnDisk() {
    const QString path = m_dir.filePath(QStringLiteral("new folder/deeper/record.csv"));
    QCOMPARE(RecordFile::append(path, kHead, "a,1\n"), QString());
    QCOMPARE(RecordFile::append(path, kHead, "b,2\n"), QString());
    QCOMPARE(readAll(path), kHead + "a,1\nb,2\n");
    writeAll(path, kHead + "a,1\nb,2");
    QCOMPARE(RecordFile::append(path, kHead, "c,3\n"), QString());
    QCOMPARE(readAll(path), kHead + "a,1\nb,2\nc,3\n");
    // An empty file that exists (a check made it) gets the head as well.
    const QString empty = m_dir.filePath(QStringLiteral("empty.csv"));
    writeAll(empty, {});
    QCOMPARE(RecordFile::append(empty, kHead, "a,1\n"), QString());
    QCOMPARE(readAll(empty), kHead + "a,1\n");
  }

  // The check before a station starts adds nothing to a record, and finds what an append would.
  void checkAddsNoLine() {
    const QString path = m_dir.filePath(QStringLiteral("checked/record.csv"));
    QCOMPARE(RecordFile::checkAppendable(path), QString());
    QVERIFY(QFileInfo::exists(path));
    QCOMPARE(QFileInfo(path).size(), qint64(0));
    writeAll(path, kHead + "a,1\n");
    QCOMPARE(RecordFile::checkAppendable(path), QString());
    QCOMPARE(readAll(path), kHead + "a,1\n");
  }

  void unwritable_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("says");
    const QString folder = m_dir.filePath(QStringLiteral("a folder"));
    QDir().mkpath(folder);
    QTest::newRow("the record is a folder") << folder << "is a folder: name a file for the record";
    const QString file = m_dir.filePath(QStringLiteral("a file"));
    writeAll(file, "x");
    QTest::newRow("its folder is a file")
        << file + QStringLiteral("/record.csv") << "cannot be created; create it, or choose another place";
    // A user without the right to write; an administrator may write anyway, and has no such case.
    const QString readOnly = m_dir.filePath(QStringLiteral("read-only.csv"));
    writeAll(readOnly, kHead);
    QFile::setPermissions(readOnly, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
    if (!QFile(readOnly).open(QIODevice::Append))
      QTest::newRow("no right to write") << readOnly << "Give ";
  }
  void unwritable() {
    QFETCH(QString, path);
    QFETCH(QString, says);
    const QByteArray before = readAll(path);
    const QString appended = RecordFile::append(path, kHead, "a,1\n");
    QVERIFY2(appended.contains(says), qPrintable(appended));
    QCOMPARE(RecordFile::checkAppendable(path), appended);
    QCOMPARE(readAll(path), before);
  }

  // Two processes append 500 lines each at the same time: the head once, every line whole, each
  // process's lines complete and in its order.
  void twoProcessesAppendAtOnce() {
    const int count = 500;
    const QString path = m_dir.filePath(QStringLiteral("shared/record.csv"));
    QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
    QProcess a, b;
    for (auto [child, id] : {std::pair{&a, "A"}, std::pair{&b, "B"}}) {
      child->setProcessChannelMode(QProcess::ForwardedErrorChannel);
      child->start(QCoreApplication::applicationFilePath(),
                   {QStringLiteral("--append-child"), path, QString::fromLatin1(id), QString::number(count)});
      QVERIFY(child->waitForStarted(30000));
    }
    QVERIFY(QFile(path + QStringLiteral(".go")).open(QIODevice::WriteOnly));
    for (QProcess *child : {&a, &b}) {
      QVERIFY(child->waitForFinished(240000));
      QCOMPARE(child->exitCode(), 0);
    }
    const QByteArray content = readAll(path);
    QVERIFY(content.startsWith(kHead));
    const QList<QByteArray> lines = content.mid(kHead.size()).split('\n');
    QCOMPARE(lines.size(), 2 * count + 1);
    QVERIFY(lines.last().isEmpty());
    QHash<QByteArray, int> next{{"A", 0}, {"B", 0}};
    int changes = 0;
    QByteArray previous;
    for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
      const QByteArray id = lines.at(i).left(1);
      QVERIFY2(next.contains(id), lines.at(i).left(40).constData());
      QCOMPARE(lines.at(i) + '\n', childLine(id, next[id]++));
      changes += !previous.isEmpty() && previous != id;
      previous = id;
    }
    QCOMPARE(next.value("A"), count);
    QCOMPARE(next.value("B"), count);
    // The two really wrote at the same time; otherwise the test proved nothing.
    QVERIFY2(changes > 1, qPrintable(QStringLiteral("the writers changed %1 times").arg(changes)));
  }
};

int main(int argc, char *argv[]) {
  if (argc == 5 && QByteArray(argv[1]) == "--append-child")
    return appendAsChild(QString::fromLocal8Bit(argv[2]), QByteArray(argv[3]), QByteArray(argv[4]).toInt());
  QCoreApplication app(argc, argv);
  TestRecordFile test;
  return QTest::qExec(&test, argc, argv);
}

#include "test_recordfile.moc"
