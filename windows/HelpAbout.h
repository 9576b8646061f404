#pragma once

#include <QWidget>

// The about window: product and version information, about text, read-me and licence.
class THelpAbout : public QWidget {
  Q_OBJECT
public:
  explicit THelpAbout(QWidget *parent = nullptr);
};
