#include "ui/station/StationWindow.h"

#include "platform/ComPorts.h"
#include "platform/Dialogs.h"
#include "station/Station.h"
#include "ui/station/CountersPanel.h"
#include "ui/station/LockPanel.h"
#include "ui/station/ProgressDelegate.h"
#include "ui/station/SlotTableModel.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

namespace {
QGroupBox *group(const QString &title, QWidget *parent) {
  auto *box = new QGroupBox(title, parent);
  box->setAccessibleName(QString(title).remove(QLatin1Char('&')));
  return box;
}
} // namespace

StationWindow::StationWindow(Station &station, QWidget *parent)
    : QWidget(parent, Qt::Window), m_station(station), m_model(new SlotTableModel(station, this)) {
  setObjectName(QStringLiteral("StationWindow"));
  setWindowTitle(QStringLiteral("Tamberlin - Station"));
  setAccessibleName(QStringLiteral("Station"));
  setAccessibleDescription(QStringLiteral("Writes one script into the gateways on many ports at once"));
  auto *column = new QVBoxLayout(this);
  column->addWidget(scriptRow());
  column->addWidget(recordRow());
  column->addWidget(slotTable(), 1);
  column->addWidget(slotButtons());
  column->addWidget(countersRow());
  auto *lockBox = group(QStringLiteral("Operator lock"), this);
  m_lock = new LockPanel(station, lockBox);
  (new QVBoxLayout(lockBox))->addWidget(m_lock);
  column->addWidget(lockBox);
  m_notice = new QLabel(this);
  m_notice->setObjectName(QStringLiteral("notice"));
  m_notice->setWordWrap(true);
  m_notice->setAccessibleName(QStringLiteral("Station message"));
  column->addWidget(m_notice);

  connect(&station, &Station::scriptChanged, this, &StationWindow::showScript);
  connect(&station, &Station::countersChanged, this, [this] { m_counters->display(m_station.counters()); });
  connect(&station, &Station::lockChanged, this, &StationWindow::lockChanged);
  connect(&station, &Station::switchChanged, this,
          [this] { m_startOnPlugIn->setChecked(m_station.startOnPlugIn()); });
  connect(&station, &Station::notice, this, &StationWindow::say);
  connect(&station, &Station::slotsChanged, this, &StationWindow::fillPortChoices);
  showScript();
  m_counters->display(station.counters());
  m_startOnPlugIn->setChecked(station.startOnPlugIn());
  fillPortChoices();
  lockChanged();
  fitColumns();
  // Room for a bench of slots, within the screen.
  const QSize wanted(fontMetrics().averageCharWidth() * 190, fontMetrics().height() * 56);
  const QSize room = screen() ? screen()->availableGeometry().size() * 0.9 : wanted;
  resize(sizeHint().expandedTo(wanted.boundedTo(room)));
}

QPushButton *StationWindow::button(const QString &text, const QString &description,
                                   void (StationWindow::*action)()) {
  auto *b = new QPushButton(text, this);
  b->setAccessibleDescription(description);
  b->setToolTip(description);
  connect(b, &QPushButton::clicked, this, action);
  return b;
}

QWidget *StationWindow::scriptRow() {
  auto *box = group(QStringLiteral("Script"), this);
  m_scriptPath = new QLineEdit(box);
  m_scriptPath->setReadOnly(true);
  m_scriptPath->setObjectName(QStringLiteral("scriptPath"));
  m_scriptPath->setAccessibleName(QStringLiteral("Script file"));
  m_scriptPath->setAccessibleDescription(
      QStringLiteral("The script every slot writes, read once when chosen"));
  m_chooseScript = button(QStringLiteral("&Choose script..."),
                          QStringLiteral("Chooses the script the slots write"), &StationWindow::chooseScript);
  m_scriptFacts = new QLabel(box);
  m_scriptFacts->setObjectName(QStringLiteral("scriptFacts"));
  m_scriptFacts->setTextInteractionFlags(Qt::TextSelectableByMouse);
  m_scriptFacts->setAccessibleName(QStringLiteral("Script size and SHA-256"));
  m_scriptChanged = new QLabel(box);
  m_scriptChanged->setObjectName(QStringLiteral("scriptChanged"));
  m_scriptChanged->setWordWrap(true);
  m_scriptChanged->setAccessibleName(QStringLiteral("Script file changed"));
  m_loadAgain = button(QStringLiteral("Load a&gain"), QStringLiteral("Reads the script file again"),
                       &StationWindow::loadScriptAgain);

  auto *layout = new QVBoxLayout(box);
  auto *row = new QHBoxLayout;
  row->addWidget(m_scriptPath, 1);
  row->addWidget(m_chooseScript);
  layout->addLayout(row);
  layout->addWidget(m_scriptFacts);
  auto *changed = new QHBoxLayout;
  changed->addWidget(m_scriptChanged, 1);
  changed->addWidget(m_loadAgain);
  layout->addLayout(changed);
  return box;
}

