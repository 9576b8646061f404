#pragma once

#include <QByteArray>
#include <QString>

// True when part occurs in text; an empty part gives false. Case-sensitive.
bool ContainsSubstring(const QString &text, const QString &part);
bool ContainsSubstring(const QByteArray &text, const QByteArray &part);

// The same after converting both texts to upper case.
bool ContainsSubstringIgnoreCase(const QString &text, const QString &part);
bool ContainsSubstringIgnoreCase(const QByteArray &text, const QByteArray &part);

// "yes" or "no".
QString BoolToText(bool value);

// True when text is exactly "true" or "yes"; callers pass a lower-cased text.
bool IsTrueText(const QString &text);
