#pragma once

#include <QList>
#include <QStringList>

// The ports among these on which something answers the search byte within a second; all are
// asked at once. Ports that cannot be opened are left out, with the reason in notes.
QList<quint16> answeringPorts(const QList<quint16> &ports, QStringList &notes);
