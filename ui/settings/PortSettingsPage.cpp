#include "ui/settings/PortSettingsPage.h"

#include "language/TranslationManager.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"

#include <QComboBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

TCOM::TCOM(QWidget *parent)
    : QWidget(parent, Qt::Window), manager(new PortManager(this)), COM(manager->COM),
      TimerWaitingForCom(manager->TimerWaitingForCom), TimerUsbCheck(manager->TimerUsbCheck),
      doComOpen(manager->doComOpen), OldReceiveProc(manager->search->OldReceiveProc),
      StrWaitBuffer(manager->search->StrWaitBuffer), callerHandle(manager->callerHandle),
      usbNotify(manager->usbNotify), reopenOnWriteError(manager->reopenOnWriteError) {
  setObjectName(QStringLiteral("COM"));
  setWindowTitle(QStringLiteral("COM"));
  buildPortPage();
  connectFront();
}

void TCOM::buildPortPage() {
  kvSerialOptionCaption = new QWidget(this);
  kvSerialOptionCaption->setObjectName(QStringLiteral("kvSerialOptionCaption"));
  kvSerialOptionCaption->setWindowTitle(QStringLiteral("Serial port"));
  kvSerialOptionPortLabel = new QLabel(QStringLiteral("Port"), kvSerialOptionCaption);
  kvSerialOptionPortLabel->setObjectName(QStringLiteral("kvSerialOptionPortLabel"));
  PortNumber = new QComboBox(kvSerialOptionCaption);
  PortNumber->setObjectName(QStringLiteral("PortNumber"));
  PortNumber->setEditable(true);
  PortNumber->setMinimumWidth(160);
  ButtonFindDeviceOnPort = new QToolButton(kvSerialOptionCaption);
  ButtonFindDeviceOnPort->setObjectName(QStringLiteral("ButtonFindDeviceOnPort"));
  ButtonFindDeviceOnPort->setIcon(style()->standardIcon(QStyle::SP_FileDialogContentsView));
  ButtonFindDeviceOnPort->setToolTip(QStringLiteral("Find port where your device ist connected to"));
  connect(ButtonFindDeviceOnPort, &QToolButton::clicked, this, &TCOM::ButtonFindDeviceOnPortClick);

  auto *row = new QHBoxLayout;
  row->addWidget(PortNumber);
  row->addWidget(ButtonFindDeviceOnPort);
  row->addStretch();
  auto *page = new QVBoxLayout(kvSerialOptionCaption);
  page->addWidget(kvSerialOptionPortLabel);
  page->addLayout(row);
  page->addStretch();
  // The page lives in the settings dialog; its list is rebuilt whenever it is shown there.
  kvSerialOptionCaption->installEventFilter(this);
}

void TCOM::connectFront() {
  manager->front.translate = [this](const QString &key) -> std::optional<QString> {
    if (!language)
      return std::nullopt;
    return language->translate(key);
  };
  manager->front.confirm = [this](const QString &text, const QString &caption) {
    return Dialogs::instance().messageBox(this, {text, caption, Dialogs::Icon::None,
                                                 Dialogs::Buttons::OkCancel, std::nullopt}) == Dialogs::Ok;
  };
  manager->front.showChoice = [this](const QString &choice) { showChoice(choice); };
}

void TCOM::showChoice(const QString &choice) {
  PortNumber->setEditText(choice);
  const int item = PortNumber->findText(choice);
  if (item >= 0) {
    PortNumber->setCurrentIndex(item);
    PortNumber->update();
  }
}

bool TCOM::event(QEvent *event) {
  // The manager's messages may still be addressed to its window.
  if (WindowMessageEvent *message = asWindowMessage(event); message && manager->dispatch(message))
    return true;
  return QWidget::event(event);
}

bool TCOM::eventFilter(QObject *watched, QEvent *event) {
  if (watched == kvSerialOptionCaption && event->type() == QEvent::Show)
    kvSerialOptionCaptionShow();
  return QWidget::eventFilter(watched, event);
}

void TCOM::kvSerialOptionCaptionShow() {
  const QString shown = PortNumber->currentText();
  PortNumber->clear();
  PortNumber->setEditText(shown);
  PortNumber->addItem(QStringLiteral("offline"));
  Clock::instance().processMessages();
  for (quint16 n = 1; n <= 64; ++n)
    if (ProbeComPort(n))
      PortNumber->addItem(QStringLiteral("COM%1").arg(n));
  PortNumber->setEditText(shown);
}

void TCOM::ApplySettings() {
  manager->ApplySettings(PortNumber->currentText());
}
