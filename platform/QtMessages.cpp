#include "platform/QtMessages.h"

#include "platform/LogMirror.h"

#include <QString>
#include <QtGlobal>

#include <atomic>

namespace {
std::atomic<bool> offStandardError{false};
QtMessageHandler previous = nullptr;

void handle(QtMsgType type, const QMessageLogContext &context, const QString &message) {
  const bool remark = type == QtDebugMsg || type == QtInfoMsg || type == QtWarningMsg;
  if (remark && offStandardError)
    LogMirror::write(QStringLiteral("Qt: ") + qFormatLogMessage(type, context, message));
  else
    previous(type, context, message);
}
} // namespace

void keepQtMessagesOffStandardError(bool off) {
  offStandardError = off;
  if (!previous)
    previous = qInstallMessageHandler(handle);
}
