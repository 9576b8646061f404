#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// Rows as lines whose columns start where the first row's headings start.
QString textTable(const QList<QStringList> &rows);
