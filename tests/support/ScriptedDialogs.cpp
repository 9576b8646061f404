#include "tests/support/ScriptedDialogs.h"

ScriptedDialogs::ScriptedDialogs() {
  Dialogs::setInstance(this);
}

ScriptedDialogs::~ScriptedDialogs() {
  Dialogs::setInstance(nullptr);
}

QList<Dialogs::Message> ScriptedDialogs::messages() const {
  QList<Message> result;
  for (const Shown &s : shown)
    if (s.kind == Kind::Message)
      result << s.message;
  return result;
}

QStringList ScriptedDialogs::messageTexts() const {
  QStringList result;
  for (const Message &m : messages())
    result << m.text;
  return result;
}

int ScriptedDialogs::messageBox(QWidget *, const Message &message) {
  shown << Shown{Kind::Message, message, {}, {}};
  if (onMessage)
    onMessage(message);
  return m_messageAnswers.isEmpty() ? int(Ok) : m_messageAnswers.dequeue();
}

QString ScriptedDialogs::inputBox(QWidget *, const QString &caption, const QString &prompt,
                                  const QString &preset) {
  Message m;
  m.caption = caption;
  m.text = prompt;
  shown << Shown{Kind::Input, m, {}, preset};
  if (m_inputAnswers.isEmpty())
    return preset;
  const QVariant answer = m_inputAnswers.dequeue();
  return answer.isValid() ? answer.toString() : preset;
}

QString ScriptedDialogs::openFile(QWidget *, const FileDialog &dialog) {
  shown << Shown{Kind::Open, {}, dialog, {}};
  return m_fileAnswers.isEmpty() ? QString() : m_fileAnswers.dequeue();
}

QString ScriptedDialogs::saveFile(QWidget *, const FileDialog &dialog) {
  shown << Shown{Kind::Save, {}, dialog, {}};
  return m_fileAnswers.isEmpty() ? QString() : m_fileAnswers.dequeue();
}
