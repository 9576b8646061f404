#pragma once

#include "platform/Monitors.h"

// A fixed set of monitors for placement tests. Installs itself for its lifetime.
class FixedMonitors : public Monitors {
public:
  explicit FixedMonitors(QList<QRect> list) : list(std::move(list)) { Monitors::setInstance(this); }
  ~FixedMonitors() override { Monitors::setInstance(nullptr); }
  QList<QRect> monitors() const override { return list; }
  QList<QRect> list;
};
