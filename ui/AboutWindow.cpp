#include "ui/AboutWindow.h"

#include "common/ProgramFiles.h"
#include "language/TranslationManager.h"
#include "platform/Dialogs.h"
#include "ui/AboutText.h"
#include "ui/TextFileLoader.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QPushButton>
#include <QTabWidget>
#include <QTextEdit>
#include <QVBoxLayout>

namespace {
QTextEdit *textBox(QWidget *parent, const QString &name, int pixelSize, bool readOnly) {
  auto *box = new QTextEdit(parent);
  box->setObjectName(name);
  box->setReadOnly(readOnly);
  QFont font = box->font();
  font.setPixelSize(pixelSize);
  box->setFont(font);
  return box;
}

QWidget *panel(QWidget *parent, const QString &name) {
  auto *w = new QWidget(parent);
  w->setObjectName(name);
  return w;
}
} // namespace

THelpAbout::THelpAbout(QWidget *parent) : QWidget(parent, Qt::Window) {
  setObjectName(QStringLiteral("HelpAbout"));
  setWindowTitle(QStringLiteral("About"));
  resize(584, 419);

  PageControlVersionInfo = new QTabWidget(this);
  PageControlVersionInfo->setObjectName(QStringLiteral("PageControlVersionInfo"));

  TabSheetVersionInfo = panel(nullptr, QStringLiteral("TabSheetVersionInfo"));
  QWidget *Panel2 = panel(TabSheetVersionInfo, QStringLiteral("Panel2"));
  Panel2->setAutoFillBackground(true);
  QPalette white = Panel2->palette();
  white.setColor(QPalette::Window, Qt::white);
  white.setColor(QPalette::Base, Qt::white);
  Panel2->setPalette(white);
  Memo1 = textBox(Panel2, QStringLiteral("Memo1"), 13, true);
  Memo1->setFixedHeight(62);
  Memo1->setFrameShape(QFrame::NoFrame);
  Memo1->setLineWrapMode(QTextEdit::NoWrap);
  Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  Memo1->viewport()->installEventFilter(this);
  Memo2 = textBox(Panel2, QStringLiteral("Memo2"), 13, true);
  Memo2->setFrameShape(QFrame::NoFrame);
  auto *versionLayout = new QVBoxLayout(Panel2);
  versionLayout->addWidget(Memo1);
  versionLayout->addWidget(Memo2, 1);
  auto *sheetLayout = new QVBoxLayout(TabSheetVersionInfo);
  sheetLayout->setContentsMargins(0, 0, 0, 0);
  sheetLayout->addWidget(Panel2);

  TabSheetReadMe = panel(nullptr, QStringLiteral("TabSheetReadMe"));
  QWidget *Panel3 = panel(TabSheetReadMe, QStringLiteral("Panel3"));
  fileLines = textBox(Panel3, QStringLiteral("fileLines"), 13, true);
  fileLines->document()->setDocumentMargin(5);
  auto *readMeLayout = new QVBoxLayout(Panel3);
  readMeLayout->setContentsMargins(0, 0, 0, 0);
  readMeLayout->addWidget(fileLines);
  auto *readMeSheetLayout = new QVBoxLayout(TabSheetReadMe);
  readMeSheetLayout->setContentsMargins(0, 0, 0, 0);
  readMeSheetLayout->addWidget(Panel3);

  TabSheetEulatext = panel(nullptr, QStringLiteral("TabSheetEulatext"));
  eulaLines = textBox(TabSheetEulatext, QStringLiteral("eulaLines"), 11, false);
  auto *eulaLayout = new QVBoxLayout(TabSheetEulatext);
  eulaLayout->setContentsMargins(0, 0, 0, 0);
  eulaLayout->addWidget(eulaLines);

  PageControlVersionInfo->addTab(TabSheetVersionInfo, QStringLiteral("Version Info"));
  PageControlVersionInfo->addTab(TabSheetReadMe, QStringLiteral("Read me"));
  PageControlVersionInfo->addTab(TabSheetEulatext, QStringLiteral("End-user licens agreement"));

  Panel1 = panel(this, QStringLiteral("Panel1"));
  BitBtn1 = new QPushButton(QStringLiteral("OK"), Panel1);
  BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
  BitBtn1->setDefault(true);
  auto *buttonLayout = new QHBoxLayout(Panel1);
  buttonLayout->addStretch();
  buttonLayout->addWidget(BitBtn1);
  buttonLayout->addStretch();
  connect(BitBtn1, &QPushButton::clicked, this, &THelpAbout::BitBtn1Click);

  auto *layout = new QVBoxLayout(this);
  layout->addWidget(PageControlVersionInfo, 1);
  layout->addWidget(Panel1);
}

