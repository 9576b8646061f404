#pragma once

#include "sim/KorvaneSim.h"

#include <QByteArray>
#include <QObject>

class FuzzInput;
class SimLine;

// A simulated gateway on an in-process line whose replies follow a script of changes: each time
// the program's bytes reach the gateway is a turn, and a change names the turn it applies to (as
// turns to skip after the last one), what it does to that turn's reply, and its bytes or delay.
// Once the changes are used up the gateway answers as it would.
class ScriptedGateway : public QObject {
  Q_OBJECT
public:
  // Reads the gateway's mode and faults and the line's speed from the input.
  ScriptedGateway(SimLine &line, FuzzInput &in);
  // The changes, read as the turns come.
  void setScript(const QByteArray &changes) { m_changes = changes; }

private:
  enum class Op : quint8 { Drop, Replace, Append, Delay, Unasked, Vanish, Split, Count };
  void turn(const QByteArray &fromProgram);
  void apply(QByteArray reply);

  SimLine &m_line;
  KorvaneSim m_sim;
  QByteArray m_changes;
  qsizetype m_pos = 0;
  int m_turn = 0;
  int m_nextChangeAt = -1; // the turn of the next change; -1: read it first
};
