#pragma once

#include "common/WindowMessages.h"

#include <QList>
#include <QObject>
#include <QPair>

// Notes the window messages that reach an object, without taking them from it. As an owner of its
// own (no target given) it just collects them.
class MessageSpy : public QObject {
public:
  explicit MessageSpy(QObject *target = nullptr) {
    if (target)
      target->installEventFilter(this);
  }
  bool eventFilter(QObject *, QEvent *event) override {
    note(event);
    return false;
  }
  bool event(QEvent *event) override { return note(event) || QObject::event(event); }

  // (wParam, lParam) of every message with this number, in order of arrival.
  QList<QPair<quint32, qint32>> of(quint32 msg) const {
    QList<QPair<quint32, qint32>> found;
    for (const Seen &s : seen)
      if (s.msg == msg)
        found.append({s.wParam, s.lParam});
    return found;
  }

  struct Seen {
    quint32 msg;
    quint32 wParam;
    qint32 lParam;
  };
  QList<Seen> seen;

private:
  bool note(QEvent *event) {
    if (WindowMessageEvent *m = asWindowMessage(event)) {
      seen.append({m->msg, m->wParam, m->lParam});
      return true;
    }
    return false;
  }
};
