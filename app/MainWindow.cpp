#include "app/MainWindow.h"
#include "app/StationLaunch.h"

#include "app/ProgramWindows.h"
#include "app/ProgressPacer.h"
#include "app/WindowPlacement.h"
#include "common/WindowMessages.h"
#include "language/TranslationManager.h"
#include "platform/Log.h"
#include "platform/Monitors.h"
#include "platform/Process.h"
#include "platform/UserSettings.h"
#include "ui/AboutWindow.h"
#include "ui/FontScale.h"
#include "ui/ScriptProgressWindow.h"
#include "ui/StateWindow.h"
#include "ui/StatusBar.h"
#include "ui/settings/SettingsDialog.h"

#include <QApplication>
#include <QCloseEvent>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

const QString TForm1::kRegistryKey = QStringLiteral("\\SOFTWARE\\Quarnel\\Tamberlin");

namespace {

const int kClientWidth = 291;
const int kClientHeight = 116;

// Frame bounds are what a user sees as the window's position and size.
void setFrameBounds(QWidget *window, const QRect &bounds) {
  const QRect frame = window->frameGeometry();
  const QRect inner = window->geometry();
  const QMargins margins(inner.left() - frame.left(), inner.top() - frame.top(),
                         frame.right() - inner.right(), frame.bottom() - inner.bottom());
  window->setGeometry(bounds.marginsRemoved(margins));
}

WindowPlacement::State stateOf(const QWidget *window) {
  if (window->isMinimized())
    return WindowPlacement::Minimized;
  if (window->isMaximized())
    return WindowPlacement::Maximized;
  return WindowPlacement::Normal;
}

void setState(QWidget *window, WindowPlacement::State state) {
  Qt::WindowStates states = window->windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized);
  if (state == WindowPlacement::Minimized)
    states |= Qt::WindowMinimized;
  else if (state == WindowPlacement::Maximized)
    states |= Qt::WindowMaximized;
  window->setWindowState(states);
}

} // namespace

TForm1::TForm1(QWidget *parent) : QMainWindow(parent) {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QStringLiteral("Tamberlin"));
  setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
  m_station = new StationLaunch(this);
  m_progress = new ProgressPacer(
      [this](qint64 done, qint64 total, quint64 elapsedMs) { showProgress(done, total, elapsedMs); }, this);

  File1 = menuBar()->addMenu(QStringLiteral("File"));
  File1->setObjectName(QStringLiteral("File1"));
  LoadFile1 = File1->addAction(QStringLiteral("Open file"), this, &TForm1::LoadFile1Click);
  LoadFile1->setObjectName(QStringLiteral("LoadFile1"));
  Station1 = File1->addAction(QStringLiteral("Station..."), this, &TForm1::Station1Click);
  Station1->setObjectName(QStringLiteral("Station1"));
  N1 = File1->addSeparator();
  N1->setObjectName(QStringLiteral("N1"));
  Exit1 = File1->addAction(QStringLiteral("Exit"), this, &TForm1::Exit1Click);
  Exit1->setObjectName(QStringLiteral("Exit1"));
  Options1 = menuBar()->addAction(QStringLiteral("Settings"), this, &TForm1::Options1Click);
  Options1->setObjectName(QStringLiteral("Options1"));
  Help1 = menuBar()->addMenu(QStringLiteral("Help"));
  Help1->setObjectName(QStringLiteral("Help1"));
  About1 = Help1->addAction(QStringLiteral("About"), this, &TForm1::About1Click);
  About1->setObjectName(QStringLiteral("About1"));

  auto *client = new QWidget(this);
  Button1 = new QPushButton(QStringLiteral("Write Script"), client);
  Button1->setObjectName(QStringLiteral("Button1"));
  Button1->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
  connect(Button1, &QPushButton::clicked, this, &TForm1::Button1Click);
  auto *layout = new QVBoxLayout(client);
  layout->setContentsMargins(20, 20, 20, 20);
  layout->addWidget(Button1);
  setCentralWidget(client);

  StatusBar1 = new TStatusBar(this);
  StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
  StatusBar1->addPanel(FontScale::scaled(50, this), true);
  StatusBar1->addPanel(FontScale::scaled(120, this), false);
  StatusBar1->addPanel(FontScale::scaled(50, this), true);
  StatusBar1->OnDrawPanel = [this](QPainter &p, int panel, const QRect &r) {
    StatusBar1DrawPanel(p, panel, r);
  };
  setStatusBar(StatusBar1);

  OpenDialog.title = QStringLiteral("Open compiled script file ...");
  OpenDialog.filter = QStringLiteral("Quarnel compiled script file|*.qcs|Old Configuration file|*.wcf;*.gwc");
  OpenDialog.defaultExt = QStringLiteral("*.qcs");
  OpenDialog.fileName = QStringLiteral("*.qcs");
  OpenDialog.mustExist = true;

  resize(FontScale::scaled(kClientWidth, this),
         FontScale::scaled(kClientHeight, this) + menuBar()->sizeHint().height());
  move(59, 108);
  FormCreate();
}