QString THelpAbout::translated(const QString &key) const {
  return language ? language->translate(key) : key;
}

QString THelpAbout::programDir() const {
  return m_programDir.isEmpty() ? QCoreApplication::applicationDirPath() : m_programDir;
}

void THelpAbout::setTabCaption(QWidget *sheet, const QString &caption) {
  sheet->setWindowTitle(caption);
  const int index = PageControlVersionInfo->indexOf(sheet);
  if (index >= 0)
    PageControlVersionInfo->setTabText(index, caption);
}

void THelpAbout::UnRegisterSheet(QWidget *sheet) {
  const int index = PageControlVersionInfo->indexOf(sheet);
  if (index >= 0)
    PageControlVersionInfo->removeTab(index);
  PageControlVersionInfo->setCurrentIndex(0);
}

bool THelpAbout::loadDocument(const QString &path, QTextEdit *box) {
  // A folder of that name, or a file that cannot be read, counts as missing.
  if (!QFileInfo(path).isFile())
    return false;
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly))
    return false;
  const QByteArray bytes = file.readAll();
  if (file.error() != QFileDevice::NoError)
    return false;
  TextFileLoader::load(bytes, box->document());
  box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  return true;
}

void THelpAbout::FormActivate() {
  setWindowTitle(translated(QStringLiteral("captionHelpAbout")));
  Memo1->clear();
  Memo2->clear();
  BitBtn1->setText(translated(QStringLiteral("buttonOK")));
  setTabCaption(TabSheetVersionInfo, translated(QStringLiteral("captionVersionInfo")));
  setTabCaption(TabSheetReadMe, translated(QStringLiteral("captionReadMe")));
  setTabCaption(TabSheetEulatext, translated(QStringLiteral("captionEula")));

  Memo1->setPlainText(AboutText::productLines(GetProductInfoString()).join(u'\n'));
  QTextCursor all(Memo1->document());
  all.select(QTextCursor::Document);
  QTextBlockFormat centred;
  centred.setAlignment(Qt::AlignHCenter);
  all.mergeBlockFormat(centred);

  Memo2->setPlainText(
      AboutText::versionLines(GetLegalCopyright(), GetLegalTrademarks(),
                              language ? language->translateBlock(QStringLiteral("helpAbout")) : QString())
          .join(u'\n'));

  QString eulaName = translated(fileEulaIdentifier);
  if (eulaName.isEmpty())
    eulaName = fileEulaIdentifier;
  if (!loadDocument(programFilePath(programDir(), eulaName), eulaLines))
    UnRegisterSheet(TabSheetEulatext);

  if (!loadDocument(programFilePath(programDir(), translated(filenameIdentifier)), fileLines))
    UnRegisterSheet(TabSheetReadMe);
}

void THelpAbout::Memo1DblClick() {
  QFile file(programFilePath(programDir(), QStringLiteral("lastCommits.ini")));
  if (!QFileInfo(file.fileName()).isFile() || !file.open(QIODevice::ReadOnly))
    return;
  const QByteArray bytes = file.readAll();
  if (file.error() != QFileDevice::NoError)
    return;
  Dialogs::Message message;
  message.text = AboutText::changeLog(bytes);
  message.caption = QStringLiteral("Change log");
  Dialogs::instance().messageBox(this, message);
}

void THelpAbout::BitBtn1Click() {
  hide();
}

void THelpAbout::changeEvent(QEvent *event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::ActivationChange && isActiveWindow())
    FormActivate();
}

bool THelpAbout::eventFilter(QObject *watched, QEvent *event) {
  if (watched == Memo1->viewport() && event->type() == QEvent::MouseButtonDblClick) {
    Memo1DblClick();
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

void THelpAbout::keyPressEvent(QKeyEvent *event) {
  // OK is the default button.
  const int key = event->key();
  if (key == Qt::Key_Return || key == Qt::Key_Enter) {
    BitBtn1Click();
    return;
  }
  QWidget::keyPressEvent(event);
}
