#include "ui/StateWindow.h"

#include "ui/LineMemo.h"

#include "platform/Log.h"

#include "ui/FontScale.h"

#include <QApplication>
#include <QCloseEvent>
#include <QMenu>
#include <QVBoxLayout>

TStatusFenster::TStatusFenster(QWidget *parent) : QWidget(parent, Qt::Window) {
  setObjectName(QStringLiteral("StatusFenster"));
  setWindowTitle(QStringLiteral("State Window"));
  resize(FontScale::scaled(341, this), FontScale::scaled(114, this));

  Memo1 = new LineMemo(this);
  Memo1->setObjectName(QStringLiteral("Memo1"));
  Memo1->setFrameShape(QFrame::NoFrame);
  QFont font(QStringLiteral("Courier New"));
  font.setStyleHint(QFont::TypeWriter);
  font.setPixelSize(11);
  Memo1->setFont(font);
  auto *layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(Memo1);

  PopupMenu1 = new QMenu(this);
  PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
  clearstatewindow1 = PopupMenu1->addAction(QStringLiteral("Clear state window"), this,
                                            &TStatusFenster::clearstatewindow1Click);
  Setnumberoflines1 = PopupMenu1->addAction(QStringLiteral("Set number of lines"), this,
                                            &TStatusFenster::Setnumberoflines1Click);
  Savetofile1 =
      PopupMenu1->addAction(QStringLiteral("Save to file"), this, &TStatusFenster::Savetofile1Click);
  Memo1->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(Memo1, &QWidget::customContextMenuRequested, this,
          [this](const QPoint &pos) { PopupMenu1->popup(Memo1->viewport()->mapToGlobal(pos)); });

  SaveDialog1.title = QStringLiteral("Save log");
  SaveDialog1.defaultExt = QStringLiteral("log");
  SaveDialog1.filter = QStringLiteral("Log file|*.log|All files|*");

  FormCreate();
}

void TStatusFenster::FormCreate() {
  maxLines = 1000;
  // The window is the log's view: every line of the program reaches it, also while it is hidden.
  m_sink = Log::addSink([this](const QString &text, Log::Kind kind) {
    Memo1->addLine(text);
    if (kind == Log::Kind::Line)
      scrollToEnd();
  });
}

TStatusFenster::~TStatusFenster() {
  Log::removeSink(m_sink);
}

void TStatusFenster::logStringOnly(const QString &entry) {
  Log::line(entry);
}

void TStatusFenster::scrollToEnd() {
  if (Memo1->lineCount() > maxLines)
    Memo1->deleteFirstLine();
  Memo1->setCaret(Memo1->lineCount() - 1, 0);
}

void TStatusFenster::clearstatewindow1Click() {
  Memo1->clearLines();
}

void TStatusFenster::Setnumberoflines1Click() {
  const QString text =
      Dialogs::instance().inputBox(this, QStringLiteral("Set maximum number of lines to display"),
                                   QStringLiteral("No of lines"), QStringLiteral("1000"));
  bool ok = false;
  const int lines = text.trimmed().toInt(&ok);
  if (!ok) {
    Dialogs::instance().messageBox(this, {QStringLiteral("Please enter a number"),
                                          QStringLiteral("Error setting maximum lines"),
                                          Dialogs::Icon::Warning, Dialogs::Buttons::Ok, std::nullopt});
    return;
  }
  if (lines >= 6 && lines <= 1999)
    maxLines = lines;
}

void TStatusFenster::Savetofile1Click() {
  const QString path = Dialogs::instance().saveFile(this, SaveDialog1);
  if (path.isEmpty())
    return;
  QString error;
  if (!Memo1->saveToFile(path, &error))
    Dialogs::instance().messageBox(this, {QStringLiteral("Cannot create file \"%1\". %2").arg(path, error),
                                          QApplication::applicationName(), Dialogs::Icon::Error,
                                          Dialogs::Buttons::Ok, std::nullopt});
}

void TStatusFenster::closeEvent(QCloseEvent *event) {
  hide();
  event->ignore();
}
