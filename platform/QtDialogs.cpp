#include "platform/QtDialogs.h"

#include "platform/LogMirror.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

namespace {

QMessageBox::Icon qtIcon(Dialogs::Icon icon) {
  switch (icon) {
  case Dialogs::Icon::Information:
    return QMessageBox::Information;
  case Dialogs::Icon::Warning:
    return QMessageBox::Warning;
  case Dialogs::Icon::Error:
    return QMessageBox::Critical;
  case Dialogs::Icon::Question:
    return QMessageBox::Question;
  case Dialogs::Icon::None:
    break;
  }
  return QMessageBox::NoIcon;
}

QString normalisedSuffix(QString ext) {
  while (ext.startsWith(QLatin1Char('*')) || ext.startsWith(QLatin1Char('.')))
    ext.remove(0, 1);
  return ext;
}

QString runFileDialog(QWidget *parent, const Dialogs::FileDialog &request, QFileDialog::AcceptMode mode) {
  QFileDialog dialog(parent, request.title, request.directory, Dialogs::qtFilter(request.filter));
  dialog.setAcceptMode(mode);
  dialog.setFileMode(mode == QFileDialog::AcceptOpen && request.mustExist ? QFileDialog::ExistingFile
                                                                          : QFileDialog::AnyFile);
  dialog.setDefaultSuffix(normalisedSuffix(request.defaultExt));
  dialog.setOption(QFileDialog::ReadOnly, false);
  if (!request.fileName.isEmpty() && !request.fileName.contains(QLatin1Char('*')))
    dialog.selectFile(request.fileName);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
    return {};
  // Qt names files with "/" on every system.
  return QDir::toNativeSeparators(dialog.selectedFiles().constFirst());
}
} // namespace

int QtDialogs::messageBox(QWidget *parent, const Message &message) {
  // An unattended run leaves a trace of what it told the user.
  LogMirror::write(QStringLiteral("Message: ") + message.text);
  QMessageBox box(qtIcon(message.icon), message.caption, message.text, QMessageBox::NoButton, parent);
  // Texts carry file names and received bytes: never take them for markup.
  box.setTextFormat(Qt::PlainText);
  switch (message.buttons) {
  case Buttons::Ok:
    box.setStandardButtons(QMessageBox::Ok);
    break;
  case Buttons::OkCancel:
    box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
    break;
  case Buttons::YesNo:
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    break;
  }
  if (message.position)
    box.move(*message.position);
  switch (box.exec()) {
  case QMessageBox::Ok:
    return Ok;
  case QMessageBox::Yes:
    return Yes;
  case QMessageBox::No:
    return No;
  default:
    return Cancel;
  }
}

QString QtDialogs::inputBox(QWidget *parent, const QString &caption, const QString &prompt,
                            const QString &preset) {
  bool ok = false;
  const QString text = QInputDialog::getText(parent, caption, prompt, QLineEdit::Normal, preset, &ok);
  return ok ? text : preset;
}

QString QtDialogs::openFile(QWidget *parent, const FileDialog &dialog) {
  return runFileDialog(parent, dialog, QFileDialog::AcceptOpen);
}

QString QtDialogs::saveFile(QWidget *parent, const FileDialog &dialog) {
  return runFileDialog(parent, dialog, QFileDialog::AcceptSave);
}
