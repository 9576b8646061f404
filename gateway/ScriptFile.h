#pragma once

#include "gateway/ScriptImage.h"

#include <QString>

// Loads a script file into its image; the reason in words when it cannot be read, else empty.
QString loadScript(TIndexStream &image, const QString &path);
