#include "app/StationLaunch.h"

#include "app/ProgramWindows.h"
#include "platform/Dialogs.h"
#include "gateway/PortManager.h"
#include "platform/Log.h"
#include "station/Station.h"
#include "station/StationRecord.h"
#include "station/TracePlace.h"
#include "ui/settings/PortSettingsPage.h"
#include "ui/station/StationWindow.h"

#include <QDir>
#include <QFileInfo>

StationLaunch::StationLaunch(QWidget *mainWindow) : QObject(mainWindow), m_mainWindow(mainWindow) {}

StationLaunch::~StationLaunch() {
  delete m_window;
}

void StationLaunch::open() {
  if (!m_station) {
    m_station = std::make_unique<Station>();
    m_station->setRecord(stationRecord(*m_station, QStringLiteral("tamberlin")));
    m_station->setLogFolder(
        QFileInfo(TracePlace::defaultPath()).dir().filePath(QStringLiteral("station-logs")));
    const QString problem = m_station->restore();
    if (!problem.isEmpty())
      Log::line(QStringLiteral("Station: ") + problem);
  }
  if (!m_window) {
    m_window = new StationWindow(*m_station);
    m_window->setAttribute(Qt::WA_DeleteOnClose);
    m_window->setRecordPlace({[] { return TracePlace::current(); }, &TracePlace::store});
    connect(m_window, &StationWindow::closed, this, &StationLaunch::takePortBack);
    lendPort();
  }
  m_window->show();
  m_window->raise();
  m_window->activateWindow();
}

bool StationLaunch::mayExit() {
  if (!m_window)
    return true;
  return m_window->close();
}

bool StationLaunch::locked() const {
  if (m_station)
    return m_station->lock().locked();
  Station stored;
  stored.restore();
  return stored.lock().locked();
}

void StationLaunch::lendPort() {
  if (!COM)
    return;
  // Adapters plugged in for the station's slots are not the main window's to take.
  COM->manager->usbOffersHeld = true;
  if (!COM->COM->Open())
    return;
  Log::line(QStringLiteral("Station open: the port is closed for it"));
  COM->COM->SetOpen(false);
  m_portLent = true;
}

void StationLaunch::takePortBack() {
  if (!COM)
    return;
  COM->manager->usbOffersHeld = false;
  if (!m_portLent)
    return;
  m_portLent = false;
  Log::line(QStringLiteral("Station closed: the port is opened again"));
  COM->COM->SetOpen(true);
}
