#include "common/WindowMessages.h"
#include "ui/ScriptProgressWindow.h"
#include "ui/SearchWindow.h"

#include "tests/support/FixedMonitors.h"

#include <QProgressBar>
#include <QTest>

namespace {
class Caller : public QObject {
public:
  int hidden = 0;
  bool event(QEvent *e) override {
    if (e->type() == WindowMessageEvent::eventType()) {
      auto *m = static_cast<WindowMessageEvent *>(e);
      if (m->msg == WM_PROGRESS_HIDDEN && m->wParam == 0 && m->lParam == 0)
        ++hidden;
      return true;
    }
    return QObject::event(e);
  }
};
} // namespace

class TestProgressWindows : public QObject {
  Q_OBJECT
private slots:
  void everyHidePostsOneNotification() {
    Caller caller;
    TScriptProgState window;
    QCOMPARE(window.windowTitle(), QStringLiteral("Script program state"));
    QVERIFY(window.ProgressBar1->isHidden());
    window.callerhandle = handleOf(&caller);

    window.hide(); // already hidden
    QCoreApplication::sendPostedEvents();
    QCOMPARE(caller.hidden, 0);

    for (int round = 1; round <= 2; ++round) {
      window.show();
      window.hide();
      QCOMPARE(caller.hidden, round - 1); // posted, not sent
      QCoreApplication::sendPostedEvents();
      QCOMPARE(caller.hidden, round);
    }
    window.hide();
    QCoreApplication::sendPostedEvents();
    QCOMPARE(caller.hidden, 2);
  }

  void marqueeKeepsTheMaximum() {
    TScriptProgState window;
    window.ProgressBar1->setMaximum(99);
    window.setProgressMarquee(true);
    QCOMPARE(window.ProgressBar1->maximum(), 0);
    window.setProgressMarquee(false);
    QCOMPARE(window.ProgressBar1->maximum(), 99);
  }

  void transferLine_data() {
    QTest::addColumn<qint64>("done");
    QTest::addColumn<qint64>("total");
    QTest::addColumn<quint64>("elapsedMs");
    QTest::addColumn<QString>("text");
    QTest::newRow("start") << qint64(0) << qint64(16384) << quint64(0) << "0 of 16384 bytes (0 %)";
    QTest::newRow("too early for a rate")
        << qint64(500) << qint64(16384) << quint64(900) << "500 of 16384 bytes (3 %)";
    QTest::newRow("time left at the rate so far")
        << qint64(4096) << qint64(16384) << quint64(8533) << "4096 of 16384 bytes (25 %), 0:26 left";
    QTest::newRow("minutes") << qint64(1000) << qint64(65536) << quint64(2083)
                             << "1000 of 65536 bytes (1 %), 2:14 left";
    QTest::newRow("done") << qint64(700) << qint64(700) << quint64(1500) << "700 of 700 bytes (100 %)";
    QTest::newRow("empty script") << qint64(0) << qint64(0) << quint64(0) << "0 of 0 bytes (100 %)";
  }
  void transferLine() {
    QFETCH(qint64, done);
    QFETCH(qint64, total);
    QFETCH(quint64, elapsedMs);
    QTEST(TScriptProgState::transferText(done, total, elapsedMs), "text");
  }

  void searchWindowIsCentredOnlyAtItsFirstShowing() {
    FixedMonitors monitors({QRect(0, 0, 800, 600)});
    QWidget main;
    main.setGeometry(100, 50, 300, 150);
    TProgress search;
    QCOMPARE(search.windowTitle(), QStringLiteral("Debugger"));
    search.centreOn = &main;
    search.xpos = 500;
    search.ypos = 300;
    search.doPositioning();
    search.show();
    const QRect first = search.frameGeometry();
    QCOMPARE(first.topLeft(), QPoint(100 + (300 - first.width()) / 2, 50 + (150 - first.height()) / 2));
    search.hide();

    search.xpos = 500;
    search.ypos = 300;
    search.doPositioning();
    search.show();
    QCOMPARE(search.frameGeometry().topLeft(), QPoint(500, 300));
    // Partly outside the screen is allowed.
    search.hide();
    search.xpos = 700;
    search.ypos = 580;
    search.doPositioning();
    search.show();
    QCOMPARE(search.frameGeometry().topLeft(), QPoint(700, 580));
  }

  void centringStopsAtTheDesktopEdge() {
    FixedMonitors monitors({QRect(0, 0, 800, 600)});
    QWidget main;
    main.setGeometry(0, 0, 100, 40);
    TProgress search;
    search.centreOn = &main;
    search.show();
    QCOMPARE(search.frameGeometry().topLeft(), QPoint(0, 0));
  }
};

QTEST_MAIN(TestProgressWindows)
#include "test_progresswindows.moc"
