#include "settings/KV_Options.h"

TOptions::TOptions(QWidget *parent) : QDialog(parent) {
  setObjectName(QStringLiteral("Options"));
  setWindowTitle(QStringLiteral("Settings"));
}

// No page registers settings yet, so there is nothing to read or write.
void TOptions::Read() {}
void TOptions::Store() {}
