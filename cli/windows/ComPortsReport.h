#pragma once

#include "cli/windows/ComPortFacts.h"

#include <QJsonObject>
#include <QList>
#include <QString>

// How `tamberlin-cli ports` shows the system's COM ports.
namespace ComPortsReport {

// An aligned table, one line per port under a heading line.
QString table(const QList<ComPortFacts> &ports);
// "free", "held by another program", "cannot be opened: ..." or "-" for an absent port.
QString useText(const ComPortFacts &port);

// {"event":"port","port":"COM3",...} per port.
QJsonObject portEvent(const ComPortFacts &port);
// {"event":"summary","ports":N,"present":K,"held":H}
QJsonObject summaryEvent(const QList<ComPortFacts> &ports);

} // namespace ComPortsReport
