#include "ui/RichTextReader.h"
#include "ui/TextFileLoader.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

namespace {
QString textOf(const QByteArray &rtf) {
  QTextDocument doc;
  RichTextReader::read(rtf, &doc);
  return doc.toRawText().replace(QChar::ParagraphSeparator, u'\n');
}

// The character format of the first occurrence of text in the document.
QTextCharFormat formatOf(QTextDocument &doc, const QString &text) {
  const QTextCursor found = doc.find(text, 0, QTextDocument::FindCaseSensitively);
  if (found.isNull())
    return {};
  QTextCursor c(&doc);
  c.setPosition(found.selectionStart() + 1);
  return c.charFormat();
}
} // namespace

class TestRichText : public QObject {
  Q_OBJECT
private slots:
  void text_data() {
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<QString>("text");
    QTest::newRow("paragraphs") << QByteArray("{\\rtf1 one\\par two\\par\n}") << "one\ntwo\n";
    QTest::newRow("escaped characters")
        << QByteArray("{\\rtf1 a\\{b\\}c\\\\d\\~e}") << QString::fromUtf8("a{b}c\\d\u00a0e");
    QTest::newRow("hex characters in cp1252")
        << QByteArray("{\\rtf1\\ansi\\ansicpg1252 caf\\'e9 \\'80\\'96}") << QString::fromUtf8("café €–");
    QTest::newRow("code page of the document")
        << QByteArray("{\\rtf1\\ansi\\ansicpg1251 \\'cf\\'f0\\'e8}") << QString::fromUtf8("При");
    QTest::newRow("unicode with fallback")
        << QByteArray("{\\rtf1 \\u8364?x \\u-10179?\\u-8704?}") << QString::fromUtf8("€x 😀");
    QTest::newRow("two fallback characters")
        << QByteArray("{\\rtf1\\uc2 \\u8364\\'80\\'80y}") << QString::fromUtf8("€y");
    QTest::newRow("no fallback") << QByteArray("{\\rtf1\\uc0 \\u8364 y}") << QString::fromUtf8("€y");
    QTest::newRow("destinations skipped")
        << QByteArray(
               "{\\rtf1{\\fonttbl{\\f0\\fswiss Arial;}}{\\colortbl;\\red255\\green0\\blue0;}"
               "{\\stylesheet{\\s0 Normal;}}{\\*\\generator Writer;}{\\info{\\title Title}{\\author A}}"
               "{\\header head}{\\pict\\pngblip 89504e47}{\\*\\unknown x}Body}")
        << "Body";
    QTest::newRow("field result shown")
        << QByteArray("{\\rtf1{\\field{\\*\\fldinst HYPERLINK \"x\"}{\\fldrslt link}}}") << "link";
    QTest::newRow("line and tab") << QByteArray("{\\rtf1 a\\line b\\tab c}")
                                  << QString::fromUtf8("a\u2028b\tc");
    QTest::newRow("file line breaks are not text") << QByteArray("{\\rtf1 a\r\nb\nc}") << "abc";
    QTest::newRow("escaped line break is a paragraph") << QByteArray("{\\rtf1 a\\\nb}") << "a\nb";
    QTest::newRow("delimiter space is not text") << QByteArray("{\\rtf1\\b bold\\b0  two}") << "bold two";
    QTest::newRow("binary data skipped") << QByteArray("{\\rtf1 a\\bin3 {}\\b}") << "ab";
    QTest::newRow("text after the document") << QByteArray("{\\rtf1 a}b{c}") << "a";
    QTest::newRow("truncated in a group") << QByteArray("{\\rtf1 a{\\b b") << "ab";
    QTest::newRow("truncated after backslash") << QByteArray("{\\rtf1 a\\") << "a";
    QTest::newRow("truncated in hex") << QByteArray("{\\rtf1 a\\'4") << "a";
    QTest::newRow("truncated in a word") << QByteArray("{\\rtf1 a\\u") << "a";
    QTest::newRow("out-of-range unicode") << QByteArray("{\\rtf1 \\u70000?a\\u-70000?b}") << "ab";
    QTest::newRow("huge parameter") << QByteArray("{\\rtf1\\fs99999999999999999999 a\\bin99999999999999 b}")
                                    << "a";
    QTest::newRow("control characters dropped") << QByteArray("{\\rtf1 a\x01\x00"
                                                              "b}",
                                                              12)
                                                << "ab";
  }
  void text() {
    QFETCH(QByteArray, rtf);
    QTEST(textOf(rtf), "text");
  }

