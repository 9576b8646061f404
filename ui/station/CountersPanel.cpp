#include "ui/station/CountersPanel.h"

#include "station/StationCounters.h"

#include <QGridLayout>
#include <QLabel>

CountersPanel::CountersPanel(QWidget *parent) : QWidget(parent) {
  new QGridLayout(this);
  m_written = figure(QStringLiteral("Written"), QStringLiteral("Gateways written since the last reset"), 0);
  m_failed = figure(QStringLiteral("Failed"), QStringLiteral("Writes that failed since the last reset"), 1);
  m_total = figure(QStringLiteral("Total"), QStringLiteral("Writes that ended since the last reset"), 2);
  display(StationCounters{});
}

QLabel *CountersPanel::figure(const QString &name, const QString &description, int column) {
  auto *grid = static_cast<QGridLayout *>(layout());
  auto *caption = new QLabel(name, this);
  auto *value = new QLabel(this);
  QFont big = value->font();
  big.setPointSizeF(big.pointSizeF() * 2.5);
  big.setBold(true);
  value->setFont(big);
  value->setAlignment(Qt::AlignCenter);
  caption->setAlignment(Qt::AlignCenter);
  value->setAccessibleName(name);
  value->setAccessibleDescription(description);
  value->setObjectName(name.toLower() + QStringLiteral("Count"));
  grid->addWidget(value, 0, column);
  grid->addWidget(caption, 1, column);
  return value;
}

void CountersPanel::display(const StationCounters &counters) {
  m_written->setText(QString::number(counters.written));
  m_failed->setText(QString::number(counters.failed));
  m_total->setText(QString::number(counters.total));
}
