#include "gateway/ScriptImage.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestIdxStream : public QObject {
  Q_OBJECT
  QTemporaryDir dir;

  QString write(const QString &name, const QByteArray &bytes) {
    const QString path = dir.filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
      qFatal("cannot write fixture %s", qPrintable(path));
    return path;
  }

  static QByteArray imageOf(TIndexStream &s) {
    QByteArray out;
    for (int i = 0; i < s.UseSize(); ++i)
      out.append(char(s.GetByteIDX(quint16(i))));
    return out;
  }

private slots:
  void newImageIsEmpty() {
    TIndexStream s;
    QCOMPARE(s.UseSize(), 0);
    QCOMPARE(s.GetByteIDX(0), quint8(0));
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, s.GetByteIDX(1));
  }

  void loadsRawBytes_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("five bytes") << QByteArray("\x01\x00\xff\r\n", 5);
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("text is not translated") << QByteArray("\xef\xbb\xbf"
                                                          "a\r\nb\x1a",
                                                          8);
  }
  void loadsRawBytes() {
    QFETCH(QByteArray, bytes);
    TIndexStream s;
    s.LoadFromfile(write(QStringLiteral("x.qcs"), bytes));
    QCOMPARE(s.UseSize(), bytes.size());
    QCOMPARE(imageOf(s), bytes);
  }

  void secondLoadReplacesTheFirst() {
    TIndexStream s;
    s.LoadFromfile(write(QStringLiteral("long.qcs"), QByteArray(300, 'a')));
    s.LoadFromfile(write(QStringLiteral("short.qcs"), "xyz"));
    QCOMPARE(s.UseSize(), 3);
    QCOMPARE(imageOf(s), QByteArray("xyz"));
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, s.GetByteIDX(4));
  }

  void indexBeyondSizeRaises() {
    TIndexStream s;
    s.LoadFromfile(write(QStringLiteral("five.qcs"), "12345"));
    try {
      s.GetByteIDX(6);
      QFAIL("no exception");
    } catch (const std::runtime_error &e) {
      QCOMPARE(QString::fromUtf8(e.what()), QStringLiteral("TIndexStream: GetByteIdx: Index>Size"));
    }
    QCOMPARE(s.GetByteIDX(5), quint8(0)); // at the size: passes the check, no byte there
  }

  void lastReachableByteOfA64KImage() {
    QByteArray bytes(65536, '\0');
    bytes[0] = 'F';
    bytes[65535] = 'L';
    TIndexStream s;
    s.LoadFromfile(write(QStringLiteral("64k.qcs"), bytes));
    QCOMPARE(s.UseSize(), 65536);
    QCOMPARE(s.GetByteIDX(65535), quint8('L'));
    QCOMPARE(s.GetByteIDX(quint16(65536)), quint8('F')); // an index counted past 65535 wraps
  }

  void unreadableFileRaisesAndKeepsTheImage_data() {
    QTest::addColumn<QString>("path");
    QTest::newRow("missing") << dir.filePath(QStringLiteral("missing.qcs"));
    QTest::newRow("a folder") << dir.path();
    QTest::newRow("below a file") << dir.filePath(QStringLiteral("keep.qcs/x.qcs"));
  }
  void unreadableFileRaisesAndKeepsTheImage() {
    QFETCH(QString, path);
    TIndexStream s;
    s.LoadFromfile(write(QStringLiteral("keep.qcs"), "keep"));
    try {
      s.LoadFromfile(path);
      QFAIL("no exception");
    } catch (const std::runtime_error &e) {
      QVERIFY2(QString::fromUtf8(e.what()).contains(path), e.what());
    }
    QCOMPARE(s.UseSize(), 4);
    QCOMPARE(imageOf(s), QByteArray("keep"));
  }

  void fileTooLargeForAnImageIsRefusedWithoutReading() {
    const QString path = write(QStringLiteral("huge.qcs"), "");
    QFile f(path);
    QVERIFY(f.resize(qint64(3) << 30)); // sparse: costs no disk space
    TIndexStream s;
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, s.LoadFromfile(path));
    QCOMPARE(s.UseSize(), 0);
  }
};

QTEST_GUILESS_MAIN(TestIdxStream)
#include "test_idxstream.moc"
