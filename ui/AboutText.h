#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// The texts of the about window, built from version values, the about text and the change log.
class AboutText {
public:
  // Splits text at its line breaks (CR LF, LF or CR) and appends the pieces to lines.
  static void addMultiLines(const QString &text, QStringList &lines);

  // The product line and a rule of 102 dashes.
  static QStringList productLines(const QString &productInfo);

  // Copyright, an empty line, trademarks, an empty line, the about text.
  static QStringList versionLines(const QString &copyright, const QString &trademarks, const QString &about);

  // The change log as the message shows it: every line followed by LF, CR, space, LF, CR. The
  // bytes are decoded like any plain-text document; control characters are replaced, and a file
  // too long for a message is cut after maxChangeLogLines lines or maxChangeLogChars characters.
  static QString changeLog(const QByteArray &file);

  static constexpr int maxChangeLogLines = 60;
  static constexpr int maxChangeLogChars = 8000;
};
