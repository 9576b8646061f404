#include "app/MainWindow.h"
#include "app/ProgramWindows.h"
#include "app/WindowPlacement.h"
#include "platform/SettingsFile.h"
#include "ui/ScriptProgressWindow.h"

#include "tests/support/AppFixture.h"
#include "tests/support/FixedMonitors.h"

#include <QTest>

namespace {
const QByteArray kHeader = "Windows Registry Editor Version 5.00\r\n\r\n"
                           "[HKEY_CURRENT_USER\\SOFTWARE\\Quarnel\\Tamberlin]\r\n";

QByteArray hexValue(const QByteArray &name, const QByteArray &bytes) {
  QByteArray hex = bytes.toHex(',');
  return "\"" + name + "\"=hex:" + hex + "\r\n";
}

QByteArray placement(const QRect &bounds, int state, int monitor, const QByteArray &prefix = {}) {
  return hexValue(prefix + "WindowPosSize", WindowPlacement::encodeBounds(bounds)) +
         hexValue(prefix + "WindowState", QByteArray(1, char(state))) + "\"" + prefix +
         "DefaultMonitor\"=dword:" + QByteArray::number(monitor, 16).rightJustified(8, '0') + "\r\n";
}

const QList<QRect> kTwoMonitors = {QRect(0, 0, 1280, 1024), QRect(1280, 0, 1920, 1080)};
} // namespace

class TestPlacement : public QObject {
  Q_OBJECT
  AppFixture *m_app = nullptr;
  FixedMonitors *m_monitors = nullptr;
  QRect m_designed;
  int m_leftMargin = 0; // frame to client, as the platform draws it

  void startWith(const QByteArray &settings) {
    if (!settings.isNull())
      m_app->writeSettings(settings);
    m_app->start();
    Form1->show();
    m_designed = Form1->frameGeometry();
    m_leftMargin = Form1->geometry().left() - m_designed.left();
    Form1->FormActivate();
  }

private slots:
  void init() {
    m_app = new AppFixture;
    m_monitors = new FixedMonitors(kTwoMonitors);
  }
  void cleanup() {
    delete m_app;
    delete m_monitors;
  }

  void boundsRecord_data() {
    QTest::addColumn<QByteArray>("record");
    QTest::addColumn<QRect>("bounds");
    QTest::newRow("normal") << QByteArray::fromHex("3b0000006c0000007e010000e0000000")
                            << QRect(59, 108, 323, 116);
    QTest::newRow("negative") << QByteArray::fromHex("f8fffffff8ffffff0800000008000000")
                              << QRect(-8, -8, 16, 16);
  }
  void boundsRecord() {
    QFETCH(QByteArray, record);
    QFETCH(QRect, bounds);
    QCOMPARE(WindowPlacement::decodeBounds(record), std::optional<QRect>(bounds));
    QCOMPARE(WindowPlacement::encodeBounds(bounds), record);
    QCOMPARE(WindowPlacement::decodeBounds(record.left(3)), std::nullopt);
    QCOMPARE(WindowPlacement::decodeState(QByteArray(1, 2)), WindowPlacement::Maximized);
    QCOMPARE(WindowPlacement::decodeState(QByteArray(1, 9)), WindowPlacement::Normal);
    QCOMPARE(WindowPlacement::decodeState(QByteArray(2, 1)), WindowPlacement::Normal);
  }

  void firstRunPutsTheLowerRightCornerAtHalfOfMonitorZero() {
    startWith(QByteArray());
    const QRect r = Form1->frameGeometry();
    QCOMPARE(r.size(), m_designed.size());
    QCOMPARE(QPoint(r.left() + r.width(), r.top() + r.height()), QPoint(640, 512));
    QVERIFY(m_app->readSettings().contains("[HKEY_CURRENT_USER\\SOFTWARE\\Quarnel\\Tamberlin]"));
    QVERIFY(m_app->dialogs.shown.isEmpty());
  }

  void storedBoundsOnTheDesktopAreApplied() {
    startWith(kHeader + placement(QRect(1500, 200, 400, 180), 0, 1));
    QCOMPARE(Form1->frameGeometry(), QRect(1500, 200, 400, 180));
    QCOMPARE(Form1->windowState() & (Qt::WindowMaximized | Qt::WindowMinimized), Qt::WindowNoState);
  }

  void boundsOffAllMonitorsAreIgnored() {
    startWith(kHeader + placement(QRect(5000, 3000, 400, 180), 0, 1));
    QCOMPARE(Form1->frameGeometry(), m_designed);
  }

  void maximizedOnAVanishedMonitorUsesMonitorZero_data() {
    QTest::addColumn<int>("monitor");
    QTest::addColumn<int>("left");
    QTest::newRow("second monitor") << 1 << 1280 - 8;
    QTest::newRow("vanished monitor") << 5 << -8;
  }
  void maximizedOnAVanishedMonitorUsesMonitorZero() {
    QFETCH(int, monitor);
    startWith(kHeader + placement(QRect(100, 100, 400, 180), 2, monitor));
    QVERIFY(Form1->isMaximized());
    QTEST(Form1->normalGeometry().left() - m_leftMargin, "left");
  }

  void minimizedIsRestoredMinimized() {
    startWith(kHeader + placement(QRect(100, 100, 400, 180), 1, 0));
    QVERIFY(Form1->isMinimized());
  }

