#pragma once

#include "gateway/ScriptImage.h"

#include <QString>

// The words for a script file that cannot be sent; every front end and download uses these.
namespace ScriptFile {
QString missing(const QString &path);
QString tooLarge(const QString &path, qint64 size, qint64 maxSize);
// Why the file cannot be sent as a script of at most maxSize bytes; empty when it can.
QString problem(const QString &path, qint64 maxSize);
} // namespace ScriptFile

// Loads a script file into its image; the reason in words when it cannot be read, else empty.
QString loadScript(TIndexStream &image, const QString &path);
