#pragma once

#include <QString>

// Where the record of every write lies: the user's data folder unless the settings name another
// place (key \SOFTWARE\Quarnel\Tamberlin\Trace, string value "RecordFile").
namespace TracePlace {

// Linux: ${XDG_DATA_HOME:-~/.local/share}/Quarnel/Tamberlin/trace.csv;
// Windows: %LOCALAPPDATA%\Quarnel\Tamberlin\trace.csv.
QString defaultPath();
// The place stored in the settings; empty when none is. A stored value that cannot be used is
// described in *problem, and the default applies.
QString stored(QString *problem = nullptr);
// Stores path (made absolute) as the record's place; an empty path goes back to the default.
// Empty on success, otherwise why not.
QString store(const QString &path);
// stored(), else defaultPath().
QString current(QString *problem = nullptr);

} // namespace TracePlace
