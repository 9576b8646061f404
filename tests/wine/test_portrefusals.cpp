// What the port manager makes of the reasons Windows gives for refusing to open a port. Windows'
// error codes share their numbers with Linux's errnos (ERROR_INVALID_DATA is 13, as EACCES is), so
// each is taken through the Windows mapping, never read as the Linux error of the same number.
#include "serialport/windows/Win32Errors.h"

#include "tests/gateway/PortManagerFixture.h"

#include <QTest>

#include <windows.h>

class TestPortRefusals : public QObject {
  Q_OBJECT
  std::unique_ptr<PortManagerFixture> f;

private slots:
  void init() { f = std::make_unique<PortManagerFixture>(); }
  void cleanup() { f.reset(); }

  void refusedOpen_data() {
    QTest::addColumn<quint32>("error");
    QTest::addColumn<States>("states");
    QTest::addColumn<bool>("waiting");
    QTest::newRow("invalid data: the wait goes on")
        << quint32(ERROR_INVALID_DATA) << States{{1, 0}, {2, 0}} << true;
    QTest::newRow("device failure: the wait goes on")
        << quint32(ERROR_GEN_FAILURE) << States{{1, 0}, {2, 0}} << true;
    QTest::newRow("absent: the wait goes on")
        << quint32(ERROR_FILE_NOT_FOUND) << States{{1, 0}, {2, 0}} << true;
    QTest::newRow("access denied: held by another program")
        << quint32(ERROR_ACCESS_DENIED) << States{{2, 50}} << false;
  }
  void refusedOpen() {
    QFETCH(quint32, error);
    f->ports.line(7).refusal = openErrorCode(error);
    MessageSpy owner;
    auto m = f->manager(owner);
    m->ApplySettings(QStringLiteral("COM7"));
    f->clock.advance(1);
    f->ports.line(7).setPresent(false); // the next tick finds no port and blinks
    f->clock.advance(500);

    QTEST(owner.of(WM_COM_WAIT_STATE), "states");
    QTEST(m->TimerWaitingForCom->isActive(), "waiting");
    QVERIFY(!m->COM->Open());
  }
};

QTEST_GUILESS_MAIN(TestPortRefusals)
#include "test_portrefusals.moc"
