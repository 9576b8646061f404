// The settings page's search for the port of the gateway: the search itself is PortSearch; the
// window runs its event loop until the result is there.
#include "ui/settings/PortSettingsPage.h"

#include "platform/Clock.h"

#include <QApplication>
#include <QComboBox>
#include <QToolButton>

#include <optional>

qint32 TCOM::findPort() {
  QStringList items;
  for (int i = 1; i < PortNumber->count(); ++i)
    items << PortNumber->itemText(i);
  std::optional<qint32> found;
  if (!manager->search->start(items, [&found](qint32 port) { found = port; }))
    return -1;
  Clock::instance().waitUntil([&found] { return found.has_value(); });
  return *found;
}

void TCOM::ButtonFindDeviceOnPortClick() {
  // The search handles clicks while it waits; a second search inside the first is refused.
  if (m_searching)
    return;
  m_searching = true;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const qint32 n = findPort();
  const int item = n >= 1 ? PortNumber->findText(QStringLiteral("COM%1").arg(n)) : 0;
  if (item >= 0) {
    PortNumber->setCurrentIndex(item);
    // The box may already stand on that item with other text typed in.
    PortNumber->setEditText(PortNumber->itemText(item));
  }
  QApplication::restoreOverrideCursor();
  m_searching = false;
}
