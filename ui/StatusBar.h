#pragma once

#include <QStatusBar>

#include <functional>

// A status bar of fixed panels, as the Windows status control has them: each panel has a width
// (the last one takes the rest) and a text, and an owner-drawn panel is painted by its owner.
class TStatusBar : public QStatusBar {
  Q_OBJECT
public:
  struct Panel {
    int width = 50;
    QString text;
    bool ownerDraw = false;
  };

  explicit TStatusBar(QWidget *parent = nullptr);

  void addPanel(int width, bool ownerDraw);
  int panelCount() const { return int(m_panels.size()); }
  QString panelText(int index) const;
  void setPanelText(int index, const QString &text);
  QRect panelRect(int index) const;

  // How panel texts are drawn: from the top left, broken into lines where a panel is too narrow.
  static int textFlags();

  // Paints an owner-drawn panel: (painter, panel index, panel rectangle).
  std::function<void(QPainter &, int, const QRect &)> OnDrawPanel;

protected:
  void paintEvent(QPaintEvent *event) override;
  void resizeEvent(QResizeEvent *event) override;

private:
  void fitHeight();
  QList<Panel> m_panels;
};
