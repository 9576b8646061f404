#include "common/TextUtils.h"

bool ContainsSubstring(const QString &text, const QString &part) {
  return !part.isEmpty() && text.contains(part, Qt::CaseSensitive);
}

bool ContainsSubstring(const QByteArray &text, const QByteArray &part) {
  return !part.isEmpty() && text.contains(part);
}

bool ContainsSubstringIgnoreCase(const QString &text, const QString &part) {
  return ContainsSubstring(text.toUpper(), part.toUpper());
}

bool ContainsSubstringIgnoreCase(const QByteArray &text, const QByteArray &part) {
  return ContainsSubstring(text.toUpper(), part.toUpper());
}

QString BoolToText(bool value) {
  return value ? QStringLiteral("yes") : QStringLiteral("no");
}

bool IsTrueText(const QString &text) {
  return text == QLatin1String("true") || text == QLatin1String("yes");
}
