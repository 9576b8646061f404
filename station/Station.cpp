#include "station/Station.h"

#include "platform/Clock.h"
#include "platform/UsbMonitor.h"

#include <QDir>

namespace {
constexpr int kScriptCheckMs = 2000;
} // namespace

Station::Station(const QString &settingsKey, QObject *parent)
    : QObject(parent), m_settingsKey(settingsKey), m_usb(UsbMonitor::create(this)),
      m_scriptCheck(new ClockTimer(this)), m_plugInRetry(new ClockTimer(this)) {
  m_scriptCheck->setInterval(kScriptCheckMs);
  m_scriptCheck->setCoarse(true);
  connect(m_scriptCheck, &ClockTimer::timeout, this, &Station::checkScriptOnDisk);
  m_plugInRetry->setSingleShot(true);
  connect(m_plugInRetry, &ClockTimer::timeout, this, &Station::plugInScan);
  connect(m_usb, &UsbMonitor::arrived, this, &Station::usbEvent);
  connect(m_usb, &UsbMonitor::removed, this, &Station::usbEvent);
}

Station::~Station() = default;

QString Station::defaultSettingsKey() {
  return QStringLiteral("\\SOFTWARE\\Quarnel\\Tamberlin\\Station");
}

QString Station::refusedWhileLocked() const {
  return m_lock.locked() ? QStringLiteral("The station is locked: only the PIN opens it for changes.")
                         : QString();
}

// --- the script

QString Station::loadScript(const QString &path) {
  if (QString refused = refusedWhileLocked(); !refused.isEmpty())
    return refused;
  if (!runningSlots().isEmpty())
    return QStringLiteral("Slots are writing: stop them before changing the script.");
  if (QString problem = m_script.load(path); !problem.isEmpty())
    return problem;
  m_scriptChanged = false;
  m_scriptCheck->start();
  emit scriptChanged();
  return save();
}

void Station::checkScriptOnDisk() {
  const bool changed = m_script.changedOnDisk();
  if (changed == m_scriptChanged)
    return;
  m_scriptChanged = changed;
  emit scriptChanged();
}

// --- the slots

void Station::connectSlot(StationSlot *slot) {
  connect(slot, &StationSlot::changed, this, [this, slot] { emit slotChanged(indexOf(slot)); });
  connect(slot, &StationSlot::finished, this,
          [this, slot](const PortResult &result) { slotFinished(slot, result); });
}

int Station::indexOf(const StationSlot *slot) const {
  for (size_t i = 0; i < m_slots.size(); ++i)
    if (m_slots[i].get() == slot)
      return int(i);
  return -1;
}

QString Station::addSlot(const QString &text) {
  if (QString refused = refusedWhileLocked(); !refused.isEmpty())
    return refused;
  QString error;
  const std::optional<SlotBinding> binding = SlotBinding::parse(text, &error);
  if (!binding)
    return error;
  for (const auto &slot : m_slots)
    if (slot->binding() == *binding)
      return QStringLiteral("The station has a slot for %1 already.").arg(binding->text());
  if (binding->isAdapter()) {
    const QList<AdapterPort> same = adaptersWithBinding(AdapterPorts::instance().present(), binding->adapter);
    if (same.size() > 1)
      return twoAdaptersText(binding->adapter, same);
  }
  auto slot = std::make_unique<StationSlot>(*binding, this);
  connectSlot(slot.get());
  m_slots.push_back(std::move(slot));
  // A window learns of the row before it hears of any change in it.
  emit slotsChanged();
  locateSlots();
  showWaiting();
  return save();
}

QString Station::removeSlot(int index) {
  if (QString refused = refusedWhileLocked(); !refused.isEmpty())
    return refused;
  if (index < 0 || index >= slotCount())
    return QStringLiteral("There is no slot %1.").arg(index + 1);
  if (m_slots[size_t(index)]->running())
    return QStringLiteral("Slot %1 is writing: stop it first.").arg(index + 1);
  m_slots.erase(m_slots.begin() + index);
  emit slotsChanged();
  locateSlots();
  return save();
}

QList<AdapterPort> Station::adapters() {
  return AdapterPorts::instance().present();
}

// --- running

QString Station::startProblem() const {
  if (m_slots.empty())
    return QStringLiteral("The station has no slots: add a port or an adapter first.");
  if (!m_script.loaded())
    return QStringLiteral("No script is loaded: choose the script file first.");
  if (m_record.problem)
    if (const QString problem = m_record.problem(); !problem.isEmpty())
      return QStringLiteral("The record of writes cannot be written: %1").arg(problem);
  return {};
}

