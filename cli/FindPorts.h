#pragma once

#include <QString>
#include <QStringList>

// The ports that `find` probes, as this system knows them (cli/linux, cli/windows).
struct FindPorts {
  QStringList items; // "COMn" of every present port, ascending
  QString noneText;  // what to tell the user when there is none
};

FindPorts findPorts();
