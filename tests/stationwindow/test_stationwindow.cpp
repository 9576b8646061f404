// The station window over a station in virtual time: what a slot shows, what the lock leaves an
// operator, the questions before a close or a reset, names for a screen reader, the keyboard, and
// room for the texts at 150 % scaling.
#include "ui/station/SlotTableModel.h"
#include "ui/station/StationWindow.h"

#include "tests/station/StationFixture.h"
#include "tests/support/ScriptedDialogs.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTableView>
#include <QTest>

class TestStationWindow : public QObject {
  Q_OBJECT
  std::unique_ptr<StationFixture> f;
  std::unique_ptr<ScriptedDialogs> dialogs;
  std::unique_ptr<StationWindow> window;

  Station &station() { return *f->station; }
  QPushButton *button(const QString &text) {
    for (QPushButton *b : window->findChildren<QPushButton *>())
      if (b->text().remove(QLatin1Char('&')).startsWith(text))
        return b;
    qFatal("no button %s", qPrintable(text));
  }
  QAbstractItemModel *model() { return window->findChild<QTableView *>(QStringLiteral("slots"))->model(); }
  QString cell(int row, int column) { return model()->index(row, column).data().toString(); }
  QString label(const char *name) { return window->findChild<QLabel *>(QLatin1String(name))->text(); }

  void chooseScript() {
    dialogs->answerFile(f->script);
    button(QStringLiteral("Choose script"))->click();
  }
  void addSlot(const QString &port) {
    auto *combo = window->findChild<QComboBox *>(QStringLiteral("newSlot"));
    combo->setEditText(port);
    button(QStringLiteral("Add slot"))->click();
  }
  void typePin(const QString &pin) { window->findChild<QLineEdit *>(QStringLiteral("pin"))->setText(pin); }

private slots:
  void init() {
    f = std::make_unique<StationFixture>();
    dialogs = std::make_unique<ScriptedDialogs>();
    window = std::make_unique<StationWindow>(station());
    window->show();
  }
  void cleanup() {
    window.reset();
    dialogs.reset();
    f.reset();
  }

  // Two gateways written from the window's buttons; each row says how it went, in words and with
  // an icon, and the large counters add up.
  void slotsShowTheirWrites() {
    f->gateway(3);
    f->gateway(4, "skipDot");
    chooseScript();
    QVERIFY(label("scriptFacts").startsWith(QStringLiteral("1500 bytes, SHA-256 ")));
    addSlot(QStringLiteral("COM3"));
    addSlot(QStringLiteral("COM4"));
    QCOMPARE(model()->rowCount(), 2);
    QVERIFY(window->findChild<QComboBox *>(QStringLiteral("newSlot"))->currentText().isEmpty());
    addSlot(QStringLiteral("COM3"));
    QVERIFY2(!label("notice").isEmpty(), "a slot added twice is refused with a message");
    QCOMPARE(model()->rowCount(), 2);

    button(QStringLiteral("Start all"))->click();
    f->clock.runUntil([&] { return cell(0, SlotTableModel::State).startsWith(QStringLiteral("writing ")); },
                      10000);
    QVERIFY(cell(0, SlotTableModel::State).contains(QStringLiteral(" of 1500 bytes (")));
    QVERIFY(f->runToEnd());

    QCOMPARE(cell(0, SlotTableModel::State), QStringLiteral("written"));
    QVERIFY(cell(0, SlotTableModel::LastResult).startsWith(QStringLiteral("written at ")));
    QVERIFY(cell(1, SlotTableModel::State).startsWith(QStringLiteral("failed: ")));
    QVERIFY(cell(1, SlotTableModel::LastResult).startsWith(QStringLiteral("failed at ")));
    const QIcon written = model()->index(0, SlotTableModel::State).data(Qt::DecorationRole).value<QIcon>();
    const QIcon failed = model()->index(1, SlotTableModel::State).data(Qt::DecorationRole).value<QIcon>();
    QVERIFY(!written.isNull() && !failed.isNull());
    QVERIFY(written.cacheKey() != failed.cacheKey());
    QCOMPARE(cell(0, SlotTableModel::Progress), QStringLiteral("100 %"));
    QCOMPARE(window->findChild<QLabel *>(QStringLiteral("writtenCount"))->text(), QStringLiteral("1"));
    QCOMPARE(window->findChild<QLabel *>(QStringLiteral("failedCount"))->text(), QStringLiteral("1"));
    QCOMPARE(window->findChild<QLabel *>(QStringLiteral("totalCount"))->text(), QStringLiteral("2"));
  }

  // Locked, the window leaves the operator start and stop; only the PIN opens it again, and five
  // wrong ones in a row make the next try wait.
  void lockLeavesStartAndStop() {
    typePin(QStringLiteral("2468"));
    button(QStringLiteral("Set PIN"))->click();
    QVERIFY(window->findChild<QLineEdit *>(QStringLiteral("pin"))->text().isEmpty());
    button(QStringLiteral("Lock"))->click();
    QVERIFY(station().lock().locked());
    for (const char *changes :
         {"Choose script", "Add slot", "Remove slot", "Reset counters", "Set PIN", "Remove PIN"})
      QVERIFY2(!button(QLatin1String(changes))->isEnabled(), changes);
    QVERIFY(!window->findChild<QCheckBox *>(QStringLiteral("startOnPlugIn"))->isEnabled());
    QVERIFY(!window->findChild<QComboBox *>(QStringLiteral("newSlot"))->isEnabled());
    for (const char *runs : {"Start", "Stop", "Start all", "Stop all", "Unlock"})
      QVERIFY2(button(QLatin1String(runs))->isEnabled(), runs);

    for (int i = 0; i < 5; ++i) {
      typePin(QStringLiteral("1111"));
      button(QStringLiteral("Unlock"))->click();
    }
    typePin(QStringLiteral("2468"));
    button(QStringLiteral("Unlock"))->click();
    QVERIFY2(station().lock().locked(), "the right PIN right after five wrong ones must wait");
    QVERIFY2(label("lockState").contains(QStringLiteral("30")), qPrintable(label("lockState")));
    f->clock.advance(30000);
    typePin(QStringLiteral("2468"));
    button(QStringLiteral("Unlock"))->click();
    QVERIFY(!station().lock().locked());
    QVERIFY(button(QStringLiteral("Choose script"))->isEnabled());
  }

