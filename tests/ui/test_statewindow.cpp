#include "ui/LineMemo.h"
#include "ui/StateWindow.h"

#include "tests/support/ScriptedDialogs.h"

#include "tests/support/VirtualClock.h"
#include <QFile>
#include <QMenu>
#include <QTemporaryDir>

#include <QTest>

class TestStateWindow : public QObject {
  Q_OBJECT
  ScriptedDialogs *m_dialogs = nullptr;
  TStatusFenster *m_window = nullptr;

  void fill(int count) {
    for (int i = 0; i < count; ++i)
      m_window->logStringOnly(QStringLiteral("line %1").arg(i));
  }

private slots:
  void init() {
    m_dialogs = new ScriptedDialogs;
    m_window = new TStatusFenster;
  }
  void cleanup() {
    delete m_window;
    delete m_dialogs;
  }

  void firstEntryFollowsTheInitialEmptyLine() {
    QCOMPARE(m_window->Memo1->lineCount(), 1);
    m_window->logStringOnly(QStringLiteral("first"));
    QCOMPARE(m_window->Memo1->lines(), (QStringList{QString(), "first"}));
    QCOMPARE(m_window->Memo1->caretLine(), 1);
    QCOMPARE(m_window->Memo1->caretColumn(), 0);
  }

  void clearedLogStartsAtLineOne() {
    fill(3);
    m_window->clearstatewindow1Click();
    QCOMPARE(m_window->Memo1->lineCount(), 0);
    m_window->logStringOnly(QStringLiteral("after clear"));
    QCOMPARE(m_window->Memo1->lines(), QStringList{"after clear"});
  }

  void defaultLimitKeepsTheNewestThousandLines() {
    fill(1000);
    QCOMPARE(m_window->Memo1->lineCount(), 1000);
    QCOMPARE(m_window->Memo1->line(0), QStringLiteral("line 0"));
    m_window->logStringOnly(QStringLiteral("newest"));
    QCOMPARE(m_window->Memo1->lineCount(), 1000);
    QCOMPARE(m_window->Memo1->line(0), QStringLiteral("line 1"));
    QCOMPARE(m_window->Memo1->line(999), QStringLiteral("newest"));
  }

