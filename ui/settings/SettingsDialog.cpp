#include "ui/settings/SettingsDialog.h"

#include "language/ComponentOwner.h"
#include "language/TranslationManager.h"
#include "ui/settings/OptionsStore.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>

TOptions::TOptions(QWidget *parent) : QDialog(parent) {
  setObjectName(QStringLiteral("Options"));
  setWindowTitle(QStringLiteral("Settings"));
  setFont(QFont(QStringLiteral("Arial"), 8));
  resize(557, 436);
  move(51, 193);

  Panel1 = new QWidget(this);
  Panel1->setObjectName(QStringLiteral("Panel1"));
  OKBtn = new QPushButton(QStringLiteral("&OK"), Panel1);
  OKBtn->setObjectName(QStringLiteral("OKBtn"));
  OKBtn->setGeometry(6, 16, 75, 25);
  OKBtn->setDefault(true);
  CancelBtn = new QPushButton(QStringLiteral("Cancel"), Panel1);
  CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
  CancelBtn->setGeometry(6, 47, 75, 23);

  OptionPages = new QTabWidget(this);
  OptionPages->setObjectName(QStringLiteral("OptionPages"));
  OptionPages->setDocumentMode(true); // flat tabs
  OptionPages->tabBar()->setExpanding(false);

  Panel1->setFixedWidth(90);
  auto *layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(OptionPages, 1);
  layout->addWidget(Panel1);

  connect(OKBtn, &QPushButton::clicked, this, &TOptions::OKBtnClick);
  connect(CancelBtn, &QPushButton::clicked, this, &TOptions::reject);
}

QString TOptions::translated(const QString &key) const {
  return language ? language->translate(key) : key;
}

QList<QWidget *> TOptions::sheets() const {
  QList<QWidget *> pages;
  for (int i = 0; i < OptionPages->count(); ++i)
    pages << OptionPages->widget(i);
  return pages;
}

void TOptions::Read() {
  OptionsStore store(
      Reg, RegPath + FFieldBusName, [this](const QString &key) { return translated(key); }, this);
  store.read(sheets());
}

void TOptions::Store() {
  OptionsStore store(
      Reg, RegPath + FFieldBusName, [this](const QString &key) { return translated(key); }, this);
  store.store(sheets());
}

QString TOptions::GetProp(const QString &Key) const {
  return OptionsStore::getControlValue(OptionsStore::findControl(sheets(), Key));
}

void TOptions::RegisterSheet(QWidget *NewPage, const QString &newName) {
  if (!NewPage)
    return;
  if (OptionPages->indexOf(NewPage) >= 0) {
    OptionPages->setCurrentWidget(NewPage); // registered before: one page is enough
    return;
  }
  if (!componentOwner(NewPage))
    setComponentOwner(NewPage, NewPage->window() != NewPage ? NewPage->window() : nullptr);
  QString caption = newName;
  if (caption.isEmpty())
    caption = NewPage->windowTitle();
  if (caption.isEmpty())
    caption = NewPage->objectName();
  const int index = OptionPages->addTab(NewPage, caption);
  OptionPages->setCurrentIndex(index);
  NewPage->setVisible(true);
}

bool TOptions::execute() {
  Read();
  setResult(mrNone);
  return QDialog::exec() == mrOk;
}

int TOptions::ShowModal() {
  execute();
  return result();
}

void TOptions::FormShow() {
  setWindowTitle(translated(QStringLiteral("optionsCaption")));
  Read();
}

void TOptions::FormActivate() {
  OKBtn->setText(translated(QStringLiteral("buttonOK")));
  CancelBtn->setText(translated(QStringLiteral("buttonCancel")));
}

void TOptions::OKBtnClick() {
  Store();
  done(mrOk); // also when storing failed: the store has told the user
}

void TOptions::reject() {
  done(mrCancel);
}

void TOptions::showEvent(QShowEvent *event) {
  QDialog::showEvent(event);
  if (!event->spontaneous()) {
    // Key preview: the dialog sees Esc before any of its controls.
    qApp->installEventFilter(this);
    FormShow();
  }
}

void TOptions::hideEvent(QHideEvent *event) {
  qApp->removeEventFilter(this);
  QDialog::hideEvent(event);
}

void TOptions::changeEvent(QEvent *event) {
  QDialog::changeEvent(event);
  if (event->type() == QEvent::ActivationChange && isActiveWindow())
    FormActivate();
}

bool TOptions::eventFilter(QObject *watched, QEvent *event) {
  const QEvent::Type type = event->type();
  if (type != QEvent::KeyPress && type != QEvent::KeyRelease)
    return false;
  auto *widget = qobject_cast<QWidget *>(watched);
  if (!widget || (widget != this && !isAncestorOf(widget)))
    return false;
  if (static_cast<QKeyEvent *>(event)->key() != Qt::Key_Escape)
    return false;
  if (type == QEvent::KeyRelease)
    reject();
  return true;
}
