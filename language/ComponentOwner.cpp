#include "language/ComponentOwner.h"

#include <QApplication>
#include <QPointer>
#include <QVariant>
#include <QWidget>

namespace {
const char *const ownerProperty = "tamberlinComponentOwner";
}

void setComponentOwner(QWidget *component, QWidget *owner) {
  component->setProperty(ownerProperty, QVariant::fromValue(QPointer<QWidget>(owner)));
}

QWidget *componentOwner(const QWidget *component) {
  return component->property(ownerProperty).value<QPointer<QWidget>>().data();
}

QList<QWidget *> ownedComponents(QWidget *owner) {
  QList<QWidget *> result = owner->findChildren<QWidget *>();
  for (QWidget *w : QApplication::allWidgets()) {
    if (w == owner || componentOwner(w) != owner || owner->isAncestorOf(w) || result.contains(w))
      continue;
    result.append(w);
    result.append(w->findChildren<QWidget *>());
  }
  return result;
}
