#include "platform/Dialogs.h"

#include "platform/LogMirror.h"
#include "platform/Seam.h"
#include "platform/Terminal.h"

#include <cstdio>

namespace {
Dialogs *&defaultDialogs() {
  static Dialogs *dialogs = nullptr;
  return dialogs;
}

// Where no desktop is: what would have been shown goes to standard error and the log, and the
// default button answers.
class HeadlessDialogs : public Dialogs {
public:
  int messageBox(QWidget *, const Message &message) override {
    const QString line = QStringLiteral("Message: ") + message.text;
    LogMirror::write(line);
    writeText(stderr, line + QLatin1Char('\n'));
    std::fflush(stderr);
    return message.buttons == Buttons::YesNo ? Yes : Ok;
  }
  QString inputBox(QWidget *, const QString &, const QString &, const QString &preset) override {
    return preset;
  }
  QString openFile(QWidget *, const FileDialog &) override { return {}; }
  QString saveFile(QWidget *, const FileDialog &) override { return {}; }
};
} // namespace

Dialogs &Dialogs::instance() {
  if (!Seam<Dialogs>::installed && defaultDialogs())
    return *defaultDialogs();
  return Seam<Dialogs>::instance<HeadlessDialogs>();
}

void Dialogs::setInstance(Dialogs *dialogs) {
  Seam<Dialogs>::installed = dialogs;
}

void Dialogs::setDefault(Dialogs *dialogs) {
  defaultDialogs() = dialogs;
}

QString Dialogs::qtFilter(const QString &windowsFilter) {
  const QStringList parts = windowsFilter.split(QLatin1Char('|'));
  QStringList filters;
  for (int i = 0; i + 1 < parts.size(); i += 2) {
    const QString patterns =
        parts.at(i + 1).split(QLatin1Char(';'), Qt::SkipEmptyParts).join(QLatin1Char(' '));
    filters << QStringLiteral("%1 (%2)").arg(parts.at(i), patterns);
  }
  return filters.join(QStringLiteral(";;"));
}
