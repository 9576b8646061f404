#include "ui/settings/OptionsStore.h"

#include "platform/Dialogs.h"
#include "platform/UserSettings.h"

#include <QComboBox>
#include <QGuiApplication>
#include <QWidget>

namespace {
// Only a to z change, as the names are compared in the registry's manner.
QString asciiUpper(const QString &text) {
  QString result = text;
  for (QChar &c : result)
    if (c >= u'a' && c <= u'z')
      c = QChar(c.unicode() - 'a' + 'A');
  return result;
}

// A REG_EXPAND_SZ value: UTF-16 LE up to its terminating zero.
QString expandStringOf(const QByteArray &data) {
  QString text = QString::fromUtf16(reinterpret_cast<const char16_t *>(data.constData()), data.size() / 2);
  const qsizetype end = text.indexOf(QChar(u'\0'));
  return end < 0 ? text : text.left(end);
}

void showInCombo(QComboBox *combo, const QString &text) {
  const int index = combo->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
  combo->setCurrentIndex(index);
  if (combo->isEditable())
    combo->setEditText(text);
}
} // namespace

OptionsStore::OptionsStore(UserSettings &reg, QString keyBase, Translate translate, QWidget *messageParent)
    : m_reg(reg), m_keyBase(std::move(keyBase)), m_translate(std::move(translate)),
      m_messageParent(messageParent) {}

QString OptionsStore::sheetKey(const QWidget *sheet) const {
  return m_keyBase + QLatin1Char('\\') + sheet->objectName();
}

QList<QComboBox *> OptionsStore::settingsOf(const QWidget *sheet) {
  QList<QComboBox *> combos;
  for (QObject *child : sheet->children())
    if (auto *combo = qobject_cast<QComboBox *>(child); combo && !combo->objectName().isEmpty())
      combos << combo;
  return combos;
}

void OptionsStore::showMessage(const QString &key) {
  Dialogs::Message message;
  message.text = m_translate(key);
  message.caption = QGuiApplication::applicationDisplayName();
  Dialogs::instance().messageBox(m_messageParent, message);
}

void OptionsStore::read(const QList<QWidget *> &sheets) {
  for (const QWidget *sheet : sheets) {
    const QString key = sheetKey(sheet);
    if (!m_reg.createKey(key)) {
      showMessage(QStringLiteral("messageRegistryAccessError"));
      continue;
    }
    for (QComboBox *combo : settingsOf(sheet)) {
      const std::optional<RegValue> value = m_reg.value(key, combo->objectName());
      QString text;
      if (!value) {
        if (!m_reg.lastError().isEmpty()) {
          showMessage(QStringLiteral("messageRegistryContinueDefaults"));
          return;
        }
      } else if (value->type == RegValue::Type::String) {
        text = value->string;
      } else if (value->type == RegValue::Type::Other && value->rawType == 2) {
        text = expandStringOf(value->data);
      } else {
        showMessage(QStringLiteral("messageRegistryContinueDefaults"));
        return;
      }
      showInCombo(combo, text);
    }
  }
}

void OptionsStore::store(const QList<QWidget *> &sheets) {
  for (const QWidget *sheet : sheets) {
    const QString key = sheetKey(sheet);
    if (!m_reg.createKey(key)) {
      showMessage(QStringLiteral("messageRegistryAccessError"));
      continue;
    }
    for (const QComboBox *combo : settingsOf(sheet)) {
      if (!m_reg.setValue(key, combo->objectName(), RegValue::fromString(combo->currentText()))) {
        showMessage(QStringLiteral("messageRegistryCannotNotStore"));
        return;
      }
    }
  }
}

QWidget *OptionsStore::findControl(const QList<QWidget *> &sheets, const QString &key) {
  if (key.isEmpty())
    return nullptr;
  const QString wanted = asciiUpper(key);
  for (const QWidget *sheet : sheets)
    for (QObject *child : sheet->children())
      if (auto *control = qobject_cast<QWidget *>(child);
          control && asciiUpper(control->objectName()) == wanted)
        return control;
  return nullptr;
}

QString OptionsStore::getControlValue(const QWidget *control) {
  const auto *combo = qobject_cast<const QComboBox *>(control);
  return combo ? combo->currentText() : QString();
}
