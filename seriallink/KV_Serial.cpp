#include "seriallink/KV_Serial.h"

TCOM::TCOM(QWidget *parent) : QWidget(parent, Qt::Window) {
  setObjectName(QStringLiteral("COM"));
  setWindowTitle(QStringLiteral("COM"));
}
