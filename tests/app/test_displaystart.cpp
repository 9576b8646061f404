// How the window program starts with no display, or with one that is named but gone.
#include "app/DisplayStart.h"

#include <QTest>

using State = DisplayCheck::State;
using Start = DisplayStart::Start;
Q_DECLARE_METATYPE(State)
Q_DECLARE_METATYPE(Start)

class TestDisplayStart : public QObject {
  Q_OBJECT

private slots:
  void decide_data() {
    QTest::addColumn<State>("state");
    QTest::addColumn<QStringList>("parameters");
    QTest::addColumn<Start>("start");
    QTest::addColumn<QStringList>("said"); // parts of the message; none: no message
    const QStringList refused{"the Tamberlin window cannot be shown", "tamberlin-cli write", "/F<script>"};

    QTest::newRow("platform asked for, nothing to write")
        << State::Requested << QStringList{} << Start::AsUsual << QStringList{};
    QTest::newRow("display, nothing to write")
        << State::Available << QStringList{} << Start::AsUsual << QStringList{};
    QTest::newRow("no display, nothing to write")
        << State::None << QStringList{} << Start::Refuse << (QStringList{"No display"} + refused);
    QTest::newRow("no display, only port and level")
        << State::None << QStringList{"/P3", "/L5", "/X"} << Start::Refuse << refused;
    QTest::newRow("no display, /F") << State::None << QStringList{"/P3", "/Fx.qcs"} << Start::Offscreen
                                    << QStringList{"No display", "runs without showing its windows"};
    QTest::newRow("no display, /F without a name")
        << State::None << QStringList{"/F"} << Start::Offscreen << QStringList{"runs without showing"};
    QTest::newRow("no display, bare script")
        << State::None << QStringList{"x.qcs"} << Start::Offscreen << QStringList{"runs without showing"};
    QTest::newRow("display gone, nothing to write")
        << State::Unreachable << QStringList{} << Start::Refuse
        << (QStringList{"Display :99 cannot be opened (no X server answers there)"} + refused);
    QTest::newRow("display gone, /F") << State::Unreachable << QStringList{"/Fx.qcs"} << Start::Offscreen
                                      << QStringList{"Display :99 cannot be opened", "runs without showing"};
  }
  void decide() {
    QFETCH(State, state);
    QFETCH(QStringList, parameters);
    DisplayCheck display{state, {}};
    if (state == State::Unreachable)
      display.problem = QStringLiteral("display :99 cannot be opened (no X server answers there)");
    const DisplayStart::Decision decision = DisplayStart::decide(display, parameters);
    QTEST(decision.start, "start");
    QFETCH(QStringList, said);
    QCOMPARE(decision.message.isEmpty(), said.isEmpty());
    for (const QString &part : said)
      QVERIFY2(decision.message.contains(part), qPrintable(decision.message));
    // Every message ends its line, so that the program's next message starts on its own.
    QVERIFY(decision.message.isEmpty() || decision.message.endsWith(QLatin1Char('\n')));
  }
};

QTEST_GUILESS_MAIN(TestDisplayStart)
#include "test_displaystart.moc"
