#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGINT and SIGTERM into a Qt signal on the event loop, so that a program can clean up
// (remove what it published) before it ends. One instance per process.
class TerminationSignals : public QObject {
  Q_OBJECT
public:
  explicit TerminationSignals(QObject *parent = nullptr);
  ~TerminationSignals() override;

signals:
  void requested(int signalNumber);

private:
  QSocketNotifier *m_notifier = nullptr;
};