void TForm1::FormCreate() {
  language = new LanguageSelect(QStringLiteral("HKEY_CURRENT_USER"), kRegistryKey);
  FirstActivation = true;
  commandLine = QCoreApplication::arguments().mid(1);
  stationAtStart = commandLine.removeAll(QStringLiteral("--station")) > 0;
}

TForm1::~TForm1() {
  FormDestroy();
}

void TForm1::FormDestroy() {
  delete language;
  language = nullptr;
}

bool TForm1::event(QEvent *event) {
  if (WindowMessageEvent *message = asWindowMessage(event)) {
    switch (message->msg) {
    case WM_PROGRESS_HIDDEN:
      onProgressHidden();
      return true;
    case WM_COM_WAIT_STATE:
      onWaitingForCom(message->wParam, message->lParam);
      return true;
    case WM_COM_SETTINGS_CHANGED:
      onComSettingsChanged();
      return true;
    case WM_WRITE_READY:
      onWriteReady(message->wParam);
      return true;
    default:
      return false;
    }
  }
  if (event->type() == QEvent::WindowActivate)
    FormActivate();
  return QMainWindow::event(event);
}

void TForm1::showEvent(QShowEvent *event) {
  QMainWindow::showEvent(event);
  // Without a window manager a window may never be activated; start up once it is shown anyway.
  if (FirstActivation)
    QTimer::singleShot(0, this, &TForm1::FormActivate);
}

void TForm1::LoadFile1Click() {
  const QString path = Dialogs::instance().openFile(this, OpenDialog);
  if (path.isEmpty()) {
    Dateiname.clear();
    return;
  }
  Dateiname = path;
  Button1->setText(QStringLiteral("Download Script - ") + path);
}

void TForm1::About1Click() {
  HelpAbout->show();
  HelpAbout->raise();
  HelpAbout->activateWindow();
}

void TForm1::Station1Click() {
  m_station->open();
}

void TForm1::Exit1Click() {
  if (!m_station->mayExit())
    return;
  Options->Store();
  StoreWindowPlacement();
  Process::instance().exitProcess(0);
}

void TForm1::FormClose() {
  Exit1Click();
}

void TForm1::closeEvent(QCloseEvent *event) {
  if (!m_station->mayExit()) {
    event->ignore();
    return;
  }
  FormClose();
  event->accept();
}

void TForm1::StatusBar1DrawPanel(QPainter &painter, int panel, const QRect &rect) {
  if (panel == 0 && waitingForCom < 0)
    return;
  QColor background = palette().color(QPalette::Light);
  QColor text = Qt::black;
  const QString caption = StatusBar1->panelText(panel);
  if (panel == 0) {
    if (waitingForCom > 0) {
      Button1->setEnabled(false);
      // The port name blinks as the wait counter advances.
      text = waitingForCom % 2 == 0 ? QColor(Qt::black) : QColor(128, 128, 128);
    } else if (!m_writing) {
      // While "Write Script" runs, its button stays disabled whatever is redrawn.
      Button1->setEnabled(true);
    }
  } else if (panel == 2) {
    if (caption.contains(QLatin1String("port connected"), Qt::CaseInsensitive))
      background = QColor(0, 255, 0);
    else if (caption.contains(QLatin1String("NOT found"), Qt::CaseInsensitive))
      background = QColor(255, 0, 0);
  }
  painter.save();
  painter.setClipRect(rect);
  painter.fillRect(rect, background);
  painter.setPen(text);
  painter.drawText(rect, TStatusBar::textFlags(), caption);
  painter.restore();
}

