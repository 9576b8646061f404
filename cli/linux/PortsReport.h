#pragma once

#include "cli/linux/PortFacts.h"

#include <QJsonObject>
#include <QList>
#include <QString>

// How `tamberlin-cli ports` shows the port map.
namespace PortsReport {

// An aligned table, one line per entry under a heading line.
QString table(const QList<PortFacts> &ports);

// {"event":"port","port":"COM3",...} per entry.
QJsonObject portEvent(const PortFacts &port);
// {"event":"summary","folder":...,"entries":N,"present":K}
QJsonObject summaryEvent(const QList<PortFacts> &ports, const QString &folder);

// "0403:6001 serial A10K \"FT232R USB UART\"", empty without a USB identity.
QString usbText(const PortFacts &port);
// "1234 minicom, 99 screen", empty when nobody holds the port.
QString holdersText(const PortFacts &port);

} // namespace PortsReport
