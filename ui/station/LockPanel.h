#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;
class Station;

// The operator lock in the station window: set or remove the PIN and lock while open; the PIN to
// open it while locked.
class LockPanel : public QWidget {
  Q_OBJECT
public:
  explicit LockPanel(Station &station, QWidget *parent = nullptr);

private:
  QPushButton *button(const QString &text, const QString &description, void (LockPanel::*action)());
  void setPin();
  void lock();
  void unlock();
  void removePin();
  // Says what the station answered, or the lock's state when it answered nothing.
  void answer(const QString &problem);
  void refresh();

  Station &m_station;
  QLineEdit *m_pin;
  QPushButton *m_setPin;
  QPushButton *m_lock;
  QPushButton *m_unlock;
  QPushButton *m_removePin;
  QLabel *m_state;
};