  // Line breaks and other control characters read as their pictures wherever the line shows: in
  // the list, in the view and in a saved file.
  void entriesStayOneLineEach() {
    m_window->clearstatewindow1Click();
    m_window->logStringOnly(QString::fromLatin1("RcvString OK\r\nRestart\0x\x7f", 24) + QChar(0x2028) +
                            QStringLiteral("\tend"));
    const QString shown = QStringLiteral("RcvString OK\u240d\u240aRestart\u2400x\u2421 \tend");
    QCOMPARE(m_window->Memo1->lineCount(), 1);
    QCOMPARE(m_window->Memo1->line(0), shown);
    QCOMPARE(m_window->Memo1->lines(), QStringList{shown});
    m_window->show();
    QCOMPARE(m_window->Memo1->toPlainText(), shown);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("state.log"));
    m_dialogs->answerFile(path);
    m_window->Savetofile1Click();
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), (shown + u'\n').toUtf8());
  }

  void setNumberOfLines_data() {
    QTest::addColumn<QString>("answer");
    QTest::addColumn<bool>("cancel");
    QTest::addColumn<int>("expected");
    QTest::addColumn<bool>("complains");
    QTest::newRow("6 is taken") << "6" << false << 6 << false;
    QTest::newRow("1999 is taken") << "1999" << false << 1999 << false;
    QTest::newRow("5 is ignored") << "5" << false << 300 << false;
    QTest::newRow("2000 is ignored") << "2000" << false << 300 << false;
    QTest::newRow("not a number") << "abc" << false << 300 << true;
    QTest::newRow("empty") << "" << false << 300 << true;
    QTest::newRow("cancel gives the preset 1000") << "" << true << 1000 << false;
  }
  void setNumberOfLines() {
    QFETCH(QString, answer);
    QFETCH(bool, cancel);
    m_window->maxLines = 300;
    if (cancel)
      m_dialogs->cancelInput();
    else
      m_dialogs->answerInput(answer);
    m_window->Setnumberoflines1Click();
    QTEST(m_window->maxLines, "expected");

    const ScriptedDialogs::Shown &input = m_dialogs->shown.at(0);
    QCOMPARE(input.message.caption, QStringLiteral("Set maximum number of lines to display"));
    QCOMPARE(input.message.text, QStringLiteral("No of lines"));
    QCOMPARE(input.preset, QStringLiteral("1000"));
    QFETCH(bool, complains);
    QCOMPARE(m_dialogs->messages().size(), complains ? 1 : 0);
    if (complains) {
      const Dialogs::Message m = m_dialogs->messages().at(0);
      QCOMPARE(m.text, QStringLiteral("Please enter a number"));
      QCOMPARE(m.caption, QStringLiteral("Error setting maximum lines"));
      QCOMPARE(m.icon, Dialogs::Icon::Warning);
    }
  }

  // A lower limit takes effect only through trimming: a longer log keeps its length.
  void loweredLimitKeepsTheLogLength() {
    fill(1000);
    m_dialogs->answerInput(QStringLiteral("100"));
    m_window->Setnumberoflines1Click();
    QCOMPARE(m_window->maxLines, 100);
    QCOMPARE(m_window->Memo1->lineCount(), 1000);
    fill(5);
    QCOMPARE(m_window->Memo1->lineCount(), 1000);
    m_window->clearstatewindow1Click();
    fill(150);
    QCOMPARE(m_window->Memo1->lineCount(), 100);
    QCOMPARE(m_window->Memo1->line(0), QStringLiteral("line 50"));
  }

  // The view follows the lines in batches while it is visible, and lays out nothing while hidden.
  void viewFollowsTheLinesOnlyWhileVisible() {
    VirtualClock clock;
    TStatusFenster window;
    window.maxLines = 6;
    for (int i = 0; i < 4; ++i)
      window.logStringOnly(QStringLiteral("hidden %1").arg(i));
    QCOMPARE(window.Memo1->toPlainText(), QString());
    window.show();
    QCOMPARE(window.Memo1->toPlainText(), window.Memo1->lines().join('\n'));
    for (int i = 0; i < 9; ++i) {
      window.logStringOnly(QStringLiteral("shown %1").arg(i));
      if (i % 4 == 0)
        clock.advance(100);
    }
    QCOMPARE(window.Memo1->lineCount(), 6);
    clock.advance(100);
    QCOMPARE(window.Memo1->toPlainText(), window.Memo1->lines().join('\n'));
    QCOMPARE(window.Memo1->textCursor().blockNumber(), 5);
    window.clearstatewindow1Click();
    window.logStringOnly(QStringLiteral("after clear"));
    clock.advance(100);
    QCOMPARE(window.Memo1->toPlainText(), QStringLiteral("after clear"));
  }

  void closingOnlyHides() {
    m_window->show();
    fill(2);
    QVERIFY(!m_window->close());
    QVERIFY(m_window->isHidden());
    m_window->show();
    QCOMPARE(m_window->Memo1->lineCount(), 3);
  }

  void saveToFile() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("state.log"));
    m_window->clearstatewindow1Click();
    m_window->logStringOnly(QStringLiteral("Setting Port"));
    m_window->logStringOnly(QStringLiteral("Übertragung"));
    m_dialogs->answerFile(path);
    m_window->Savetofile1Click();
    QCOMPARE(m_dialogs->shown.at(0).file.title, QStringLiteral("Save log"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QStringLiteral("Setting Port\nÜbertragung\n").toUtf8());

    // Cancelled: nothing is written.
    file.close();
    QFile::remove(path);
    m_window->Savetofile1Click();
    QVERIFY(!QFile::exists(path));
  }

  void unwritableFileIsReportedAndViewKept() {
    fill(2);
    const QStringList before = m_window->Memo1->lines();
    m_dialogs->answerFile(QStringLiteral("/nonexistent-folder/x/state.log"));
    m_window->Savetofile1Click();
    QCOMPARE(m_dialogs->messages().size(), 1);
    QVERIFY(m_dialogs->messages().at(0).text.startsWith(
        QStringLiteral("Cannot create file \"/nonexistent-folder")));
    QCOMPARE(m_dialogs->messages().at(0).icon, Dialogs::Icon::Error);
    QCOMPARE(m_window->Memo1->lines(), before);
  }

  void contextMenuItemsInOrder() {
    QStringList captions;
    for (QAction *a : m_window->PopupMenu1->actions())
      captions << a->text();
    QCOMPARE(captions, (QStringList{"Clear state window", "Set number of lines", "Save to file"}));
    QCOMPARE(m_window->windowTitle(), QStringLiteral("State Window"));
  }
};

QTEST_MAIN(TestStateWindow)
#include "test_statewindow.moc"
