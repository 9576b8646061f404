// The station's setup: the operator lock, the counters until reset, and the settings that keep
// both with the slots, the switch and the script across a restart of the program.
#include "platform/UserSettings.h"

#include "tests/station/StationFixture.h"

#include <QTest>

class TestStationSetup : public QObject {
  Q_OBJECT
  std::unique_ptr<StationFixture> f;

  Station &station() { return *f->station; }

  // Every value the station keeps, as text.
  QString storedText() const {
    UserSettings settings;
    QString all;
    for (const QString &name : settings.valueNames(f->settingsKey))
      if (const std::optional<RegValue> value = settings.value(f->settingsKey, name))
        all += name + '=' + value->string + QString::number(value->dword) + '\n';
    return all;
  }
  void writeOnce(const QList<int> &indices) {
    for (int i : indices)
      QCOMPARE(station().startSlot(i), QString());
    QVERIFY(f->runToEnd());
  }

private slots:
  void init() { f = std::make_unique<StationFixture>(); }
  void cleanup() { f.reset(); }

  // PBKDF2-HMAC-SHA256 against published vectors (RFC 7914 section 11, and the usual c = 4096 one).
  void pbkdf2Vectors_data() {
    QTest::addColumn<QByteArray>("password");
    QTest::addColumn<QByteArray>("salt");
    QTest::addColumn<int>("iterations");
    QTest::addColumn<QByteArray>("key");
    QTest::newRow("passwd, 1") << QByteArray("passwd") << QByteArray("salt") << 1
                               << QByteArray(
                                      "55ac046e56e3089fec1691c22544b605f94185216dde0465e68b9d57c20dacbc");
    QTest::newRow("password, 4096")
        << QByteArray("password") << QByteArray("salt") << 4096
        << QByteArray("c5e478d59288c841aa530db6845c4c8d962893a001ce4e11a4963873aa98134a");
  }
  void pbkdf2Vectors() {
    QFETCH(QByteArray, password);
    QFETCH(QByteArray, salt);
    QFETCH(int, iterations);
    QFETCH(QByteArray, key);
    QCOMPARE(OperatorLock::pbkdf2Sha256(password, salt, iterations).toHex(), key);
  }

  // Locked, the operator starts and stops but changes nothing; the PIN opens the lock.
  void lockedRefusesChangesAllowsStartAndStop() {
    f->gateway(3);
    QVERIFY(station().loadScript(f->script).isEmpty());
    QCOMPARE(station().addSlot("COM3"), QString());
    QCOMPARE(station().lockStation(), QStringLiteral("Set a PIN before locking the station."));
    QCOMPARE(station().setPin("12"), QStringLiteral("A PIN needs at least 4 characters."));
    QCOMPARE(station().setPin("4711"), QString());
    QCOMPARE(station().lockStation(), QString());
    QVERIFY(station().lock().locked());

    const QString refused = QStringLiteral("The station is locked: only the PIN opens it for changes.");
    QCOMPARE(station().loadScript(f->script), refused);
    QCOMPARE(station().addSlot("COM4"), refused);
    QCOMPARE(station().removeSlot(0), refused);
    QCOMPARE(station().setStartOnPlugIn(true), refused);
    QCOMPARE(station().resetCounters(), refused);
    QVERIFY(!station().setPin("9999").isEmpty());
    QVERIFY(!station().clearPin().isEmpty());
    QCOMPARE(station().slotCount(), 1);
    QVERIFY(!station().startOnPlugIn());

    QCOMPARE(station().startSlot(0), QString());
    QVERIFY(f->clock.runUntil([&] { return station().slotAt(0).done() > 100; }, 60000));
    station().stopSlot(0);
    QCOMPARE(station().slotAt(0).state(), SlotState::Failed);

    QCOMPARE(station().unlockStation("4711"), QString());
    QVERIFY(!station().lock().locked());
    QCOMPARE(station().addSlot("COM4"), QString());
  }

  // Five wrong PINs in a row: the next try waits 30 s, measured on the program's clock, and every
  // wrong PIN after that waits again; the right PIN resets the count.
  void wrongPinsWait() {
    QCOMPARE(station().setPin("4711"), QString());
    QCOMPARE(station().lockStation(), QString());
    for (int i = 1; i <= 4; ++i)
      QCOMPARE(station().unlockStation("0000"),
               QStringLiteral("Wrong PIN: %1 more before a 30 s wait.").arg(5 - i));
    QCOMPARE(station().unlockStation("0000"),
             QStringLiteral("Wrong PIN 5 times in a row: wait 30 s before the next try."));
    QCOMPARE(station().unlockStation("4711"),
             QStringLiteral("Too many wrong PINs: wait 30 s before the next try."));
    f->clock.advance(29000);
    QCOMPARE(station().unlockStation("4711"),
             QStringLiteral("Too many wrong PINs: wait 1 s before the next try."));
    QVERIFY(station().lock().locked());
    f->clock.advance(1000);
    QCOMPARE(station().unlockStation("0000"),
             QStringLiteral("Wrong PIN 6 times in a row: wait 30 s before the next try."));
    f->clock.advance(30000);
    QCOMPARE(station().unlockStation("4711"), QString());
    QVERIFY(!station().lock().locked());
    QCOMPARE(station().lock().wrongInARow(), 0);
  }