  // Closing while a slot writes asks first; "No" keeps it writing, "Yes" stops it, and the stop is
  // counted and recorded as a failed write.
  void closeWhileWritingAsks() {
    f->gateway(3);
    chooseScript();
    addSlot(QStringLiteral("COM3"));
    button(QStringLiteral("Start all"))->click();
    f->clock.advance(300);
    QVERIFY(!station().runningSlots().isEmpty());

    dialogs->answerMessage(Dialogs::No);
    QVERIFY(!window->close());
    QVERIFY(dialogs->messageTexts().last().contains(QStringLiteral("COM3")));
    QVERIFY(!station().runningSlots().isEmpty());

    dialogs->answerMessage(Dialogs::Yes);
    QVERIFY(window->close());
    QVERIFY(station().runningSlots().isEmpty());
    f->clock.processMessages();
    QCOMPARE(f->recorded.size(), 1);
    QVERIFY(!f->recorded.first().ok);
    QCOMPARE(station().counters().failed, 1u);
  }

  void resetAsksFirst() {
    f->gateway(3);
    chooseScript();
    addSlot(QStringLiteral("COM3"));
    button(QStringLiteral("Start all"))->click();
    QVERIFY(f->runToEnd());
    QCOMPARE(station().counters().total, 1u);
    dialogs->answerMessage(Dialogs::No);
    button(QStringLiteral("Reset counters"))->click();
    QCOMPARE(station().counters().total, 1u);
    dialogs->answerMessage(Dialogs::Yes);
    button(QStringLiteral("Reset counters"))->click();
    QCOMPARE(station().counters().total, 0u);
    QCOMPARE(cell(0, SlotTableModel::Total), QStringLiteral("0"));
    QCOMPARE(dialogs->messages().size(), 2);
  }

  // Everything that takes the focus has a name for a screen reader, and so has every cell.
  void namesForScreenReaders() {
    f->gateway(3);
    addSlot(QStringLiteral("COM3"));
    for (QWidget *w : window->findChildren<QWidget *>()) {
      if (w->focusPolicy() == Qt::NoFocus || !w->isVisibleTo(window.get()) ||
          qobject_cast<QLineEdit *>(w->parent()) || qobject_cast<QComboBox *>(w->parent()))
        continue;
      QAccessibleInterface *a = QAccessible::queryAccessibleInterface(w);
      QVERIFY2(a && !a->text(QAccessible::Name).isEmpty(), w->metaObject()->className());
    }
    for (int c = 0; c < model()->columnCount(); ++c) {
      QVERIFY(!model()->index(0, c).data(Qt::AccessibleTextRole).toString().isEmpty());
      QVERIFY(model()
                  ->index(0, c)
                  .data(Qt::AccessibleDescriptionRole)
                  .toString()
                  .contains(QStringLiteral("COM3")));
    }
  }

  // Tab reaches every control, and the keys do what the buttons do.
  void keyboardReachesEverything() {
    QApplication::setActiveWindow(window.get());
    QWidget *first = window->findChild<QPushButton *>();
    first->setFocus();
    QSet<QWidget *> reached;
    for (int i = 0; i < 60; ++i) {
      reached << QApplication::focusWidget();
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    // (The table's corner button, which has no text, is the mouse's way to select all.)
    for (QAbstractButton *b : window->findChildren<QAbstractButton *>())
      if (b->isVisibleTo(window.get()) && b->isEnabled() && !b->text().isEmpty())
        QVERIFY2(reached.contains(b), qPrintable(b->text()));
    QVERIFY(reached.contains(window->findChild<QTableView *>(QStringLiteral("slots"))));

    f->gateway(3);
    chooseScript();
    addSlot(QStringLiteral("COM3"));
    QTest::keyClick(window.get(), Qt::Key_F5);
    QVERIFY(!station().runningSlots().isEmpty());
    QTest::keyClick(window.get(), Qt::Key_F6);
    QVERIFY(station().runningSlots().isEmpty());
  }

  // At 150 % the window still fits a 1920 x 1080 screen, and no button or label is cut.
  void textsFitAt150Percent() {
    QFont font = QApplication::font();
    font.setPointSizeF(font.pointSizeF() * 1.5);
    window->setFont(font);
    f->gateway(3);
    chooseScript();
    addSlot(QStringLiteral("COM3"));
    const QSize least = window->minimumSizeHint();
    QVERIFY2(least.width() <= 1920 && least.height() <= 1040,
             qPrintable(QStringLiteral("%1 x %2").arg(least.width()).arg(least.height())));
    window->resize(least);
    QApplication::processEvents();
    for (QAbstractButton *b : window->findChildren<QAbstractButton *>())
      if (b->isVisibleTo(window.get()))
        QVERIFY2(b->width() >= b->sizeHint().width(), qPrintable(b->text()));
    for (QLabel *l : window->findChildren<QLabel *>())
      if (l->isVisibleTo(window.get()) && !l->wordWrap() && !l->text().isEmpty())
        QVERIFY2(l->width() >= l->sizeHint().width(), qPrintable(l->text()));
  }
};

QTEST_MAIN(TestStationWindow)
#include "test_stationwindow.moc"
