#pragma once

#include <QWidget>

#include <functional>

class CountersPanel;
class LockPanel;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class SlotTableModel;
class Station;

// The station window: the station's script, its slots with their state and progress, the buttons
// that start and stop them, the counters and the lock. Thin: every decision is the station's.
class StationWindow : public QWidget {
  Q_OBJECT
public:
  explicit StationWindow(Station &station, QWidget *parent = nullptr);

  Station &station() const { return m_station; }

  // Where the record of every write is kept, and how to change that place; without them the window
  // shows no record row.
  struct RecordPlace {
    std::function<QString()> current;
    std::function<QString(const QString &path)> change; // empty on success, else the reason
  };
  void setRecordPlace(RecordPlace place);

signals:
  void closed();

protected:
  void closeEvent(QCloseEvent *event) override;

private:
  QWidget *scriptRow();
  QWidget *recordRow();
  QWidget *slotTable();
  QWidget *slotButtons();
  QWidget *countersRow();
  QPushButton *button(const QString &text, const QString &description, void (StationWindow::*action)());

  void chooseScript();
  void loadScriptAgain();
  void chooseRecord();
  void addSlot();
  void removeSlot();
  void startSlot();
  void stopSlot();
  void startAll();
  void stopAll();
  void resetCounters();
  void switchToggled(bool on);

  int selectedSlot() const;
  void fitColumns();
  void say(const QString &problem);
  void showScript();
  void showRecord();
  void fillPortChoices();
  void lockChanged();
  // Asks before stopping slots that are writing; false when the person keeps them running.
  bool mayStopRunning();

  Station &m_station;
  SlotTableModel *m_model;
  QLineEdit *m_scriptPath = nullptr;
  QLabel *m_scriptFacts = nullptr;
  QLabel *m_scriptChanged = nullptr;
  QPushButton *m_chooseScript = nullptr;
  QPushButton *m_loadAgain = nullptr;
  QLabel *m_recordPath = nullptr;
  QPushButton *m_chooseRecord = nullptr;
  QTableView *m_table = nullptr;
  QComboBox *m_newSlot = nullptr;
  QPushButton *m_addSlot = nullptr;
  QPushButton *m_removeSlot = nullptr;
  QCheckBox *m_startOnPlugIn = nullptr;
  CountersPanel *m_counters = nullptr;
  QPushButton *m_reset = nullptr;
  LockPanel *m_lock = nullptr;
  QLabel *m_notice = nullptr;
  RecordPlace m_recordPlace;
};
