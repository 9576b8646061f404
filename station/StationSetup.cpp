// The station's setup in the settings: script path, slots with their counters, the switch, the
// station's counters, the PIN's hash and whether the lock is closed.
#include "station/Station.h"

#include "platform/Clock.h"
#include "platform/UserSettings.h"

namespace {
QString slotName(int i) {
  return QStringLiteral("Slot%1").arg(i + 1);
}
QString countersName(int i) {
  return QStringLiteral("Slot%1Counters").arg(i + 1);
}

QString stringOf(UserSettings &settings, const QString &key, const QString &name) {
  const std::optional<RegValue> value = settings.value(key, name);
  return value && value->type == RegValue::Type::String ? value->string : QString();
}

quint32 dwordOf(UserSettings &settings, const QString &key, const QString &name) {
  const std::optional<RegValue> value = settings.value(key, name);
  return value && value->type == RegValue::Type::Dword ? value->dword : 0;
}
} // namespace

QString Station::save() {
  UserSettings settings;
  const QString &key = m_settingsKey;
  const quint32 before = dwordOf(settings, key, QStringLiteral("SlotCount"));
  bool ok = settings.createKey(key) &&
            settings.setValue(key, QStringLiteral("Script"), RegValue::fromString(m_script.path())) &&
            settings.setValue(key, QStringLiteral("StartOnPlugIn"), RegValue::fromDword(m_startOnPlugIn)) &&
            settings.setValue(key, QStringLiteral("Counters"), RegValue::fromString(m_counters.text())) &&
            settings.setValue(key, QStringLiteral("Pin"), RegValue::fromString(m_lock.stored())) &&
            settings.setValue(key, QStringLiteral("Locked"), RegValue::fromDword(m_lock.locked())) &&
            settings.setValue(key, QStringLiteral("SlotCount"), RegValue::fromDword(quint32(slotCount())));
  for (int i = 0; ok && i < slotCount(); ++i) {
    const StationSlot &slot = *m_slots[size_t(i)];
    ok = settings.setValue(key, slotName(i), RegValue::fromString(slot.binding().text())) &&
         settings.setValue(key, countersName(i), RegValue::fromString(slot.counters().text()));
  }
  for (int i = slotCount(); ok && i < int(before); ++i) {
    settings.deleteValue(key, slotName(i));
    settings.deleteValue(key, countersName(i));
  }
  if (ok)
    return {};
  return QStringLiteral("The station's setup cannot be kept in %1: %2")
      .arg(settings.location(), settings.lastError());
}

QString Station::restore() {
  UserSettings settings;
  const QString &key = m_settingsKey;
  if (!runningSlots().isEmpty())
    return QStringLiteral("Slots are writing: stop them before reading the stored setup.");
  if (!settings.keyExists(key))
    return {};
  QStringList problems;
  m_slots.clear();
  const int count = int(qMin<quint32>(dwordOf(settings, key, QStringLiteral("SlotCount")), 1000));
  for (int i = 0; i < count; ++i) {
    QString error;
    const std::optional<SlotBinding> binding =
        SlotBinding::parse(stringOf(settings, key, slotName(i)), &error);
    if (!binding) {
      problems << QStringLiteral("slot %1: %2").arg(i + 1).arg(error);
      continue;
    }
    auto slot = std::make_unique<StationSlot>(*binding, this);
    slot->setCounters(StationCounters::parse(stringOf(settings, key, countersName(i))));
    connectSlot(slot.get());
    m_slots.push_back(std::move(slot));
  }
  m_counters = StationCounters::parse(stringOf(settings, key, QStringLiteral("Counters")));
  m_startOnPlugIn = dwordOf(settings, key, QStringLiteral("StartOnPlugIn")) != 0;
  if (!m_lock.restore(stringOf(settings, key, QStringLiteral("Pin")),
                      dwordOf(settings, key, QStringLiteral("Locked"))))
    problems << QStringLiteral(
        "the stored PIN is not in a form this program keeps: the lock is open, set the PIN again");
  if (const QString path = stringOf(settings, key, QStringLiteral("Script")); !path.isEmpty()) {
    m_script.clear();
    if (const QString problem = m_script.load(path); !problem.isEmpty())
      problems << problem;
    else
      m_scriptCheck->start();
  }
  m_scriptChanged = false;
  emit slotsChanged();
  // Gateways that are plugged in when the program starts are not written by the switch.
  locateSlots();
  for (const auto &slot : m_slots)
    slot->setWaitingForRemoval(m_startOnPlugIn && slot->binding().isAdapter() && slot->port() != 0);
  showWaiting();
  emit scriptChanged();
  emit countersChanged();
  emit lockChanged();
  emit switchChanged();
  return problems.isEmpty() ? QString()
                            : QStringLiteral("The stored station setup has problems: %1")
                                  .arg(problems.join(QStringLiteral("; ")));
}
