#include "language/ComponentOwner.h"
#include "language/LanguageFile.h"
#include "language/TranslationManager.h"

#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using Lookups = QList<std::pair<QString, QString>>;
Q_DECLARE_METATYPE(Lookups)

class TestLanguage : public QObject {
  Q_OBJECT
  QTemporaryDir dir;

  // A language select that reads bytes as its language file.
  std::unique_ptr<LanguageSelect> languageWith(const QByteArray &bytes, bool *loaded = nullptr) {
    QDir(dir.path()).mkpath(QStringLiteral("lang"));
    QFile f(dir.filePath(QStringLiteral("lang/english_en_gb.ini")));
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
      qFatal("cannot write the language file");
    f.close();
    auto l = std::make_unique<LanguageSelect>(QStringLiteral("HKEY_CURRENT_USER"),
                                              QStringLiteral("\\SOFTWARE\\Quarnel\\Tamberlin"));
    l->setProgramDir(dir.path());
    const bool ok = l->readDefaultLang();
    if (loaded)
      *loaded = ok;
    return l;
  }

private slots:
  void fileFormat_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<bool>("loaded");
    QTest::addColumn<Lookups>("lookups");
    using L = Lookups;
    QTest::newRow("plain") << QByteArray("[translations]\nbuttonOK=OK\n") << true << L{{"buttonOK", "OK"}};
    QTest::newRow("byte-order mark skipped")
        << QByteArray("\xEF\xBB\xBF[translations]\r\nk=v") << true << L{{"k", "v"}};
    QTest::newRow("CR LF, LF and CR") << QByteArray("[translations]\r\na=1\nb=2\rc=3\r\n\r\nd=4") << true
                                      << L{{"a", "1"}, {"b", "2"}, {"c", "3"}, {"d", "4"}};
    QTest::newRow("trimmed around key, = and end")
        << QByteArray("  [ Translations ]  \n\t key \t=  some text \x01\x1f \n") << true
        << L{{"key", "some text"}};
    QTest::newRow("first = splits") << QByteArray("[translations]\na = b = c\n") << true << L{{"a", "b = c"}};
    QTest::newRow("comments and empty lines") << QByteArray("[translations]\n;x=1\n\n   \n  ;y=2\nz=3")
                                              << true << L{{"x", "x"}, {"y", "y"}, {";x", ";x"}, {"z", "3"}};
    QTest::newRow("lines before the first section")
        << QByteArray("a=1\n[translations]\nb=2") << true << L{{"a", "a"}, {"b", "2"}};
    QTest::newRow("only the translations section")
        << QByteArray("[other]\na=1\n[translations]\nb=2\n[more]\nc=3") << true
        << L{{"a", "a"}, {"b", "2"}, {"c", "c"}};
    QTest::newRow("section name any case") << QByteArray("[TRANSLATIONS]\nb=2") << true << L{{"b", "2"}};
    QTest::newRow("line without = has an empty key")
        << QByteArray("[translations]\nloose words\n") << true
        << L{{"", "loose words"}, {"loose words", "loose words"}};
    QTest::newRow("keys ignore case, first wins") << QByteArray("[translations]\nKey=first\nkEY=second\n")
                                                  << true << L{{"key", "first"}, {"KEY", "first"}};
    QTest::newRow("line breaks decoded")
        << QByteArray("[translations]\na=one#13#10#13#10two\nb=#13#10start\nc=\nd=#13#1\n") << true
        << L{{"a", "one\r\n\r\ntwo"}, {"b", "\r\nstart"}, {"c", ""}, {"d", "#13#1"}};
    QTest::newRow("UTF-8 texts") << QByteArray("[translations]\nk=Gr\xc3\xbc\xc3\x9f\x65 \xe2\x82\xac")
                                 << true << L{{"k", QString::fromUtf8("Grüße €")}};
    QTest::newRow("invalid UTF-8 does not stop the file")
        << QByteArray("[translations]\nbad=a\xff\xfe"
                      "b\nok=fine\n")
        << true
        << L{{"bad", QString::fromUtf8("a\xef\xbf\xbd\xef\xbf\xbd"
                                       "b")},
             {"ok", "fine"}};
    QTest::newRow("empty file") << QByteArray() << false << L{{"buttonOK", "buttonOK"}};
    QTest::newRow("only a byte-order mark") << QByteArray("\xEF\xBB\xBF") << false << L{{"a", "a"}};
    QTest::newRow("empty translations section")
        << QByteArray("[translations]\n;nothing\n[x]\na=1") << false << L{{"a", "a"}};
    QTest::newRow("binary") << QByteArray("\x00\x01\x02[\xff]\x00=\x00\n\x7f\x80", 12) << false
                            << L{{"x", "x"}};
    QTest::newRow("binary with a section")
        << QByteArray("\x00\x01\n[translations]\n\x00\x05k\x00=\x01v\x02\n", 27) << true << L{{"k", "v"}};
  }
  void fileFormat() {
    QFETCH(QByteArray, file);
    QFETCH(bool, loaded);
    QFETCH(Lookups, lookups);
    bool ok = false;
    auto l = languageWith(file, &ok);
    QCOMPARE(ok, loaded);
    QCOMPARE(l->defaultLangStr, QStringLiteral("english"));
    for (const auto &[key, text] : lookups)
      QCOMPARE(l->translate(key), text);
  }

  void missingFolderTranslatesToKeys() {
    LanguageSelect l;
    l.setProgramDir(dir.filePath(QStringLiteral("nowhere")));
    QVERIFY(!l.readDefaultLang());
    QCOMPARE(l.translate(QStringLiteral("buttonOK")), QStringLiteral("buttonOK"));
    QCOMPARE(l.translateBlock(QStringLiteral("helpAbout")), QString());
    QVERIFY(l.lastError().isEmpty());
    QVERIFY(!l.readFile(QString()));
  }

  void unreadableFileRunsOnKeys() {
    QTemporaryDir other;
    QVERIFY(QDir(other.path()).mkpath(QStringLiteral("lang/english_en_gb.ini"))); // a folder, not a file
    LanguageSelect l;
    l.setProgramDir(other.path());
    QVERIFY(!l.readDefaultLang());
    QVERIFY(!l.lastError().isEmpty());
    QCOMPARE(l.translate(QStringLiteral("k")), QStringLiteral("k"));
  }

  void reloadForgetsTheOldFile() {
    auto l = languageWith("[translations]\na=1\n");
    languageWith("[translations]\nb=2\n");
    QVERIFY(l->readDefaultLang());
    QCOMPARE(l->translate(QStringLiteral("a")), QStringLiteral("a"));
    QCOMPARE(l->translate(QStringLiteral("b")), QStringLiteral("2"));
  }

  void hugeLinesAndManyKeys() {
    QByteArray file("[translations]\nlong=");
    file.append(QByteArray(8 << 20, 'x'));
    file.append("\n");
    for (int i = 0; i < 50000; ++i)
      file.append("key" + QByteArray::number(i) + "=" + QByteArray::number(i) + "\n");
    QElapsedTimer t;
    t.start();
    auto l = languageWith(file);
    for (int i = 0; i < 50000; ++i)
      QCOMPARE(l->translate(QStringLiteral("KEY%1").arg(i)), QString::number(i));
    QCOMPARE(l->translate(QStringLiteral("long")).size(), 8 << 20);
    QVERIFY2(t.elapsed() < 20000, "lookups must not scan the whole list");
  }

  void translateBlock_data() {
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<QString>("block");
    QTest::newRow("joined in file order") << "helpAbout"
                                          << "First.\r\nSecond.Third";
    QTest::newRow("prefix is case-sensitive") << "HELPABOUT"
                                              << "upper";
    QTest::newRow("no match") << "nothing"
                              << "";
    QTest::newRow("breaks decoded after joining") << "split"
                                                  << "a\r\nb";
  }
  void translateBlock() {
    QFETCH(QString, prefix);
    QFETCH(QString, block);
    auto l = languageWith("[translations]\n"
                          "helpAbout1=First.#13#10\n"
                          "other=x\n"
                          "helpAbout2=Second.\n"
                          "HELPABOUT9=upper\n"
                          "helpAbout3=Third\n"
                          "split1=a#13\n"
                          "split2=#10b\n");
    QCOMPARE(l->translateBlock(prefix), block);
  }

  void initCaptions() {
    auto l = languageWith("[translations]\n"
                          "kvSerial=Port manager\n"
                          "kvSerialOptionCaption=Port\n"
                          "kvSerialOptionPortLabel=Serial port\n"
                          "emptyLabel=should not show\n"
                          "PortNumber=combo text\n"
                          "Button1=button text\n"
                          "=empty key\n");
    QWidget owner;
    owner.setObjectName(QStringLiteral("kvSerial"));
    owner.setWindowTitle(QStringLiteral("COM"));
    auto *ownTabs = new QTabWidget(&owner);
    auto *kept = new QWidget;
    kept->setObjectName(QStringLiteral("keptSheet"));
    ownTabs->addTab(kept, QStringLiteral("kept"));
    auto *sheet = new QWidget(&owner);
    sheet->setObjectName(QStringLiteral("kvSerialOptionCaption"));
    auto *label = new QLabel(QStringLiteral("Port:"), sheet);
    label->setObjectName(QStringLiteral("kvSerialOptionPortLabel"));
    auto *emptyLabel = new QLabel(sheet);
    emptyLabel->setObjectName(QStringLiteral("emptyLabel"));
    auto *unnamed = new QLabel(QStringLiteral("unnamed"), sheet);
    auto *untranslated = new QLabel(QStringLiteral("before"), sheet);
    untranslated->setObjectName(QStringLiteral("noKeyLabel"));
    auto *combo = new QComboBox(sheet);
    combo->setObjectName(QStringLiteral("PortNumber"));
    combo->setEditable(true);
    combo->setEditText(QStringLiteral("COM1"));
    auto *button = new QPushButton(QStringLiteral("Search"), sheet);
    button->setObjectName(QStringLiteral("Button1"));

    // The sheet is shown in another window's page control, yet it is still the owner's.
    QWidget dialog;
    auto *pages = new QTabWidget(&dialog);
    setComponentOwner(sheet, &owner);
    pages->addTab(sheet, QStringLiteral("kvSerialOptionCaption"));

    l->initCaptions(&owner, l->defaultLangStr);

    QCOMPARE(owner.windowTitle(), QStringLiteral("Port manager"));
    QCOMPARE(pages->tabText(0), QStringLiteral("Port"));
    QCOMPARE(ownTabs->tabText(0), QStringLiteral("keptSheet")); // no key: its own name
    QCOMPARE(label->text(), QStringLiteral("Serial port"));
    QCOMPARE(emptyLabel->text(), QString());
    QCOMPARE(unnamed->text(), QStringLiteral("unnamed"));
    QCOMPARE(untranslated->text(), QStringLiteral("noKeyLabel"));
    QCOMPARE(combo->currentText(), QStringLiteral("COM1"));
    QCOMPARE(button->text(), QStringLiteral("Search"));
    QCOMPARE(dialog.windowTitle(), QString()); // another window's caption is not touched
  }

  void initCaptionsLeavesEmptyCaptions() {
    auto l = languageWith("[translations]\nwin=Window\npage=Page\n");
    QWidget win;
    win.setObjectName(QStringLiteral("win"));
    auto *tabs = new QTabWidget(&win);
    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("page"));
    tabs->addTab(page, QString());
    l->initCaptions(&win, QString());
    QCOMPARE(win.windowTitle(), QString());
    QCOMPARE(tabs->tabText(0), QString());
  }

  // The file we ship has a good text for every key the program asks for.
  void shippedLanguageFile() {
    const QString buildDir = qEnvironmentVariable("TAMBERLIN_BUILD_DIR");
    QVERIFY(!buildDir.isEmpty());
    LanguageSelect l;
    l.setProgramDir(buildDir);
    QVERIFY(l.readDefaultLang());
    const QStringList keys{"optionsCaption",
                           "buttonOK",
                           "buttonCancel",
                           "messageRegistryAccessError",
                           "messageRegistryContinueDefaults",
                           "messageRegistryCannotNotStore",
                           "kvSerialOptionCaption",
                           "kvSerialOptionPortLabel",
                           "kvSerialDetectUSBCome",
                           "kvSerialUseUSBCome",
                           "kvSerialHint",
                           "captionHelpAbout",
                           "captionVersionInfo",
                           "captionReadMe",
                           "captionEula",
                           "help.readme",
                           "help.eula"};
    for (const QString &key : keys) {
      const QString text = l.translate(key);
      QVERIFY2(text != key && !text.trimmed().isEmpty(), qPrintable(key));
    }
    QCOMPARE(l.translate(QStringLiteral("kvSerialDetectUSBCome")), QStringLiteral("yes"));
    const QString question = l.translate(QStringLiteral("kvSerialUseUSBCome"));
    QCOMPARE(question.count(QStringLiteral("%s")), 1);
    QCOMPARE(question.count(u'%'), 1);
    QVERIFY(l.translateBlock(QStringLiteral("helpAbout")).contains(QStringLiteral("KORVANE")));
    QVERIFY(QFile::exists(buildDir + u'/' + l.translate(QStringLiteral("help.readme"))));
    QVERIFY(!QFile::exists(buildDir + u'/' + l.translate(QStringLiteral("help.eula"))));
  }
};

QTEST_MAIN(TestLanguage)
#include "test_language.moc"
