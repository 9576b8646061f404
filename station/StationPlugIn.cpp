// Where each slot's adapter is now, and the slots that start when their adapter is plugged in.
#include "station/Station.h"

#include "platform/Clock.h"

#include <QMap>

namespace {
// The system may list an adapter's COM port a little after the adapter arrives (and drop it a
// little after it goes): a few more looks after each USB event.
constexpr int kLooksAfterEvent = 4;
constexpr int kLookIntervalMs = 500;
} // namespace

QString Station::twoAdaptersText(const QString &binding, const QList<AdapterPort> &same) {
  QStringList ports;
  QStringList paths;
  for (const AdapterPort &p : same) {
    ports << QStringLiteral("COM%1").arg(p.com);
    if (!p.place.isEmpty())
      paths << QStringLiteral("usb:path:") + p.place;
  }
  QString text = QStringLiteral("%1 adapters have the identity %2 (%3); a slot never guesses which one is "
                                "meant: unplug all but one")
                     .arg(same.size())
                     .arg(binding, ports.join(QStringLiteral(", ")));
  if (!paths.isEmpty())
    text +=
        QStringLiteral(", or bind the slots by their USB path (%1)").arg(paths.join(QStringLiteral(", ")));
  return text + QLatin1Char('.');
}

QList<AdapterPort> Station::locateSlots() {
  QString note;
  const QList<AdapterPort> present = AdapterPorts::instance().present(&note);
  // Said once, not at every look.
  if (note != m_adapterNote && !note.isEmpty())
    emit notice(note);
  m_adapterNote = note;
  // A running slot keeps its port; the others may not take it.
  QMap<quint16, int> taken;
  for (int i = 0; i < slotCount(); ++i)
    if (m_slots[size_t(i)]->running())
      taken.insert(m_slots[size_t(i)]->port(), i);
  for (int i = 0; i < slotCount(); ++i) {
    StationSlot &slot = *m_slots[size_t(i)];
    if (slot.running())
      continue;
    quint16 port = slot.binding().com;
    QString text;
    QString why;
    if (slot.binding().isAdapter()) {
      const QList<AdapterPort> same = adaptersWithBinding(present, slot.binding().adapter);
      port = same.size() == 1 ? same.first().com : 0;
      if (same.isEmpty())
        why = QStringLiteral("%1 is not plugged in.").arg(slot.binding().adapter);
      else if (same.size() > 1)
        why = twoAdaptersText(slot.binding().adapter, same);
      else
        text = same.first().text();
    } else if (const std::optional<AdapterPort> adapter = adapterOnPort(present, port)) {
      text = adapter->text();
    }
    if (port && taken.contains(port))
      why = QStringLiteral("COM%1 is the port of slot %2 too: one port, one slot.")
                .arg(port)
                .arg(taken[port] + 1);
    else if (port)
      taken.insert(port, i);
    slot.setWhere(port, text, why);
  }
  return present;
}

void Station::showWaiting() {
  for (const auto &slot : m_slots) {
    if (slot->running())
      continue;
    const bool armed = m_startOnPlugIn && slot->binding().isAdapter() && !slot->waitingForRemoval();
    if (armed && slot->port() == 0)
      slot->setState(SlotState::WaitingForGateway);
    else if (slot->state() == SlotState::WaitingForGateway)
      slot->setState(SlotState::Idle);
  }
}

QString Station::setStartOnPlugIn(bool on) {
  if (QString refused = refusedWhileLocked(); !refused.isEmpty())
    return refused;
  m_startOnPlugIn = on;
  locateSlots();
  // Gateways plugged in before the switch went on are not written by it: only an arrival starts.
  for (const auto &slot : m_slots)
    slot->setWaitingForRemoval(on && slot->binding().isAdapter() && (slot->port() != 0 || slot->running()));
  showWaiting();
  emit switchChanged();
  return save();
}

void Station::usbEvent() {
  m_plugInLooks = 0;
  plugInScan();
}

void Station::plugInScan() {
  const QList<AdapterPort> present = locateSlots();
  for (int i = 0; i < slotCount(); ++i) {
    StationSlot &slot = *m_slots[size_t(i)];
    if (!slot.binding().isAdapter())
      continue;
    // Gone, even in the middle of a write: the next arrival is a new gateway.
    if (adaptersWithBinding(present, slot.binding().adapter).isEmpty())
      slot.setWaitingForRemoval(false);
    if (slot.running() || !m_startOnPlugIn || slot.waitingForRemoval() || slot.port() == 0 ||
        !slot.note().isEmpty())
      continue;
    // Said once per event, not at every look after it.
    if (const QString problem = startChecked(i); !problem.isEmpty() && m_plugInLooks == 0)
      emit notice(
          QStringLiteral("%1 was plugged in but cannot start: %2").arg(slot.binding().text(), problem));
  }
  showWaiting();
  if (++m_plugInLooks < kLooksAfterEvent)
    m_plugInRetry->start(kLookIntervalMs);
}
