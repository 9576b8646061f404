#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// The settings page's port search without the page: every item probed in turn on a port of its
// own, run on the program's clock until it has an answer.
struct PortSearchRun {
  struct Problem {
    QString port;
    qint32 code = 0;
    QString text; // the serial port's words for it, with the fix where there is one
  };

  qint32 found = -1; // the port number that answered, -1 when none did
  QList<Problem> problems;
};

PortSearchRun searchGatewayPort(const QStringList &items);
