#pragma once

#include <QObject>
#include <QPointer>

#include <memory>

class QWidget;
class Station;
class StationWindow;

// The station window as the main window opens it: one station per run with its setup from the
// settings and the record of every write; the main window's port is lent to it while it is open,
// so that a slot on that port is not refused as held.
class StationLaunch : public QObject {
  Q_OBJECT
public:
  explicit StationLaunch(QWidget *mainWindow);
  ~StationLaunch() override;

  void open();
  // Whether the program may end now: asks first while slots write, and stops them on yes.
  bool mayExit();
  // The operator lock is closed: the settings are not to be changed either.
  bool locked() const;

private:
  void lendPort();
  void takePortBack();

  QWidget *m_mainWindow;
  std::unique_ptr<Station> m_station;
  QPointer<StationWindow> m_window;
  bool m_portLent = false;
};
