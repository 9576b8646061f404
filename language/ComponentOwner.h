#pragma once

#include <QList>

class QWidget;

// Which window a component belongs to, apart from where it is shown. A settings page that one
// window hands to another window's page control changes its parent but stays its maker's: its
// captions are translated with the maker's, and the maker keeps using its controls.
void setComponentOwner(QWidget *component, QWidget *owner);
// The recorded owner, or nullptr when none was recorded.
QWidget *componentOwner(const QWidget *component);

// Everything that owner owns, at any depth: its descendants first (depth first, in child order),
// then each component recorded as the owner's that now lives elsewhere, with its descendants.
QList<QWidget *> ownedComponents(QWidget *owner);
