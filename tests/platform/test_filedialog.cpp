// The desktop's open dialog names the chosen file as the system writes paths: Qt's own dialog
// answers with "/" on every system, which a Windows user does not recognise as the file's name.
#include "platform/QtDialogs.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

class TestFileDialog : public QObject {
  Q_OBJECT
private slots:
  // Qt's own dialog, which the test can answer, in place of the system's.
  void initTestCase() { QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs); }

  void chosenFileHasTheSystemsSeparators() {
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("line 4")));
    const QString chosen = dir.filePath(QStringLiteral("line 4/Zähler.qcs"));
    QFile file(chosen);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();

    // The person at the dialog types the file's whole name and confirms. (Picking it in the folder
    // view races the view's loading: the dialog may resolve the name in the folder it showed
    // before, and then stops with a "File not found" box.)
    bool answered = false;
    QTimer person;
    connect(&person, &QTimer::timeout, this, [&] {
      for (QWidget *w : QApplication::topLevelWidgets()) {
        auto *dialog = qobject_cast<QFileDialog *>(w);
        auto *name = dialog ? dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")) : nullptr;
        if (!name || !dialog->isVisible() || answered)
          continue;
        answered = true;
        name->setText(QDir::toNativeSeparators(chosen));
        QMetaObject::invokeMethod(dialog, "accept");
      }
    });
    person.start(20);
    Dialogs::FileDialog request;
    request.title = QStringLiteral("Open");
    request.filter = QStringLiteral("Quarnel compiled script file|*.qcs");
    request.directory = dir.path();
    request.mustExist = true;
    const QString path = QtDialogs().openFile(nullptr, request);

    QVERIFY(answered);
    QCOMPARE(path, QDir::toNativeSeparators(chosen));
    QVERIFY(QFile::exists(path));
  }
};

QTEST_MAIN(TestFileDialog)
#include "test_filedialog.moc"
