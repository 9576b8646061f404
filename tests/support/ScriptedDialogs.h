#pragma once

#include "platform/Dialogs.h"

#include <QList>
#include <QQueue>
#include <QVariant>

#include <functional>

// Test dialogs: record what the user was shown and answer as the test says. Unscripted message
// boxes answer OK, input boxes Cancel and file dialogs Cancel. Installs itself for its lifetime.
class ScriptedDialogs : public Dialogs {
public:
  enum class Kind { Message, Input, Open, Save };

  struct Shown {
    Kind kind;
    Message message; // Message: the box; Input: caption and prompt (text = prompt)
    FileDialog file; // Open, Save
    QString preset;  // Input
  };

  ScriptedDialogs();
  ~ScriptedDialogs() override;

  // Answers are taken in order by the dialogs of the matching kind.
  void answerMessage(int result) { m_messageAnswers.enqueue(result); }
  void answerInput(const QString &text) { m_inputAnswers.enqueue(text); }
  void cancelInput() { m_inputAnswers.enqueue(QVariant()); }
  void answerFile(const QString &path) { m_fileAnswers.enqueue(path); }
  // Runs while a message box is "open", as the user's time in front of it.
  std::function<void(const Message &)> onMessage;

  QList<Shown> shown;
  QList<Message> messages() const;
  QStringList messageTexts() const;
  void clear() { shown.clear(); }

  int messageBox(QWidget *parent, const Message &message) override;
  QString inputBox(QWidget *parent, const QString &caption, const QString &prompt,
                   const QString &preset) override;
  QString openFile(QWidget *parent, const FileDialog &dialog) override;
  QString saveFile(QWidget *parent, const FileDialog &dialog) override;

private:
  QQueue<int> m_messageAnswers;
  QQueue<QVariant> m_inputAnswers;
  QQueue<QString> m_fileAnswers;
};
