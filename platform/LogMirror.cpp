#include "platform/LogMirror.h"

#include <QDateTime>
#include <QFile>

#include <cstdio>
#include <memory>
#include <mutex>

namespace {
QFile *sink() {
  static std::unique_ptr<QFile> file = [] {
    const QString target = qEnvironmentVariable("TAMBERLIN_LOG");
    auto f = std::make_unique<QFile>();
    bool open = false;
    if (target == QLatin1String("-"))
      open = f->open(stderr, QIODevice::WriteOnly | QIODevice::Unbuffered);
    else if (!target.isEmpty()) {
      f->setFileName(target);
      open = f->open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered);
      if (!open)
        std::fprintf(stderr, "TAMBERLIN_LOG: cannot open %s: %s\n", qPrintable(target),
                     qPrintable(f->errorString()));
    }
    return open ? std::move(f) : nullptr;
  }();
  return file.get();
}
} // namespace

void LogMirror::write(const QString &line) {
  // Qt's remarks come from its own threads too (the D-Bus connection).
  static std::mutex one;
  const std::lock_guard<std::mutex> lock(one);
  if (QFile *f = sink())
    f->write(
        (QDateTime::currentDateTime().toString(QStringLiteral("HH:mm:ss.zzz ")) + line + QLatin1Char('\n'))
            .toUtf8());
}