void TForm1::reportSettingsProblem(const QString &problem) {
  if (problem.isEmpty() || m_reportedProblems.contains(problem))
    return;
  m_reportedProblems << problem;
  Log::line(problem);
  Dialogs::instance().messageBox(
      this, {problem, windowTitle(), Dialogs::Icon::Warning, Dialogs::Buttons::Ok, std::nullopt});
}

void TForm1::RestoreWindowPlacement() {
  UserSettings settings;
  if (!settings.createKey(kRegistryKey))
    reportSettingsProblem(settings.lastError());
  restorePlacement(this, QString(), true);
  restorePlacement(ScriptProgState, QStringLiteral("ProgramFile"), false);
}

void TForm1::restorePlacement(QWidget *window, const QString &prefix, bool firstRunWhenMissing) {
  UserSettings settings;
  const QList<QRect> monitors = Monitors::instance().monitors();
  const auto record = settings.value(kRegistryKey, prefix + QStringLiteral("WindowPosSize"));
  reportSettingsProblem(settings.lastError());
  // A record of the wrong type or length is treated like a missing one.
  const auto bounds = record && record->type == RegValue::Type::Binary
                          ? WindowPlacement::decodeBounds(record->data)
                          : std::nullopt;
  if (!bounds) {
    if (firstRunWhenMissing)
      setFrameBounds(window, WindowPlacement::firstRun(window->frameGeometry(), monitors));
    return;
  }
  const auto state = settings.value(kRegistryKey, prefix + QStringLiteral("WindowState"));
  const auto monitor = settings.value(kRegistryKey, prefix + QStringLiteral("DefaultMonitor"));
  const auto restored = WindowPlacement::restore(
      *bounds,
      state && state->type == RegValue::Type::Binary ? WindowPlacement::decodeState(state->data)
                                                     : WindowPlacement::Normal,
      monitor && monitor->type == RegValue::Type::Dword ? monitor->dword : 0, window->frameGeometry(),
      monitors);
  if (restored.state == WindowPlacement::Maximized) {
    setFrameBounds(window, restored.bounds);
    setState(window, restored.state);
  } else {
    setState(window, restored.state);
    setFrameBounds(window, restored.bounds);
  }
}

bool TForm1::storePlacement(QWidget *window, const QString &prefix) {
  UserSettings settings;
  const WindowPlacement::State state = stateOf(window);
  const QRect bounds = window->frameGeometry();
  const bool stored = settings.createKey(kRegistryKey) &&
                      (state != WindowPlacement::Normal ||
                       settings.setValue(kRegistryKey, prefix + QStringLiteral("WindowPosSize"),
                                         RegValue::fromBinary(WindowPlacement::encodeBounds(bounds)))) &&
                      settings.setValue(kRegistryKey, prefix + QStringLiteral("WindowState"),
                                        RegValue::fromBinary(QByteArray(1, char(state)))) &&
                      settings.setValue(kRegistryKey, prefix + QStringLiteral("DefaultMonitor"),
                                        RegValue::fromDword(quint32(Monitors::instance().nearest(bounds))));
  if (!stored) {
    Log::line(settings.lastError());
    Dialogs::instance().messageBox(
        this, {QStringLiteral("Can not store window position and size in registry!"),
               QApplication::applicationName(), Dialogs::Icon::None, Dialogs::Buttons::Ok, std::nullopt});
  }
  return stored;
}

void TForm1::StoreWindowPlacement() {
  storePlacement(this, QString());
}

void TForm1::onProgressHidden() {
  storePlacement(ScriptProgState, QStringLiteral("ProgramFile"));
}
