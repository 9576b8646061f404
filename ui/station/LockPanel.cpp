#include "ui/station/LockPanel.h"

#include "station/Station.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

LockPanel::LockPanel(Station &station, QWidget *parent) : QWidget(parent), m_station(station) {
  m_pin = new QLineEdit(this);
  m_pin->setEchoMode(QLineEdit::Password);
  m_pin->setObjectName(QStringLiteral("pin"));
  m_pin->setAccessibleName(QStringLiteral("PIN"));
  m_pin->setAccessibleDescription(QStringLiteral("The operator lock's PIN, at least 4 characters"));
  auto *label = new QLabel(QStringLiteral("&PIN:"), this);
  label->setBuddy(m_pin);
  m_setPin = button(QStringLiteral("Set P&IN"), QStringLiteral("Keeps the PIN typed, salted and hashed"),
                    &LockPanel::setPin);
  m_lock = button(QStringLiteral("&Lock"), QStringLiteral("Lets an operator only start and stop"),
                  &LockPanel::lock);
  m_unlock = button(QStringLiteral("&Unlock"), QStringLiteral("Opens the lock with the PIN typed"),
                    &LockPanel::unlock);
  m_removePin =
      button(QStringLiteral("Remo&ve PIN"), QStringLiteral("Forgets the PIN; the station cannot be locked"),
             &LockPanel::removePin);
  m_state = new QLabel(this);
  m_state->setObjectName(QStringLiteral("lockState"));
  m_state->setWordWrap(true);
  m_state->setAccessibleName(QStringLiteral("Lock state"));

  auto *row = new QHBoxLayout;
  row->addWidget(label);
  row->addWidget(m_pin, 1);
  for (QPushButton *b : {m_setPin, m_lock, m_unlock, m_removePin})
    row->addWidget(b);
  auto *column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  column->addLayout(row);
  column->addWidget(m_state);
  connect(m_pin, &QLineEdit::returnPressed, this,
          [this] { m_station.lock().locked() ? unlock() : setPin(); });
  connect(&station, &Station::lockChanged, this, &LockPanel::refresh);
  refresh();
  answer({});
}

QPushButton *LockPanel::button(const QString &text, const QString &description, void (LockPanel::*action)()) {
  auto *b = new QPushButton(text, this);
  b->setAccessibleDescription(description);
  b->setToolTip(description);
  connect(b, &QPushButton::clicked, this, action);
  return b;
}

void LockPanel::setPin() {
  answer(m_station.setPin(m_pin->text()));
  m_pin->clear();
}

void LockPanel::lock() {
  answer(m_station.lockStation());
}

void LockPanel::unlock() {
  answer(m_station.unlockStation(m_pin->text()));
  m_pin->clear();
}

void LockPanel::removePin() {
  answer(m_station.clearPin());
}

void LockPanel::answer(const QString &problem) {
  if (!problem.isEmpty()) {
    m_state->setText(problem);
    return;
  }
  const OperatorLock &lock = m_station.lock();
  if (lock.locked())
    m_state->setText(QStringLiteral("Locked: the slots can be started and stopped; the PIN opens the lock."));
  else if (lock.hasPin())
    m_state->setText(QStringLiteral("Open: the PIN is set; Lock leaves the operator only start and stop."));
  else
    m_state->setText(QStringLiteral("Open, no PIN: type a PIN of at least 4 characters and set it to lock."));
}

void LockPanel::refresh() {
  const OperatorLock &lock = m_station.lock();
  m_setPin->setEnabled(!lock.locked());
  m_lock->setEnabled(!lock.locked() && lock.hasPin());
  m_unlock->setEnabled(lock.locked());
  m_removePin->setEnabled(!lock.locked() && lock.hasPin());
}
