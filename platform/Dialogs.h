#pragma once

#include <QPoint>
#include <QString>
#include <QStringList>

#include <optional>

class QWidget;

// Message boxes, the input box and the file dialogs of the desktop, behind one interface so that
// tests can answer them and see what the user was shown.
class Dialogs {
public:
  enum class Icon { None, Information, Warning, Error, Question };
  // Button sets; results use the Windows numbers (IDOK = 1, IDCANCEL = 2).
  enum class Buttons { Ok, OkCancel, YesNo };
  enum Result { Ok = 1, Cancel = 2, Yes = 6, No = 7 };

  struct Message {
    QString text;
    QString caption;
    Icon icon = Icon::None;
    Buttons buttons = Buttons::Ok;
    std::optional<QPoint> position; // top-left corner on the screen; centred when absent
  };

  struct FileDialog {
    QString title;
    QString filter;     // "Description|*.a;*.b|Other|*.c", as the Windows dialogs take it
    QString defaultExt; // without the star and the dot, or with them: both are accepted
    QString fileName;   // initial file name
    QString directory;  // initial folder, empty: the current one
    bool mustExist = false;
  };

  virtual ~Dialogs() = default;

  virtual int messageBox(QWidget *parent, const Message &message) = 0;
  // Input box: returns the edited text on OK and the preset text on Cancel.
  virtual QString inputBox(QWidget *parent, const QString &caption, const QString &prompt,
                           const QString &preset) = 0;
  // The chosen file's path with the system's separators, as the user knows it; empty: cancelled.
  virtual QString openFile(QWidget *parent, const FileDialog &dialog) = 0;
  virtual QString saveFile(QWidget *parent, const FileDialog &dialog) = 0;

  static Dialogs &instance();
  // Installs dialogs for the whole process (tests); nullptr restores the default ones.
  static void setInstance(Dialogs *dialogs);
  // The dialogs used when none are installed: the desktop's, set by a program with windows. Without
  // them every question is answered with its default button and its text goes to the log copy.
  static void setDefault(Dialogs *dialogs);

  // Converts a Windows-style filter into Qt's ("Description (*.a *.b);;Other (*.c)").
  static QString qtFilter(const QString &windowsFilter);
};
