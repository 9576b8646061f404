#pragma once

#include <QAbstractTableModel>
#include <QIcon>
#include <QSet>

#include <array>

class ClockTimer;
class Station;
enum class SlotState;

// The station's slots as a table for a view: one row per slot, its state in words and as an icon,
// its progress and its counters. Reads the station; changes nothing.
class SlotTableModel : public QAbstractTableModel {
  Q_OBJECT
public:
  enum Column { Port, Adapter, State, Progress, Time, LastResult, Written, Failed, Total, ColumnCount };
  // The progress column's percentage (0 to 100), for the delegate that draws the bar.
  static constexpr int PercentRole = Qt::UserRole + 1;

  explicit SlotTableModel(Station &station, QObject *parent = nullptr);

  int rowCount(const QModelIndex &parent = {}) const override;
  int columnCount(const QModelIndex &parent = {}) const override;
  QVariant data(const QModelIndex &index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  // The icon that goes with a state's words, so that state never rests on colour alone.
  QIcon stateIcon(SlotState state) const;
  // How long the rows' changes are gathered before the view hears of them: a view that repaints
  // for every percent of every slot would cost more than the writes themselves.
  static constexpr int RefreshMs = 250;

private:
  QString text(int row, int column) const;
  // The whole slot in one sentence, for a screen reader.
  QString description(int row) const;
  void slotChanged(int index);
  void refresh();

  Station &m_station;
  std::array<QIcon, 7> m_icons; // by SlotState, made once: the style makes each anew
  QSet<int> m_changedRows;
  ClockTimer *m_refresh;
};
