#pragma once

#include <QByteArray>
#include <QString>

// A record that several processes append lines to at once: every append holds one exclusive lock on
// the file, writes the whole line in one write and flushes it to the disk before it returns, so a
// crash or a power cut loses no earlier line and two writers never mix their lines. Each system's
// backend is in platform/linux and platform/windows.
namespace RecordFile {

// Appends line (ending in its line break) to the file at path, creating the file and its folder
// when missing. An empty file gets head first, under the same lock; a file whose last line was cut
// short gets a line break first, so the new line never joins it. Empty on success, otherwise why
// the line could not be appended, in words that say how to fix it.
QString append(const QString &path, const QByteArray &head, const QByteArray &line);

// Whether a line could be appended now, without adding one (the file and its folder are created
// when missing). Empty when it could, otherwise why not.
QString checkAppendable(const QString &path);

// What an append writes into a file of this size whose last byte is lastByte: the head when the
// file is empty, a line break first when its last line is cut short, then the line.
QByteArray appendix(qint64 size, char lastByte, const QByteArray &head, const QByteArray &line);

// Creates the folder of the record; empty on success, otherwise why not.
QString makeFolder(const QString &path);

} // namespace RecordFile