QString Station::startSlot(int index) {
  if (index < 0 || index >= slotCount())
    return QStringLiteral("There is no slot %1.").arg(index + 1);
  return startChecked(index);
}

QString Station::startAll() {
  if (QString problem = startProblem(); !problem.isEmpty())
    return problem;
  int refused = 0;
  for (int i = 0; i < slotCount(); ++i)
    if (!m_slots[size_t(i)]->running() && !startChecked(i).isEmpty())
      ++refused;
  return refused ? QStringLiteral("%1 of %2 slots could not start: their notes say why.")
                       .arg(refused)
                       .arg(slotCount())
                 : QString();
}

QString Station::startChecked(int index) {
  if (QString problem = startProblem(); !problem.isEmpty())
    return problem;
  StationSlot &slot = *m_slots[size_t(index)];
  if (slot.running())
    return QStringLiteral("Slot %1 is writing already.").arg(index + 1);
  locateSlots();
  if (!slot.note().isEmpty())
    return slot.note();
  checkScriptOnDisk();
  // A gateway that was there when the switch went on, or was just written, waits to be unplugged.
  if (m_startOnPlugIn && slot.binding().isAdapter())
    slot.setWaitingForRemoval(true);
  slot.start(writerSettings(slot));
  return {};
}

PortWriter::Settings Station::writerSettings(const StationSlot &slot) const {
  PortWriter::Settings settings;
  settings.script = m_script.path();
  settings.restartWaitMs = m_restartWaitMs;
  settings.absentText = [](const QString &port) {
    return QStringLiteral("%1 is absent (unplugged?): plug the gateway in and start again.").arg(port);
  };
  settings.image = m_script.bytes();
  settings.adapter = slot.adapterText();
  // A folder that cannot be made leaves the lines in the program's log rather than nowhere.
  if (!m_logFolder.isEmpty() && QDir().mkpath(m_logFolder)) {
    settings.logDir = m_logFolder;
    settings.programLog = false;
  }
  return settings;
}

void Station::stopSlot(int index) {
  if (index >= 0 && index < slotCount())
    m_slots[size_t(index)]->stop();
}

void Station::stopAll() {
  for (const auto &slot : m_slots)
    slot->stop();
}

QStringList Station::runningSlots() const {
  QStringList out;
  for (const auto &slot : m_slots)
    if (slot->running())
      out << (slot->binding().isAdapter() ? slot->binding().text() : slot->portName());
  return out;
}

void Station::slotFinished(StationSlot *slot, const PortResult &result) {
  m_counters.count(result.ok);
  if (m_record.append)
    if (const QString problem = m_record.append(result); !problem.isEmpty())
      emit notice(QStringLiteral("The write on %1 is not in the record: %2").arg(result.port, problem));
  emit countersChanged();
  if (const QString problem = save(); !problem.isEmpty())
    emit notice(problem);
  // The adapter went and came back while the write still ran: this is a new plug-in.
  if (m_startOnPlugIn && slot->binding().isAdapter() && !slot->waitingForRemoval())
    QMetaObject::invokeMethod(this, &Station::plugInScan, Qt::QueuedConnection);
}

// --- counters

QString Station::resetCounters() {
  if (QString refused = refusedWhileLocked(); !refused.isEmpty())
    return refused;
  m_counters = {};
  for (const auto &slot : m_slots)
    slot->setCounters({});
  emit countersChanged();
  return save();
}

// --- the lock

QString Station::setPin(const QString &pin) {
  if (QString problem = m_lock.setPin(pin); !problem.isEmpty())
    return problem;
  emit lockChanged();
  return save();
}

QString Station::clearPin() {
  if (QString problem = m_lock.clearPin(); !problem.isEmpty())
    return problem;
  emit lockChanged();
  return save();
}

QString Station::lockStation() {
  if (QString problem = m_lock.lock(); !problem.isEmpty())
    return problem;
  emit lockChanged();
  return save();
}

QString Station::unlockStation(const QString &pin) {
  const bool wasLocked = m_lock.locked();
  if (QString problem = m_lock.unlock(pin); !problem.isEmpty())
    return problem;
  if (wasLocked)
    emit lockChanged();
  return save();
}