  void closingWhileMaximizedKeepsTheLastNormalBounds() {
    startWith(kHeader + placement(QRect(100, 100, 400, 180), 0, 0));
    Form1->showMaximized();
    Form1->StoreWindowPlacement();
    SettingsFile file(m_app->settingsPath());
    QCOMPARE(file.value(TForm1::kRegistryKey, "WindowPosSize")->data,
             WindowPlacement::encodeBounds(QRect(100, 100, 400, 180)));
    QCOMPARE(file.value(TForm1::kRegistryKey, "WindowState")->data, QByteArray(1, 2));
  }

  void storedPlacementNamesTheNearestMonitor() {
    startWith(kHeader + placement(QRect(1400, 300, 400, 180), 0, 0));
    Form1->StoreWindowPlacement();
    SettingsFile file(m_app->settingsPath());
    QCOMPARE(file.value(TForm1::kRegistryKey, "DefaultMonitor")->dword, 1u);
    QCOMPARE(file.value(TForm1::kRegistryKey, "WindowPosSize")->data,
             WindowPlacement::encodeBounds(QRect(1400, 300, 400, 180)));
  }

  void stateWindowPlacementFollowsItsHiding() {
    startWith(kHeader + placement(QRect(200, 150, 432, 123), 0, 0, "ProgramFile"));
    QCOMPARE(ScriptProgState->frameGeometry(), QRect(200, 150, 432, 123));
    ScriptProgState->show();
    ScriptProgState->move(300, 400);
    const QRect shown = ScriptProgState->frameGeometry();
    QCOMPARE(shown.topLeft(), QPoint(300, 400));
    ScriptProgState->hide();
    m_app->clock.processMessages();
    SettingsFile file(m_app->settingsPath());
    QCOMPARE(file.value(TForm1::kRegistryKey, "ProgramFileWindowPosSize")->data,
             WindowPlacement::encodeBounds(shown));
    QCOMPARE(file.value(TForm1::kRegistryKey, "ProgramFileWindowState")->data, QByteArray(1, 0));
    QVERIFY(file.value(TForm1::kRegistryKey, "ProgramFileDefaultMonitor").has_value());
  }

  // Bad settings: the program starts with its defaults, says what is wrong where it can and
  // never damages the file.
  void badSettings_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("corrupt");
    QTest::newRow("empty file") << QByteArray("") << false;
    QTest::newRow("not the format") << QByteArray("[Tamberlin]\nWindowPosSize=1,2,3\n") << true;
    QTest::newRow("truncated") << kHeader + "\"WindowPosSize\"=hex:3b,00,00,00,6c,00,\\\r\n\"WindowSt"
                               << true;
    QTest::newRow("binary garbage") << QByteArray("\xff\x00\x13\x37\x00\x80", 6) << true;
    QTest::newRow("bounds as dword") << kHeader + "\"WindowPosSize\"=dword:00000010\r\n" << false;
    QTest::newRow("3-byte bounds") << kHeader + "\"WindowPosSize\"=hex:3b,00,00\r\n" << false;
    QTest::newRow("bounds as text") << kHeader + "\"WindowPosSize\"=\"59,108\"\r\n" << false;
  }
  void badSettings() {
    QFETCH(QByteArray, content);
    QFETCH(bool, corrupt);
    startWith(content);
    const QRect r = Form1->frameGeometry();
    QCOMPARE(QPoint(r.left() + r.width(), r.top() + r.height()), QPoint(640, 512));
    // A corrupt file is explained once; the settings store adds its own message.
    QCOMPARE(m_app->dialogs.messages().isEmpty(), !corrupt);
    if (corrupt) {
      QVERIFY(m_app->dialogs.messages().at(0).text.contains(m_app->settingsPath()));
      // No language file lies beside the test, so the message is its key.
      QCOMPARE(m_app->dialogs.messages().at(1).text, QStringLiteral("messageRegistryAccessError"));
      Form1->Exit1Click();
      QCOMPARE(m_app->readSettings(), content);
      QCOMPARE(m_app->dialogs.messages().last().text,
               QStringLiteral("Can not store window position and size in registry!"));
    } else {
      Form1->Exit1Click();
      QCOMPARE(m_app->dialogs.messages().size(), 0);
      SettingsFile file(m_app->settingsPath());
      QCOMPARE(file.value(TForm1::kRegistryKey, "WindowPosSize")->data.size(), 16);
    }
    QCOMPARE(m_app->process.exitCodes, QList<int>{0});
  }

  void unwritableSettingsFolder() {
    // Root ignores permission bits; a regular file in the path makes the folder impossible.
    const QString blocker = m_app->configHome() + QStringLiteral("/blocked");
    QFile f(blocker);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.close();
    qputenv("XDG_CONFIG_HOME", blocker.toUtf8());
    startWith(QByteArray());
    const QRect r = Form1->frameGeometry();
    QCOMPARE(QPoint(r.left() + r.width(), r.top() + r.height()), QPoint(640, 512));
    QVERIFY(m_app->dialogs.messages().at(0).text.contains(blocker));
    Form1->Exit1Click();
    QCOMPARE(m_app->dialogs.messages().last().text,
             QStringLiteral("Can not store window position and size in registry!"));
    QCOMPARE(m_app->process.exitCodes, QList<int>{0});
  }
};

QTEST_MAIN(TestPlacement)
#include "test_placement.moc"
