#pragma once

#include "platform/Dialogs.h"

// The desktop's dialogs (Qt Widgets).
class QtDialogs : public Dialogs {
public:
  int messageBox(QWidget *parent, const Message &message) override;
  QString inputBox(QWidget *parent, const QString &caption, const QString &prompt,
                   const QString &preset) override;
  QString openFile(QWidget *parent, const FileDialog &dialog) override;
  QString saveFile(QWidget *parent, const FileDialog &dialog) override;
};