  // The counters count until reset, the reset keeps no history, and every count survives a
  // restart of the program, with the slots, the switch, the script and the lock.
  void settingsRoundTrip() {
    f->gateway(3);
    f->gateway(4, "skipDot");
    QVERIFY(station().loadScript(f->script).isEmpty());
    QCOMPARE(station().addSlot("COM3"), QString());
    QCOMPARE(station().addSlot("COM4"), QString());
    QCOMPARE(station().addSlot("usb:G7"), QString());
    QCOMPARE(station().addSlot("usb:path:1-2.3"), QString());
    QCOMPARE(station().removeSlot(2), QString());
    QCOMPARE(station().setStartOnPlugIn(true), QString());
    writeOnce({0, 1});
    writeOnce({0, 1});
    QCOMPARE(station().counters(), (StationCounters{2, 2, 4}));
    QCOMPARE(station().setPin("4711"), QString());
    QCOMPARE(station().lockStation(), QString());

    // The PIN is nowhere in the settings, only its salted hash.
    const QString stored = storedText();
    QVERIFY(!stored.contains("4711"));
    QVERIFY(stored.contains("Pin=pbkdf2-sha256$20000$"));

    f->station.reset();
    f->station = f->newStation();
    QCOMPARE(station().restore(), QString());
    QCOMPARE(station().slotCount(), 3);
    QCOMPARE(station().slotAt(0).binding().text(), QStringLiteral("COM3"));
    QCOMPARE(station().slotAt(1).binding().text(), QStringLiteral("COM4"));
    QCOMPARE(station().slotAt(2).binding().text(), QStringLiteral("usb:path:1-2.3"));
    QCOMPARE(station().slotAt(0).counters(), (StationCounters{2, 0, 2}));
    QCOMPARE(station().slotAt(1).counters(), (StationCounters{0, 2, 2}));
    QCOMPARE(station().counters(), (StationCounters{2, 2, 4}));
    QVERIFY(station().startOnPlugIn());
    QCOMPARE(station().script().path(), f->script);
    QCOMPARE(station().script().bytes(), pattern(1500));
    QVERIFY(station().lock().locked());
    QCOMPARE(station().unlockStation("0000").left(10), QStringLiteral("Wrong PIN:"));
    QCOMPARE(station().unlockStation("4711"), QString());

    QCOMPARE(station().resetCounters(), QString());
    QCOMPARE(station().counters(), StationCounters{});
    QCOMPARE(station().slotAt(0).counters(), StationCounters{});
    f->station.reset();
    f->station = f->newStation();
    QCOMPARE(station().restore(), QString());
    QCOMPARE(station().counters(), StationCounters{});
    QCOMPARE(station().slotAt(1).counters(), StationCounters{});
    QVERIFY(!station().lock().locked());
  }

  // A stored setup that cannot be used is said, never guessed at.
  void unusableStoredSetup() {
    UserSettings settings;
    const QString &key = f->settingsKey;
    QVERIFY(settings.createKey(key));
    QVERIFY(settings.setValue(key, "SlotCount", RegValue::fromDword(2)));
    QVERIFY(settings.setValue(key, "Slot1", RegValue::fromString("COM3")));
    QVERIFY(settings.setValue(key, "Slot2", RegValue::fromString("ttyUSB0")));
    QVERIFY(settings.setValue(key, "Counters", RegValue::fromString("5 1 2")));
    QVERIFY(settings.setValue(key, "Pin", RegValue::fromString("4711")));
    QVERIFY(settings.setValue(key, "Locked", RegValue::fromDword(1)));
    QVERIFY(settings.setValue(key, "Script", RegValue::fromString(f->dir.filePath("gone.qcs"))));
    const QString problems = station().restore();
    QVERIFY2(problems.contains("slot 2: \"ttyUSB0\" is not a port"), qPrintable(problems));
    QVERIFY2(problems.contains("the stored PIN is not in a form this program keeps"), qPrintable(problems));
    QVERIFY2(problems.contains("gone.qcs does not exist"), qPrintable(problems));
    QCOMPARE(station().slotCount(), 1);
    QCOMPARE(station().counters(), StationCounters{}); // 5 + 1 is not 2
    QVERIFY(!station().lock().locked());
    QVERIFY(!station().script().loaded());
  }
};

QTEST_GUILESS_MAIN(TestStationSetup)
#include "test_stationsetup.moc"
