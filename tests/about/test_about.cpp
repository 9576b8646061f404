#include "language/TranslationManager.h"
#include "platform/VersionInfo.h"
#include "tests/support/ScriptedDialogs.h"
#include "ui/AboutText.h"
#include "ui/AboutWindow.h"

#include "BuildInfo.h"

#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>

#include <memory>

Q_DECLARE_METATYPE(std::optional<VersionData>)

namespace {
const QString kDashes(102, u'-');

QStringList tabTexts(const QTabWidget *tabs) {
  QStringList texts;
  for (int i = 0; i < tabs->count(); ++i)
    texts << tabs->tabText(i);
  return texts;
}

VersionData fullData() {
  VersionData d;
  d.strings = {{"ProductName", "Tamberlin"},
               {"ProductVersion", "2.5.1"},
               {"LegalCopyright", "Copyright (C) Quarnel\r\nAll rights reserved"},
               {"LegalTrademarks", "KORVANE is a trademark"}};
  return d;
}
} // namespace

class TestAbout : public QObject {
  Q_OBJECT
  std::unique_ptr<QTemporaryDir> dir;
  std::unique_ptr<LanguageSelect> language;
  std::unique_ptr<ScriptedDialogs> dialogs;

  void writeFile(const QString &name, const QByteArray &bytes) {
    QFile f(dir->filePath(name));
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(bytes), bytes.size());
  }

  void useLanguage(const QByteArray &file) {
    QVERIFY(QDir(dir->path()).mkpath(QStringLiteral("lang")));
    writeFile(QStringLiteral("lang/english_en_gb.ini"), file);
    QVERIFY(language->readDefaultLang());
  }

  // The window as the main window prepares it.
  std::unique_ptr<THelpAbout> preparedWindow() {
    auto about = std::make_unique<THelpAbout>();
    about->setProgramDir(dir->path());
    about->language = language.get();
    about->setContentFile(QStringLiteral("help.readme"));
    about->setEulaText(QStringLiteral("help.eula"));
    about->PageControlVersionInfo->setCurrentIndex(1);
    return about;
  }

  static const QByteArray &standardLanguage() {
    static const QByteArray file("[translations]\n"
                                 "captionHelpAbout=About it\ncaptionVersionInfo=Version\n"
                                 "captionReadMe=Read me\ncaptionEula=Licence\nbuttonOK=Close\n"
                                 "helpAbout1=First line.#13#10\nhelpAbout2=Second line.\n"
                                 "help.readme=readme.rtf\nhelp.eula=licence.txt\n");
    return file;
  }

