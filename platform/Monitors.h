#pragma once

#include <QList>
#include <QRect>

// The monitors of the desktop. A monitor's number is its index in the list; monitor 0 is the
// primary one.
class Monitors {
public:
  virtual ~Monitors() = default;
  virtual QList<QRect> monitors() const = 0;

  // The area of all monitors (their bounding rectangle).
  QRect desktop() const;
  // The number of the monitor that shares the largest area with r, or, when none does, the one
  // closest to it; 0 when there are no monitors.
  int nearest(const QRect &r) const;

  static Monitors &instance();
  // Installs monitors for the whole process (tests); nullptr restores the real screens.
  static void setInstance(Monitors *monitors);
};

// The screens that Qt reports.
class QtScreens : public Monitors {
public:
  QList<QRect> monitors() const override;
};
