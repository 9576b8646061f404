#pragma once

#include "station/Station.h"

// The station's record of every write: the file at the record's current place (the settings or
// the user's data folder), one line per ended write with the station's script and this program.
Station::Record stationRecord(const Station &station, const QString &program);