private slots:
  void init() {
    dir = std::make_unique<QTemporaryDir>();
    language = std::make_unique<LanguageSelect>();
    language->setProgramDir(dir->path());
    dialogs = std::make_unique<ScriptedDialogs>();
  }
  void cleanup() {
    dialogs.reset();
    language.reset();
  }

  void tabsForDocuments_data() {
    QTest::addColumn<bool>("readMe");
    QTest::addColumn<bool>("licence");
    QTest::addColumn<QStringList>("tabs");
    QTest::addColumn<int>("current");
    QTest::newRow("both") << true << true << QStringList{"Version", "Read me", "Licence"} << 1;
    QTest::newRow("read-me only") << true << false << QStringList{"Version", "Read me"} << 0;
    QTest::newRow("licence only") << false << true << QStringList{"Version", "Licence"} << 0;
    QTest::newRow("neither") << false << false << QStringList{"Version"} << 0;
  }
  void tabsForDocuments() {
    QFETCH(bool, readMe);
    QFETCH(bool, licence);
    useLanguage(standardLanguage());
    if (readMe)
      writeFile(QStringLiteral("readme.rtf"), "{\\rtf1 {\\b Read} this}");
    if (licence)
      writeFile(QStringLiteral("licence.txt"), QByteArray("\xFF\xFEL\0i\0c\0", 8));
    FixedVersionInfo version(fullData());
    auto about = preparedWindow();
    about->FormActivate();
    QTEST(tabTexts(about->PageControlVersionInfo), "tabs");
    QTEST(about->PageControlVersionInfo->currentIndex(), "current");
    if (readMe)
      QCOMPARE(about->fileLines->toPlainText(), QStringLiteral("Read this"));
    if (licence)
      QCOMPARE(about->eulaLines->toPlainText(), QStringLiteral("Lic"));

    // Documents that appear later do not bring their tabs back.
    writeFile(QStringLiteral("readme.rtf"), "{\\rtf1 now}");
    writeFile(QStringLiteral("licence.txt"), "now");
    about->FormActivate();
    QTEST(tabTexts(about->PageControlVersionInfo), "tabs");
  }

  void withoutLanguageFile() {
    writeFile(QStringLiteral("help.readme"), "plain read-me");
    FixedVersionInfo version(fullData());
    auto about = preparedWindow();
    about->FormActivate();
    QCOMPARE(about->windowTitle(), QStringLiteral("captionHelpAbout"));
    QCOMPARE(about->BitBtn1->text(), QStringLiteral("buttonOK"));
    QCOMPARE(tabTexts(about->PageControlVersionInfo), (QStringList{"captionVersionInfo", "captionReadMe"}));
    QCOMPARE(about->fileLines->toPlainText(), QStringLiteral("plain read-me"));
    QCOMPARE(about->Memo2->toPlainText(),
             QStringLiteral("Copyright (C) Quarnel\nAll rights reserved\n\nKORVANE is a trademark\n\n"));
  }

  // A licence key without a text names the file by the key itself; a folder is no document.
  void licenceNameFallsBackToTheKey() {
    useLanguage("[translations]\nhelp.eula=\nhelp.readme=\n");
    writeFile(QStringLiteral("help.eula"), "terms");
    FixedVersionInfo version(fullData());
    auto about = preparedWindow();
    about->FormActivate();
    QCOMPARE(tabTexts(about->PageControlVersionInfo), (QStringList{"captionVersionInfo", "captionEula"}));
    QCOMPARE(about->eulaLines->toPlainText(), QStringLiteral("terms"));
  }

  void versionValues_data() {
    QTest::addColumn<std::optional<VersionData>>("data");
    QTest::addColumn<QString>("product");
    QTest::addColumn<QString>("values");
    const QString about = QStringLiteral("\n\nFirst line.\nSecond line.");
    QTest::newRow("all values") << std::optional(fullData()) << "Tamberlin V2.5.1"
                                << "Copyright (C) Quarnel\nAll rights reserved\n\nKORVANE is a trademark" +
                                       about;
    VersionData noTrademarks = fullData();
    noTrademarks.strings.remove("LegalTrademarks");
    QTest::newRow("no trademarks")
        << std::optional(noTrademarks) << "Tamberlin V2.5.1"
        << "Copyright (C) Quarnel\nAll rights reserved\n\n LegalTrademarks not available" + about;
    VersionData noVersion = fullData();
    noVersion.strings.remove("ProductVersion");
    QTest::newRow("no version") << std::optional(noVersion) << "Tamberlin V ProductVersion not available"
                                << "Copyright (C) Quarnel\nAll rights reserved\n\nKORVANE is a trademark" +
                                       about;
    QTest::newRow("no version data") << std::optional<VersionData>() << ""
                                     << "\n\n" + about;
  }
  void versionValues() {
    QFETCH(std::optional<VersionData>, data);
    QFETCH(QString, product);
    useLanguage(standardLanguage());
    FixedVersionInfo version(data);
    auto about = preparedWindow();
    about->FormActivate();
    about->FormActivate(); // twice: the same contents once
    QCOMPARE(about->Memo1->toPlainText(), product + u'\n' + kDashes);
    QCOMPARE(about->Memo1->document()->firstBlock().blockFormat().alignment(), Qt::AlignHCenter);
    QTEST(about->Memo2->toPlainText(), "values");
    QCOMPARE(GetProductVersion(),
             data ? data->strings.value("ProductVersion", " ProductVersion not available") : "");
  }

  void compiledVersionData() {
    QCOMPARE(GetProductVersion(), QString::fromUtf8(buildinfo::ProductVersion));
    QCOMPARE(GetProductInfoString(),
             QString::fromUtf8(buildinfo::ProductName) + " V" + QString::fromUtf8(buildinfo::ProductVersion));
    QCOMPARE(GetLegalCopyright(), QString::fromUtf8(buildinfo::LegalCopyright));
    QCOMPARE(GetLegalTrademarks(), QString::fromUtf8(buildinfo::LegalTrademarks));
    QCOMPARE(GetVersionInfoValue(VersionData{}, "Comments"), QStringLiteral(" Comments not available"));
  }

  void changeLog_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("message");
    const QString gap = QStringLiteral("\n\r \n\r");
    QTest::newRow("LF lines") << QByteArray("first\nsecond") << "first" + gap + "second" + gap;
    QTest::newRow("CR LF, final break")
        << QByteArray("first\r\nsecond\r\n") << "first" + gap + "second" + gap;
    QTest::newRow("empty line kept") << QByteArray("a\n\nb\n") << "a" + gap + gap + "b" + gap;
    QTest::newRow("UTF-8 mark") << QByteArray("\xEF\xBB\xBF\xC3\xA9t\xC3\xA9")
                                << QString::fromUtf8("été") + gap;
    QTest::newRow("binary") << QByteArray("\x00\x01"
                                          "ab\x7f\n\x1b",
                                          7)
                            << QString::fromUtf8("\uFFFD\uFFFDab\uFFFD") + gap + QString::fromUtf8("\uFFFD") +
                                   gap;
    QTest::newRow("empty file") << QByteArray() << "";
  }
  void changeLog() {
    QFETCH(QByteArray, file);
    writeFile(QStringLiteral("lastCommits.ini"), file);
    FixedVersionInfo version(fullData());
    auto about = preparedWindow();
    about->FormActivate();
    about->Memo1DblClick();
    QCOMPARE(dialogs->messages().size(), 1);
    QCOMPARE(dialogs->messages().first().caption, QStringLiteral("Change log"));
    QCOMPARE(dialogs->messages().first().buttons, Dialogs::Buttons::Ok);
    QTEST(dialogs->messages().first().text, "message");
  }

  void changeLogTooLongForAMessageIsCut() {
    const QString many = AboutText::changeLog(QByteArray(10000, 'x'));
    QVERIFY(many.size() <= AboutText::maxChangeLogChars + 10);
    QVERIFY(many.endsWith(QStringLiteral("...\n\r \n\r")));
    QByteArray lines;
    for (int i = 0; i < 1000; ++i)
      lines += "commit " + QByteArray::number(i) + "\n";
    const QString cut = AboutText::changeLog(lines);
    QCOMPARE(cut.count(QStringLiteral("commit")), AboutText::maxChangeLogLines);
  }

  void doubleClickShowsTheChangeLog() {
    FixedVersionInfo version(fullData());
    auto about = preparedWindow();
    about->FormActivate();
    QTest::mouseDClick(about->Memo1->viewport(), Qt::LeftButton);
    QCOMPARE(dialogs->messages().size(), 0); // no file: nothing shown
    writeFile(QStringLiteral("lastCommits.ini"), "Fix port search");
    QTest::mouseDClick(about->Memo1->viewport(), Qt::LeftButton);
    QCOMPARE(dialogs->messageTexts(), QStringList{"Fix port search\n\r \n\r"});
  }

  void activationRebuildsAndOkHides() {
    useLanguage(standardLanguage());
    FixedVersionInfo version(fullData());
    auto about = preparedWindow();
    about->show();
    about->activateWindow();
    QTRY_COMPARE(about->windowTitle(), QStringLiteral("About it"));
    QCOMPARE(about->BitBtn1->text(), QStringLiteral("Close"));
    QCOMPARE(tabTexts(about->PageControlVersionInfo), QStringList{"Version"});
    about->BitBtn1->click();
    QVERIFY(!about->isVisible());
  }

  // What we ship beside the program makes a complete window: read-me, no licence, version data.
  void shippedFiles() {
    const QString buildDir = qEnvironmentVariable("TAMBERLIN_BUILD_DIR");
    QVERIFY(!buildDir.isEmpty());
    LanguageSelect shipped;
    shipped.setProgramDir(buildDir);
    QVERIFY(shipped.readDefaultLang());
    THelpAbout about;
    about.setProgramDir(buildDir);
    about.language = &shipped;
    about.setContentFile(QStringLiteral("help.readme"));
    about.setEulaText(QStringLiteral("help.eula"));
    about.PageControlVersionInfo->setCurrentIndex(1);
    about.FormActivate();
    QCOMPARE(about.PageControlVersionInfo->count(), 2);
    // Without a licence the first tab comes to the front, whatever the main window selected.
    QCOMPARE(about.PageControlVersionInfo->currentWidget(), about.TabSheetVersionInfo);
    QVERIFY(about.fileLines->toPlainText().contains(QStringLiteral("dialout")));
    QVERIFY(about.Memo1->toPlainText().startsWith(GetProductInfoString()));
    QVERIFY(about.Memo2->toPlainText().contains(QStringLiteral("KORVANE")));
  }
};

QTEST_MAIN(TestAbout)
#include "test_about.moc"