  void formatting() {
    QTextDocument doc;
    RichTextReader::read("{\\rtf1{\\fonttbl{\\f0 Arial;}{\\f1\\fmodern Courier New;}}"
                         "{\\colortbl;\\red255\\green0\\blue0;\\red0\\green0\\blue255;}"
                         "\\pard\\qc{\\b Bold}{\\i Italic}{\\ul Under}\\ulnone{\\fs40 Size}{\\cf1 Red}"
                         "{\\f1 Mono}{\\strike Gone}{\\highlight2 Marked}{\\b\\plain Plain}Rest\\par"
                         "\\pard\\li720\\sa240 Indented\\par}",
                         &doc);
    QCOMPARE(doc.toPlainText(), QStringLiteral("BoldItalicUnderSizeRedMonoGoneMarkedPlainRest\nIndented\n"));
    QCOMPARE(formatOf(doc, "Bold").fontWeight(), int(QFont::Bold));
    QCOMPARE(formatOf(doc, "Italic").fontWeight(), int(QFont::Normal));
    QVERIFY(formatOf(doc, "Italic").fontItalic());
    QVERIFY(formatOf(doc, "Under").fontUnderline());
    QVERIFY(!formatOf(doc, "Size").fontUnderline());
    QCOMPARE(formatOf(doc, "Size").fontPointSize(), 20.0);
    QCOMPARE(formatOf(doc, "Red").foreground().color(), QColor(255, 0, 0));
    QVERIFY(!formatOf(doc, "Rest").hasProperty(QTextFormat::ForegroundBrush));
    QCOMPARE(formatOf(doc, "Mono").fontFamilies().toStringList(), QStringList{"Courier New"});
    QVERIFY(formatOf(doc, "Gone").fontStrikeOut());
    QCOMPARE(formatOf(doc, "Marked").background().color(), QColor(0, 0, 255));
    QCOMPARE(formatOf(doc, "Plain").fontWeight(), int(QFont::Normal));
    QCOMPARE(doc.firstBlock().blockFormat().alignment(), Qt::AlignHCenter);
    const QTextBlockFormat indented = doc.firstBlock().next().blockFormat();
    QCOMPARE(indented.alignment(), Qt::AlignLeft);
    QCOMPARE(indented.leftMargin(), 36.0);
    QCOMPARE(indented.bottomMargin(), 12.0);
  }

  void groupsRestoreFormatting() {
    QTextDocument doc;
    RichTextReader::read("{\\rtf1 a{\\b b{\\i c}d}e}", &doc);
    QCOMPARE(doc.toPlainText(), QStringLiteral("abcde"));
    QCOMPARE(formatOf(doc, "a").fontWeight(), int(QFont::Normal));
    QVERIFY(formatOf(doc, "c").fontItalic() && formatOf(doc, "c").fontWeight() == QFont::Bold);
    QVERIFY(!formatOf(doc, "d").fontItalic() && formatOf(doc, "d").fontWeight() == QFont::Bold);
    QCOMPARE(formatOf(doc, "e").fontWeight(), int(QFont::Normal));
  }

  void deepNesting_data() {
    QTest::addColumn<int>("depth");
    QTest::addColumn<bool>("closed");
    QTest::addColumn<QString>("text");
    QTest::newRow("thousands, all shown") << 3000 << true << "deep after";
    QTest::newRow("beyond the limit, dropped") << 200000 << true << " after";
    QTest::newRow("beyond the limit, never closed") << 1000000 << false << "";
  }
  void deepNesting() {
    QFETCH(int, depth);
    QFETCH(bool, closed);
    QByteArray rtf = "{\\rtf1 " + QByteArray(depth, '{') + "\\b deep\\}";
    if (closed)
      rtf += QByteArray(depth, '}') + " after}";
    QElapsedTimer timer;
    timer.start();
    QString text = textOf(rtf);
    QVERIFY2(timer.elapsed() < 10000, "nesting must cost linear time");
    text.remove(u'}');
    QTEST(text, "text");
  }

  void decodePlainText_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("UTF-8 with mark") << QByteArray("\xEF\xBB\xBF"
                                                   "caf\xC3\xA9")
                                     << QString::fromUtf8("café");
    QTest::newRow("UTF-16 LE") << QByteArray("\xFF\xFE"
                                             "a\0\xAC\x20",
                                             6)
                               << QString::fromUtf8("a€");
    QTest::newRow("UTF-16 BE") << QByteArray("\xFE\xFF\0a\x20\xAC", 6) << QString::fromUtf8("a€");
    QTest::newRow("UTF-16 odd length") << QByteArray("\xFF\xFE"
                                                     "a\0b",
                                                     5)
                                       << QString::fromUtf8("a\uFFFD");
    QTest::newRow("no mark, ASCII") << QByteArray("plain\r\ntext") << "plain\r\ntext";
    QTest::newRow("no mark, Latin-1") << QByteArray("caf\xE9") << QString::fromUtf8("café");
    QTest::newRow("empty") << QByteArray() << "";
  }
  void decodePlainText() {
    QFETCH(QByteArray, bytes);
    QTEST(TextFileLoader::decodePlainText(bytes), "text");
  }

  void loadChoosesByContent() {
    QTextDocument doc;
    TextFileLoader::load("{\\rtf1 {\\b shown}}", &doc);
    QCOMPARE(doc.toPlainText(), QStringLiteral("shown"));
    TextFileLoader::load("{\\rt not rich text", &doc);
    QCOMPARE(doc.toPlainText(), QStringLiteral("{\\rt not rich text"));
  }

  // The read-me we ship reads cleanly: no control words or braces leak into the text.
  void shippedReadMe() {
    QFile file(qEnvironmentVariable("TAMBERLIN_SOURCE_DIR") + QStringLiteral("/data/readme.rtf"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QVERIFY(RichTextReader::isRichText(bytes));
    const QString text = textOf(bytes);
    QVERIFY(!text.contains(u'\\'));
    QVERIFY(!text.contains(u'{') && !text.contains(u'}'));
    for (const char *needle :
         {"dialout", "~/.config/Quarnel/ports/", "/F", "exit code 1", "Device not found"})
      QVERIFY2(text.contains(QString::fromUtf8(needle)), needle);
  }
};

QTEST_MAIN(TestRichText)
#include "test_richtext.moc"
