#include "platform/LogMirror.h"

#include "platform/Terminal.h"

#include <QDateTime>
#include <QDir>
#include <QFile>

#include <cstdio>
#include <memory>
#include <mutex>

namespace {
bool toStandardError() {
  static const bool standardError = qEnvironmentVariable("TAMBERLIN_LOG") == QLatin1String("-");
  return standardError;
}

QFile *sink() {
  static std::unique_ptr<QFile> file = [] {
    const QString target = qEnvironmentVariable("TAMBERLIN_LOG");
    if (target.isEmpty() || toStandardError())
      return std::unique_ptr<QFile>();
    auto f = std::make_unique<QFile>(target);
    if (f->open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
      return f;
    writeText(stderr, QStringLiteral("TAMBERLIN_LOG: cannot open %1: %2\n")
                          .arg(QDir::toNativeSeparators(target), f->errorString()));
    return std::unique_ptr<QFile>();
  }();
  return file.get();
}
} // namespace

void LogMirror::write(const QString &line) {
  // Qt's remarks come from its own threads too (the D-Bus connection).
  static std::mutex one;
  const std::lock_guard<std::mutex> lock(one);
  if (!toStandardError() && !sink())
    return;
  const QString text =
      QDateTime::currentDateTime().toString(QStringLiteral("HH:mm:ss.zzz ")) + line + QLatin1Char('\n');
  if (toStandardError())
    writeText(stderr, text);
  else
    sink()->write(text.toUtf8());
}
