#pragma once

#include <QWidget>

class QLabel;
struct StationCounters;

// The station's written / failed / total counts in figures large enough to read from a step away.
class CountersPanel : public QWidget {
  Q_OBJECT
public:
  explicit CountersPanel(QWidget *parent = nullptr);
  void display(const StationCounters &counters);

private:
  QLabel *figure(const QString &name, const QString &description, int column);

  QLabel *m_written;
  QLabel *m_failed;
  QLabel *m_total;
};
