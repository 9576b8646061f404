#include "ui/station/SlotTableModel.h"

#include "platform/Clock.h"
#include "station/Station.h"

#include <QApplication>
#include <QColor>
#include <QStyle>

namespace {
QIcon makeStateIcon(SlotState state) {
  QStyle *style = QApplication::style();
  switch (state) {
  case SlotState::Idle:
    return style->standardIcon(QStyle::SP_MediaStop);
  case SlotState::WaitingForGateway:
    return style->standardIcon(QStyle::SP_MessageBoxQuestion);
  case SlotState::Searching:
    return style->standardIcon(QStyle::SP_FileDialogContentsView);
  case SlotState::Writing:
    return style->standardIcon(QStyle::SP_ArrowRight);
  case SlotState::Restarting:
    return style->standardIcon(QStyle::SP_BrowserReload);
  case SlotState::Written:
    return style->standardIcon(QStyle::SP_DialogApplyButton);
  case SlotState::Failed:
    return style->standardIcon(QStyle::SP_MessageBoxCritical);
  }
  return {};
}
} // namespace

SlotTableModel::SlotTableModel(Station &station, QObject *parent)
    : QAbstractTableModel(parent), m_station(station), m_refresh(new ClockTimer(this)) {
  for (size_t s = 0; s < m_icons.size(); ++s)
    m_icons[s] = makeStateIcon(SlotState(s));
  m_refresh->setSingleShot(true);
  m_refresh->setInterval(RefreshMs);
  connect(m_refresh, &ClockTimer::timeout, this, &SlotTableModel::refresh);
  connect(&station, &Station::slotsChanged, this, [this] {
    m_changedRows.clear();
    beginResetModel();
    endResetModel();
  });
  connect(&station, &Station::slotChanged, this, &SlotTableModel::slotChanged);
  connect(&station, &Station::countersChanged, this, [this] {
    for (int row = 0; row < rowCount(); ++row)
      slotChanged(row);
  });
}

int SlotTableModel::rowCount(const QModelIndex &parent) const {
  return parent.isValid() ? 0 : m_station.slotCount();
}

int SlotTableModel::columnCount(const QModelIndex &parent) const {
  return parent.isValid() ? 0 : ColumnCount;
}

void SlotTableModel::slotChanged(int row) {
  if (row < 0 || row >= rowCount())
    return;
  m_changedRows.insert(row);
  if (!m_refresh->isActive())
    m_refresh->start();
}

void SlotTableModel::refresh() {
  const QSet<int> rows = std::exchange(m_changedRows, {});
  for (int row : rows)
    if (row < rowCount())
      emit dataChanged(index(row, 0), index(row, ColumnCount - 1));
}

QIcon SlotTableModel::stateIcon(SlotState state) const {
  return m_icons.at(size_t(state));
}

namespace {
QString portText(const StationSlot &slot) {
  if (!slot.portName().isEmpty())
    return slot.portName();
  return slot.binding().isAdapter() ? QStringLiteral("absent") : slot.binding().text();
}

QString adapterText(const StationSlot &slot) {
  if (!slot.binding().isAdapter())
    return QStringLiteral("RS-232");
  return slot.adapterText().isEmpty() ? slot.binding().text() : slot.adapterText();
}

// What the slot does, with what it waits for or why it cannot start.
QString stateText(const StationSlot &slot) {
  QString text = slot.stateText();
  if (!slot.request().isEmpty())
    text += QStringLiteral(" - ") + slot.request();
  else if (!slot.running() && !slot.note().isEmpty())
    text += QStringLiteral(" - ") + slot.note();
  else if (slot.waitingForRemoval())
    text += QStringLiteral(" - unplug the adapter to write the next gateway");
  return text;
}

// Short, with the time it ended; the reason stands in the state and in the slot's description.
QString lastResultText(const StationSlot &slot) {
  const auto result = slot.lastResult();
  if (!result)
    return QStringLiteral("none");
  const QString ended = result->startedUtc.addMSecs(qint64(result->seconds * 1000))
                            .toLocalTime()
                            .toString(QStringLiteral("HH:mm:ss"));
  return (result->ok ? QStringLiteral("written at ") : QStringLiteral("failed at ")) + ended;
}
} // namespace

QString SlotTableModel::text(int row, int column) const {
  const StationSlot &slot = m_station.slotAt(row);
  switch (column) {
  case Port:
    return portText(slot);
  case Adapter:
    return adapterText(slot);
  case State:
    return stateText(slot);
  case Progress:
    return QStringLiteral("%1 %").arg(slot.percent());
  case Time:
    return slot.running() || slot.lastResult() ? QStringLiteral("%1 s").arg(slot.secondsTaken(), 0, 'f', 1)
                                               : QString();
  case LastResult:
    return lastResultText(slot);
  case Written:
    return QString::number(slot.counters().written);
  case Failed:
    return QString::number(slot.counters().failed);
  case Total:
    return QString::number(slot.counters().total);
  }
  return {};
}

QString SlotTableModel::description(int row) const {
  const StationSlot &slot = m_station.slotAt(row);
  const auto result = slot.lastResult();
  const QString last = !result ? lastResultText(slot)
                               : lastResultText(slot) +
                                     (result->ok ? QString() : QStringLiteral(" (") + result->message + ')');
  return QStringLiteral("Slot %1: port %2, adapter %3, %4, last result %5, %6 written, %7 failed, %8 in all")
      .arg(row + 1)
      .arg(portText(slot), adapterText(slot), stateText(slot), last)
      .arg(slot.counters().written)
      .arg(slot.counters().failed)
      .arg(slot.counters().total);
}

QVariant SlotTableModel::data(const QModelIndex &index, int role) const {
  if (!index.isValid() || index.row() >= rowCount())
    return {};
  const StationSlot &slot = m_station.slotAt(index.row());
  switch (role) {
  case Qt::DisplayRole:
    return text(index.row(), index.column());
  case Qt::AccessibleTextRole: {
    const QString shown = text(index.row(), index.column());
    return shown.isEmpty() ? QStringLiteral("none yet") : shown;
  }
  case Qt::ToolTipRole:
  case Qt::AccessibleDescriptionRole:
    return description(index.row());
  case Qt::DecorationRole:
    return index.column() == State ? QVariant(stateIcon(slot.state())) : QVariant();
  case PercentRole:
    return slot.percent();
  case Qt::TextAlignmentRole:
    return index.column() >= Written || index.column() == Time
               ? QVariant(int(Qt::AlignRight | Qt::AlignVCenter))
               : QVariant();
  case Qt::BackgroundRole:
    // A tint that only repeats what the words and the icon say.
    if (slot.state() == SlotState::Written)
      return QColor(214, 245, 214);
    if (slot.state() == SlotState::Failed)
      return QColor(250, 218, 218);
    return {};
  case Qt::ForegroundRole: // the tint is light on every palette
    return slot.state() == SlotState::Written || slot.state() == SlotState::Failed
               ? QVariant(QColor(Qt::black))
               : QVariant();
  }
  return {};
}

QVariant SlotTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation == Qt::Vertical)
    return role == Qt::DisplayRole ? QVariant(section + 1) : QVariant();
  if (role != Qt::DisplayRole && role != Qt::AccessibleTextRole)
    return {};
  static const char *const names[ColumnCount] = {"Port",        "Adapter", "State",  "Progress", "Time",
                                                 "Last result", "Written", "Failed", "Total"};
  return section >= 0 && section < ColumnCount ? QString::fromLatin1(names[section]) : QVariant();
}
