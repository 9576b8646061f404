#include "common/WindowMessages.h"
#include "windows/ScriptProgressWindow.h"
#include "windows/SearchWindow.h"

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
