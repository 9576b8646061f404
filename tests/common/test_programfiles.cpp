#include "common/ProgramFiles.h"
#include "language/TranslationManager.h"
#include "platform/VersionInfo.h"
#include "tests/support/ScriptedDialogs.h"
#include "ui/AboutWindow.h"

#include <QDir>
#include <QFile>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>

#include <memory>

// The data files lie beside the program in the build folder and in ../share/tamberlin/ from the
// program in an install tree (bin/tamberlin, share/tamberlin/lang/...).
class TestProgramFiles : public QObject {
  Q_OBJECT
  std::unique_ptr<QTemporaryDir> root;

  QString bin() const { return root->filePath(QStringLiteral("bin")); }
  QString share() const { return root->filePath(QStringLiteral("share/tamberlin")); }

  static void writeFile(const QString &path, const QByteArray &bytes) {
    QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(bytes), bytes.size());
  }

private slots:
  void init() {
    root = std::make_unique<QTemporaryDir>();
    QVERIFY(QDir().mkpath(bin()));
  }

  void besideTheProgram() {
    writeFile(bin() + QStringLiteral("/lang/english_en_gb.ini"), "x");
    QCOMPARE(programFilePath(bin(), QStringLiteral("lang/english_en_gb.ini")),
             bin() + QStringLiteral("/lang/english_en_gb.ini"));
  }

  void inTheInstallTree() {
    writeFile(share() + QStringLiteral("/readme.rtf"), "x");
    QCOMPARE(programFilePath(bin(), QStringLiteral("readme.rtf")), share() + QStringLiteral("/readme.rtf"));
  }

  void besideWinsOverTheInstallTree() {
    writeFile(bin() + QStringLiteral("/readme.rtf"), "beside");
    writeFile(share() + QStringLiteral("/readme.rtf"), "installed");
    QCOMPARE(programFilePath(bin(), QStringLiteral("readme.rtf")), bin() + QStringLiteral("/readme.rtf"));
  }

  void missingEverywhereNamesThePathBeside() {
    QCOMPARE(programFilePath(bin(), QStringLiteral("lastCommits.ini")),
             bin() + QStringLiteral("/lastCommits.ini"));
  }

  void languageFileFromTheInstallTree() {
    writeFile(share() + QStringLiteral("/lang/english_en_gb.ini"), "[translations]\nbuttonOK=Close\n");
    LanguageSelect language;
    language.setProgramDir(bin());
    QVERIFY(language.readDefaultLang());
    QCOMPARE(language.translate(QStringLiteral("buttonOK")), QStringLiteral("Close"));
  }

  void aboutWindowDocumentsFromTheInstallTree() {
    writeFile(share() + QStringLiteral("/lang/english_en_gb.ini"),
              "[translations]\nhelp.readme=readme.rtf\nhelp.eula=eula.rtf\n");
    writeFile(share() + QStringLiteral("/readme.rtf"), "{\\rtf1 Installed read-me}");
    writeFile(share() + QStringLiteral("/eula.rtf"), "{\\rtf1 Installed licence}");
    writeFile(share() + QStringLiteral("/lastCommits.ini"), "Installed change");
    LanguageSelect language;
    language.setProgramDir(bin());
    QVERIFY(language.readDefaultLang());
    ScriptedDialogs dialogs;
    VersionData data;
    data.strings = {{"ProductName", "Tamberlin"}, {"ProductVersion", "1.0.0"}};
    FixedVersionInfo version(data);

    THelpAbout about;
    about.setProgramDir(bin());
    about.language = &language;
    about.setContentFile(QStringLiteral("help.readme"));
    about.setEulaText(QStringLiteral("help.eula"));
    about.FormActivate();
    QCOMPARE(about.PageControlVersionInfo->count(), 3);
    QCOMPARE(about.fileLines->toPlainText(), QStringLiteral("Installed read-me"));
    QCOMPARE(about.eulaLines->toPlainText(), QStringLiteral("Installed licence"));
    about.Memo1DblClick();
    QCOMPARE(dialogs.messageTexts(), QStringList{"Installed change\n\r \n\r"});
  }
};

QTEST_MAIN(TestProgramFiles)
#include "test_programfiles.moc"
