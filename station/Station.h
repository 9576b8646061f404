#pragma once

#include "platform/AdapterPorts.h"
#include "station/OperatorLock.h"
#include "station/StationCounters.h"
#include "station/StationScript.h"
#include "station/StationSlot.h"

#include <QObject>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

class ClockTimer;
class UsbMonitor;

// A station: one script written through many slots at once, each slot with its own port, link
// and job; nothing is shared between slots but the script's bytes and the record. Widget-free:
// a window calls these methods and listens to the signals.
//
// Every method that changes something returns why it did not, in words for the operator (empty
// when it did). Changes (script, slots, switch, counters' reset, PIN) are refused while the
// operator lock is closed; starting and stopping are not.
class Station : public QObject {
  Q_OBJECT
public:
  // The record of every write; until a record is installed there is none, and nothing is refused.
  struct Record {
    std::function<QString()> problem; // why it cannot be appended to; empty when it can
    // One line per ended write; why it could not be written, or empty.
    std::function<QString(const PortResult &)> append;
  };

  // settingsKey: where the setup is kept, below HKEY_CURRENT_USER.
  explicit Station(const QString &settingsKey = defaultSettingsKey(), QObject *parent = nullptr);
  ~Station() override;
  static QString defaultSettingsKey(); // \SOFTWARE\Quarnel\Tamberlin\Station

  void setRecord(Record record) { m_record = std::move(record); }
  // How long the search waits after asking for a gateway's restart (default 10 s).
  void setRestartWaitMs(quint32 ms) { m_restartWaitMs = ms; }
  // Where each slot keeps the log of its writes (port-COMn.log), instead of the program's own log;
  // empty (the default): in the program's log.
  void setLogFolder(const QString &folder) { m_logFolder = folder; }

  // --- the script
  QString loadScript(const QString &path);
  const StationScript &script() const { return m_script; }
  // The file on disk is no longer what was loaded (checked every 2 s and at each start).
  bool scriptChangedOnDisk() const { return m_scriptChanged; }

  // --- the slots
  int slotCount() const { return int(m_slots.size()); }
  const StationSlot &slotAt(int index) const { return *m_slots.at(size_t(index)); }
  // "COM3", "3", "usb:<serial>" or "usb:path:<place>"; a binding the station already has is refused.
  QString addSlot(const QString &binding);
  QString removeSlot(int index);
  // The USB adapters present now (binding() and text() for choosing one).
  QList<AdapterPort> adapters();

  // --- start on plug-in
  QString setStartOnPlugIn(bool on);
  bool startOnPlugIn() const { return m_startOnPlugIn; }

  // --- running
  // Why the station cannot start now (no slots, no script, record not writable); empty if it can.
  QString startProblem() const;
  QString startSlot(int index);
  // Starts every slot that is not running; slots that cannot start say why in their note.
  QString startAll();
  void stopSlot(int index);
  void stopAll();
  // The slots that are writing now, by port or binding, for asking before the window closes.
  QStringList runningSlots() const;

  // --- counters
  const StationCounters &counters() const { return m_counters; }
  QString resetCounters();

  // --- the lock
  const OperatorLock &lock() const { return m_lock; }
  QString setPin(const QString &pin);
  QString clearPin();
  QString lockStation();
  QString unlockStation(const QString &pin);

  // --- the settings: script path, slots, switch, counters, PIN hash and lock state. Loading
  // reads the script anew; a stored setup that cannot be used is reported and left in the file.
  QString restore();
  QString save();

signals:
  void scriptChanged(); // loaded, or changed on disk
  void slotsChanged();  // a slot added or removed
  void slotChanged(int index);
  void countersChanged(); // the station's or a slot's
  void lockChanged();
  void switchChanged();
  // A note for the whole station (a record that could not be written, a settings failure).
  void notice(const QString &text);

private:
  QString refusedWhileLocked() const;
  void connectSlot(StationSlot *slot);
  int indexOf(const StationSlot *slot) const;
  // Where each slot's binding is now; duplicates and absences go to the slot's note. The
  // adapters present.
  QList<AdapterPort> locateSlots();
  static QString twoAdaptersText(const QString &binding, const QList<AdapterPort> &same);
  QString startChecked(int index);
  // Slots armed for plug-in whose adapter is absent say so; the others stop saying it.
  void showWaiting();
  void usbEvent();
  void plugInScan();
  void slotFinished(StationSlot *slot, const PortResult &result);
  void checkScriptOnDisk();
  PortWriter::Settings writerSettings(const StationSlot &slot) const;

  QString m_settingsKey;
  Record m_record;
  quint32 m_restartWaitMs = 10000;
  QString m_logFolder;
  StationScript m_script;
  bool m_scriptChanged = false;
  std::vector<std::unique_ptr<StationSlot>> m_slots;
  bool m_startOnPlugIn = false;
  StationCounters m_counters;
  OperatorLock m_lock;
  UsbMonitor *m_usb = nullptr;
  ClockTimer *m_scriptCheck = nullptr;
  ClockTimer *m_plugInRetry = nullptr;
  int m_plugInLooks = 0;
  QString m_adapterNote; // the last word of the adapters' view about itself
};