QWidget *StationWindow::recordRow() {
  auto *row = new QWidget(this);
  auto *layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 0, 0, 0);
  auto *label = new QLabel(QStringLiteral("Record of every write:"), row);
  m_recordPath = new QLabel(row);
  m_recordPath->setObjectName(QStringLiteral("recordPath"));
  m_recordPath->setTextInteractionFlags(Qt::TextSelectableByMouse);
  m_recordPath->setAccessibleName(QStringLiteral("Record file"));
  m_recordPath->setAccessibleDescription(QStringLiteral("Every write appends one line to this CSV file"));
  m_chooseRecord =
      button(QStringLiteral("Change &record..."), QStringLiteral("Chooses the file the record is kept in"),
             &StationWindow::chooseRecord);
  layout->addWidget(label);
  layout->addWidget(m_recordPath, 1);
  layout->addWidget(m_chooseRecord);
  row->setVisible(false);
  row->setObjectName(QStringLiteral("recordRow"));
  return row;
}

QWidget *StationWindow::slotTable() {
  auto *box = group(QStringLiteral("Slots"), this);
  m_table = new QTableView(box);
  m_table->setObjectName(QStringLiteral("slots"));
  m_table->setModel(m_model);
  m_table->setItemDelegateForColumn(SlotTableModel::Progress, new ProgressDelegate(m_table));
  m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
  m_table->setSelectionMode(QAbstractItemView::SingleSelection);
  m_table->setWordWrap(false);
  m_table->setAccessibleName(QStringLiteral("Slots"));
  m_table->setAccessibleDescription(QStringLiteral("One row per port: its adapter, state, progress, time, "
                                                   "last result and counters"));
  // Widths measured when slots come and go, not on every change: measuring every row's text at
  // every percent of every slot would cost more than the writes.
  m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  m_table->horizontalHeader()->setSectionResizeMode(SlotTableModel::State, QHeaderView::Stretch);
  connect(m_model, &QAbstractItemModel::modelReset, m_table, [this] { fitColumns(); });

  m_newSlot = new QComboBox(box);
  m_newSlot->setEditable(true);
  m_newSlot->setInsertPolicy(QComboBox::NoInsert);
  m_newSlot->setObjectName(QStringLiteral("newSlot"));
  m_newSlot->setAccessibleName(QStringLiteral("Port for a new slot"));
  m_newSlot->setAccessibleDescription(QStringLiteral(
      "COMn for a port bound by its number, usb:<serial> for an adapter followed wherever it is plugged in"));
  auto *label = new QLabel(QStringLiteral("&New slot:"), box);
  label->setBuddy(m_newSlot);
  m_addSlot = button(QStringLiteral("A&dd slot"),
                     QStringLiteral("Adds a slot for the port or adapter chosen"), &StationWindow::addSlot);
  m_removeSlot = button(QStringLiteral("Re&move slot"), QStringLiteral("Removes the selected slot"),
                        &StationWindow::removeSlot);
  connect(m_newSlot->lineEdit(), &QLineEdit::returnPressed, this, &StationWindow::addSlot);

  auto *layout = new QVBoxLayout(box);
  layout->addWidget(m_table, 1);
  auto *row = new QHBoxLayout;
  row->addWidget(label);
  row->addWidget(m_newSlot, 1);
  row->addWidget(m_addSlot);
  row->addWidget(m_removeSlot);
  layout->addLayout(row);
  return box;
}

