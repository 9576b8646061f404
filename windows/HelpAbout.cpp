#include "windows/HelpAbout.h"

THelpAbout::THelpAbout(QWidget *parent) : QWidget(parent, Qt::Window) {
  setObjectName(QStringLiteral("HelpAbout"));
  setWindowTitle(QStringLiteral("About"));
  resize(584, 419);
}
