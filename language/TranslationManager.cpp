#include "language/TranslationManager.h"

#include "common/ProgramFiles.h"
#include "language/ComponentOwner.h"
#include "language/LanguageFile.h"

#include <QCoreApplication>
#include <QFile>
#include <QLabel>
#include <QStackedWidget>
#include <QTabWidget>

LanguageSelect::LanguageSelect(const QString &cregistryKey, const QString &cregistryPath)
    : registryKey(cregistryKey), registryPath(cregistryPath) {}

QString LanguageSelect::languageFilePath() const {
  const QString dir = m_programDir.isEmpty() ? QCoreApplication::applicationDirPath() : m_programDir;
  return programFilePath(dir, QStringLiteral("lang/english_en_gb.ini"));
}

bool LanguageSelect::readDefaultLang() {
  defaultLangStr = QStringLiteral("english");
  defaultKeys.clear();
  defaultLang.clear();
  m_firstIndex.clear();
  m_lastError.clear();

  QFile file(languageFilePath());
  if (!file.exists())
    return false;
  // A file that is there but cannot be read must not stop the program: it runs on its keys.
  if (!file.open(QIODevice::ReadOnly)) {
    m_lastError = file.errorString();
    return false;
  }
  const QByteArray bytes = file.readAll();
  if (file.error() != QFileDevice::NoError) {
    m_lastError = file.errorString();
    return false;
  }

  const LanguageFile parsed = LanguageFile::parse(bytes);
  const LanguageFile::Section *translations = parsed.section(QStringLiteral("translations"));
  if (!translations || translations->entries.isEmpty())
    return false;
  for (const LanguageFile::Entry &e : translations->entries) {
    const QString folded = e.key.toCaseFolded();
    if (!m_firstIndex.contains(folded))
      m_firstIndex.insert(folded, defaultKeys.size());
    defaultKeys.append(e.key);
    defaultLang.append(e.text);
  }
  return true;
}

bool LanguageSelect::readFile(const QString &) {
  return false;
}

QString LanguageSelect::translate(const QString &key) const {
  const auto it = m_firstIndex.constFind(key.toCaseFolded());
  return decodeLineBreaks(it == m_firstIndex.constEnd() ? key : defaultLang.at(*it));
}

QString LanguageSelect::translateBlock(const QString &startKey) const {
  QString joined;
  for (qsizetype i = 0; i < defaultKeys.size(); ++i)
    if (defaultKeys.at(i).startsWith(startKey, Qt::CaseSensitive))
      joined += defaultLang.at(i);
  return decodeLineBreaks(joined);
}

QString LanguageSelect::decodeLineBreaks(const QString &text) {
  QString result = text;
  return result.replace(QStringLiteral("#13#10"), QStringLiteral("\r\n"));
}

void LanguageSelect::initCaptions(QWidget *component, const QString &) {
  if (!component)
    return;
  QList<QWidget *> components{component};
  components.append(ownedComponents(component));
  for (QWidget *w : components) {
    // Unnamed components and Qt's own parts have no key; translating "" would blank them.
    const QString name = w->objectName();
    if (name.isEmpty() || name.startsWith(QStringLiteral("qt_")))
      continue;
    setCaption(w, translate(name));
  }
}

namespace {
QTabWidget *tabWidgetShowing(QWidget *page) {
  auto *stack = qobject_cast<QStackedWidget *>(page->parentWidget());
  auto *tabs = stack ? qobject_cast<QTabWidget *>(stack->parentWidget()) : nullptr;
  return tabs && tabs->indexOf(page) >= 0 ? tabs : nullptr;
}
} // namespace

void LanguageSelect::setCaption(QWidget *component, const QString &text) {
  if (component->isWindow()) {
    if (!component->windowTitle().isEmpty())
      component->setWindowTitle(text);
  } else if (QTabWidget *tabs = tabWidgetShowing(component)) {
    const int index = tabs->indexOf(component);
    if (!tabs->tabText(index).isEmpty()) {
      tabs->setTabText(index, text);
      component->setWindowTitle(text); // the sheet's own caption, for a later page control
    }
  } else if (auto *label = qobject_cast<QLabel *>(component)) {
    if (!label->text().isEmpty())
      label->setText(text);
  }
}
