#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// Text in one of Windows' code pages (1251, 1252, 932, ...), as the system converts it; nothing
// when the system does not know the code page.
std::optional<QString> decodeCodePage(quint32 codePage, const QByteArray &bytes);
