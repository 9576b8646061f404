#pragma once

#include "serialport/TSerialPort.h"

#include <QByteArray>
#include <QObject>
#include <QStringList>

#include <functional>

class ClockTimer;

// Finds the port of the gateway: tries the listed ports in turn, sends the probe byte and takes
// the first port on which "OK" (any letter case) comes back within the answer limit. Driven by
// the port's receive events and a timer; it borrows the port's receive handler for the search and
// gives it back at the end. The port stays open on the port found, or on the last one tried.
class PortSearch : public QObject {
  Q_OBJECT
public:
  // The port that answered, or -1.
  using Result = std::function<void(qint32 port)>;

  explicit PortSearch(TSerialPort *port, QObject *parent = nullptr);

  // Starts with items, each "COM" followed by a port number; done gets the result once, possibly
  // before start returns. False, and nothing else happens, while a search runs.
  bool start(const QStringList &items, Result done);
  bool running() const { return m_running; }

  // Received text while the search borrows the port, every byte upper-cased.
  QByteArray StrWaitBuffer;
  // The port's own receive handler, kept while the search borrows the port.
  TTriggerAvailEvent OldReceiveProc;
  void ResetTriggerAvail(TSerialPort *CP, quint16 Count);

private:
  void probeNext();
  bool probe(const QString &item);
  bool openItem(const QString &item);
  bool answered() const;
  void onAnswerLimit();
  void finish(qint32 result);

  TSerialPort *COM;
  ClockTimer *m_answerLimit;
  QStringList m_items;
  qsizetype m_next = 0;
  bool m_running = false;
  Result m_done;
};