QWidget *StationWindow::slotButtons() {
  auto *row = new QWidget(this);
  auto *layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(button(QStringLiteral("&Start"), QStringLiteral("Starts the selected slot"),
                           &StationWindow::startSlot));
  layout->addWidget(
      button(QStringLiteral("S&top"), QStringLiteral("Stops the selected slot"), &StationWindow::stopSlot));
  QPushButton *all =
      button(QStringLiteral("Start &all (F5)"), QStringLiteral("Starts every slot that is not writing"),
             &StationWindow::startAll);
  all->setObjectName(QStringLiteral("startAll"));
  layout->addWidget(all);
  layout->addWidget(
      button(QStringLiteral("St&op all (F6)"), QStringLiteral("Stops every slot"), &StationWindow::stopAll));
  m_startOnPlugIn = new QCheckBox(QStringLiteral("Start a slot &when its adapter is plugged in"), row);
  m_startOnPlugIn->setObjectName(QStringLiteral("startOnPlugIn"));
  m_startOnPlugIn->setAccessibleDescription(
      QStringLiteral("A slot whose adapter arrives writes by itself, once until the adapter is unplugged"));
  connect(m_startOnPlugIn, &QCheckBox::clicked, this, &StationWindow::switchToggled);
  layout->addWidget(m_startOnPlugIn);
  layout->addStretch(1);
  connect(new QShortcut(QKeySequence(Qt::Key_F5), this), &QShortcut::activated, this,
          &StationWindow::startAll);
  connect(new QShortcut(QKeySequence(Qt::Key_F6), this), &QShortcut::activated, this,
          &StationWindow::stopAll);
  return row;
}

QWidget *StationWindow::countersRow() {
  auto *box = group(QStringLiteral("Counters"), this);
  m_counters = new CountersPanel(box);
  m_reset =
      button(QStringLiteral("R&eset counters..."),
             QStringLiteral("Sets every counter back to zero, after asking"), &StationWindow::resetCounters);
  auto *layout = new QHBoxLayout(box);
  layout->addWidget(m_counters, 1);
  layout->addWidget(m_reset, 0, Qt::AlignBottom);
  return box;
}

void StationWindow::setRecordPlace(RecordPlace place) {
  m_recordPlace = std::move(place);
  findChild<QWidget *>(QStringLiteral("recordRow"))->setVisible(bool(m_recordPlace.current));
  showRecord();
}

void StationWindow::showRecord() {
  if (m_recordPlace.current)
    m_recordPath->setText(QDir::toNativeSeparators(m_recordPlace.current()));
}

void StationWindow::say(const QString &problem) {
  m_notice->setText(problem);
}

void StationWindow::showScript() {
  const StationScript &script = m_station.script();
  m_scriptPath->setText(QDir::toNativeSeparators(script.path()));
  m_scriptFacts->setText(script.loaded()
                             ? QStringLiteral("%1 bytes, SHA-256 %2").arg(script.size()).arg(script.sha256())
                             : QStringLiteral("No script chosen."));
  const bool changed = script.loaded() && m_station.scriptChangedOnDisk();
  m_scriptChanged->setText(changed
                               ? QStringLiteral("The file has changed on disk since it was read. The slots "
                                                "still write what was read; Load again to write the file as "
                                                "it is now.")
                               : QString());
  m_scriptChanged->setVisible(changed);
  m_loadAgain->setVisible(changed);
}

void StationWindow::chooseScript() {
  Dialogs::FileDialog dialog;
  dialog.title = QStringLiteral("Choose the station's script");
  dialog.filter = QStringLiteral("Quarnel compiled script file|*.qcs|All files|*.*");
  dialog.defaultExt = QStringLiteral("qcs");
  dialog.mustExist = true;
  dialog.directory = QFileInfo(m_station.script().path()).absolutePath();
  const QString path = Dialogs::instance().openFile(this, dialog);
  if (!path.isEmpty())
    say(m_station.loadScript(path));
}

void StationWindow::loadScriptAgain() {
  say(m_station.loadScript(m_station.script().path()));
}

void StationWindow::chooseRecord() {
  if (!m_recordPlace.change)
    return;
  Dialogs::FileDialog dialog;
  dialog.title = QStringLiteral("Keep the record of every write in");
  dialog.filter = QStringLiteral("CSV file|*.csv|All files|*.*");
  dialog.defaultExt = QStringLiteral("csv");
  dialog.fileName = m_recordPlace.current ? m_recordPlace.current() : QString();
  const QString path = Dialogs::instance().saveFile(this, dialog);
  if (path.isEmpty())
    return;
  say(m_recordPlace.change(path));
  showRecord();
}

void StationWindow::fillPortChoices() {
  const QString typed = m_newSlot->currentText();
  m_newSlot->clear();
  for (const AdapterPort &adapter : m_station.adapters())
    m_newSlot->addItem(
        QStringLiteral("%1  (%2, now COM%3)").arg(adapter.binding(), adapter.text()).arg(adapter.com),
        adapter.binding());
  for (quint16 n : systemComPorts())
    m_newSlot->addItem(QStringLiteral("COM%1").arg(n), QStringLiteral("COM%1").arg(n));
  m_newSlot->setCurrentText(typed);
}

void StationWindow::addSlot() {
  QString binding = m_newSlot->currentText().trimmed();
  // A chosen entry carries its binding; a typed one is the binding itself.
  const int item = m_newSlot->findText(binding);
  if (item >= 0)
    binding = m_newSlot->itemData(item).toString();
  const QString problem = m_station.addSlot(binding);
  if (problem.isEmpty())
    m_newSlot->clearEditText();
  say(problem);
}

void StationWindow::fitColumns() {
  const QFontMetrics metrics = m_table->fontMetrics();
  const int padding = 3 * metrics.averageCharWidth();
  // At least as wide as the widest text a column will show, so that nothing is cut later.
  const auto fit = [&](int column, const QString &widest) {
    m_table->resizeColumnToContents(column);
    const int header =
        metrics.horizontalAdvance(m_model->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString());
    m_table->setColumnWidth(column,
                            std::max({m_table->columnWidth(column),
                                      metrics.horizontalAdvance(widest) + padding, header + padding}));
  };
  fit(SlotTableModel::Port, QStringLiteral("COM000"));
  fit(SlotTableModel::Adapter, QStringLiteral("RS-232"));
  fit(SlotTableModel::Progress, QStringLiteral("[ 100 % ]"));
  fit(SlotTableModel::Time, QStringLiteral("0000.0 s"));
  fit(SlotTableModel::LastResult, QStringLiteral("written at 00:00:00"));
  for (int column : {SlotTableModel::Written, SlotTableModel::Failed, SlotTableModel::Total})
    fit(column, QStringLiteral("00000"));
}

int StationWindow::selectedSlot() const {
  const QModelIndexList rows = m_table->selectionModel()->selectedRows();
  return rows.isEmpty() ? -1 : rows.first().row();
}

void StationWindow::removeSlot() {
  const int slot = selectedSlot();
  say(slot < 0 ? QStringLiteral("Select the slot to remove first.") : m_station.removeSlot(slot));
}

void StationWindow::startSlot() {
  const int slot = selectedSlot();
  say(slot < 0 ? QStringLiteral("Select the slot to start first.") : m_station.startSlot(slot));
}

void StationWindow::stopSlot() {
  const int slot = selectedSlot();
  if (slot < 0)
    return say(QStringLiteral("Select the slot to stop first."));
  m_station.stopSlot(slot);
  say({});
}

void StationWindow::startAll() {
  say(m_station.startAll());
}

void StationWindow::stopAll() {
  m_station.stopAll();
  say({});
}

void StationWindow::switchToggled(bool on) {
  const QString problem = m_station.setStartOnPlugIn(on);
  m_startOnPlugIn->setChecked(m_station.startOnPlugIn());
  say(problem);
}

void StationWindow::resetCounters() {
  const int answer = Dialogs::instance().messageBox(
      this,
      {QStringLiteral("Set every counter of the station and of its slots back to zero?"),
       QStringLiteral("Reset counters"), Dialogs::Icon::Question, Dialogs::Buttons::YesNo, std::nullopt});
  if (answer == Dialogs::Yes)
    say(m_station.resetCounters());
}

void StationWindow::lockChanged() {
  const bool open = !m_station.lock().locked();
  for (QWidget *w : std::initializer_list<QWidget *>{m_chooseScript, m_loadAgain, m_chooseRecord, m_newSlot,
                                                     m_addSlot, m_removeSlot, m_startOnPlugIn, m_reset})
    w->setEnabled(open);
}

bool StationWindow::mayStopRunning() {
  const QStringList running = m_station.runningSlots();
  if (running.isEmpty())
    return true;
  const int answer = Dialogs::instance().messageBox(
      this,
      {QStringLiteral("Slots are writing now: %1.\n\nStop them and close? The gateways on these slots "
                      "will not have the script, and each is counted and recorded as failed.")
           .arg(running.join(QStringLiteral(", "))),
       QStringLiteral("Close the station"), Dialogs::Icon::Warning, Dialogs::Buttons::YesNo, std::nullopt});
  return answer == Dialogs::Yes;
}

void StationWindow::closeEvent(QCloseEvent *event) {
  if (!mayStopRunning()) {
    event->ignore();
    return;
  }
  m_station.stopAll();
  say(m_station.save());
  event->accept();
  emit closed();
}
