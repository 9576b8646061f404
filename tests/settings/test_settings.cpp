#include "language/TranslationManager.h"
#include "platform/SettingsFile.h"
#include "tests/support/ScriptedDialogs.h"
#include "ui/settings/SettingsDialog.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

#include <csignal>
#include <sys/resource.h>

Q_DECLARE_METATYPE(RegValue)

namespace {
const QString kSheetKey = QStringLiteral("\\SOFTWARE\\Quarnel\\Tamberlin\\kvSerialOptionCaption");
const QString kAccess = QStringLiteral("Settings cannot be opened");
const QString kContinue = QStringLiteral("Settings could not be read");
const QString kStore = QStringLiteral("Settings could not be stored");

// A control that uses every key itself, Esc included.
class KeyTaker : public QWidget {
public:
  using QWidget::QWidget;
  int keys = 0;

protected:
  void keyPressEvent(QKeyEvent *e) override {
    ++keys;
    e->accept();
  }
  void keyReleaseEvent(QKeyEvent *e) override { e->accept(); }
};

// A window that owns a settings sheet, as the serial link manager does.
struct SheetOwner {
  QWidget window;
  QWidget *sheet;
  QComboBox *PortNumber;

  explicit SheetOwner(const QString &sheetName = QStringLiteral("kvSerialOptionCaption")) {
    window.setObjectName(QStringLiteral("COM"));
    sheet = new QWidget(&window);
    sheet->setObjectName(sheetName);
    sheet->setWindowTitle(QStringLiteral("Port"));
    auto *label = new QLabel(QStringLiteral("Port:"), sheet);
    label->setObjectName(QStringLiteral("kvSerialOptionPortLabel"));
    PortNumber = new QComboBox(sheet);
    PortNumber->setObjectName(QStringLiteral("PortNumber"));
    PortNumber->setEditable(true);
    PortNumber->addItems({QStringLiteral("offline"), QStringLiteral("COM1"), QStringLiteral("COM3")});
    PortNumber->setCurrentIndex(1);
    auto *button = new QPushButton(QStringLiteral("Find"), sheet);
    button->setObjectName(QStringLiteral("ButtonFindDeviceOnPort"));
  }
};

// While it lives, this process cannot make a file bigger than the given size (writes fail with
// EFBIG instead of raising SIGXFSZ).
class FileSizeLimit {
public:
  explicit FileSizeLimit(qint64 bytes) {
    getrlimit(RLIMIT_FSIZE, &m_saved);
    m_handler = signal(SIGXFSZ, SIG_IGN);
    rlimit limit = m_saved;
    limit.rlim_cur = rlim_t(bytes);
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &m_saved);
    signal(SIGXFSZ, m_handler);
  }

private:
  rlimit m_saved{};
  sighandler_t m_handler;
};

// Runs the dialog's modal loop; whileOpen acts as the user. A dialog still open afterwards is
// closed so that a failing check cannot hang the test.
int runModal(TOptions &dialog, const std::function<void()> &whileOpen, bool viaExecute = false,
             bool *executeResult = nullptr) {
  QTimer::singleShot(0, &dialog, [&] {
    whileOpen();
    if (dialog.isVisible())
      dialog.done(99);
  });
  if (viaExecute) {
    const bool ok = dialog.execute();
    if (executeResult)
      *executeResult = ok;
    return dialog.result();
  }
  return dialog.ShowModal();
}
} // namespace

class TestSettings : public QObject {
  Q_OBJECT
  std::unique_ptr<QTemporaryDir> config;
  QTemporaryDir programDir;
  LanguageSelect language;
  std::unique_ptr<ScriptedDialogs> dialogs;

  std::unique_ptr<TOptions> newOptions() {
    auto options = std::make_unique<TOptions>();
    options->setFieldBusName(QStringLiteral("Tamberlin"));
    options->language = &language;
    return options;
  }

  // Makes the settings file impossible to open: a path component is a regular file.
  void blockSettingsFolder() {
    QFile blocker(config->filePath(QStringLiteral("Quarnel")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
  }

private slots:
  void initTestCase() {
    QVERIFY(QDir(programDir.path()).mkpath(QStringLiteral("lang")));
    QFile file(programDir.filePath(QStringLiteral("lang/english_en_gb.ini")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[translations]\n"
               "messageRegistryAccessError=" +
               kAccess.toUtf8() +
               "\n"
               "messageRegistryContinueDefaults=" +
               kContinue.toUtf8() +
               "\n"
               "messageRegistryCannotNotStore=" +
               kStore.toUtf8() +
               "\n"
               "optionsCaption=Preferences\nbuttonOK=Accept\nbuttonCancel=Discard\n");
    file.close();
    language.setProgramDir(programDir.path());
    QVERIFY(language.readDefaultLang());
  }

  void init() {
    config = std::make_unique<QTemporaryDir>();
    qputenv("XDG_CONFIG_HOME", config->path().toLocal8Bit());
    dialogs = std::make_unique<ScriptedDialogs>();
  }
  void cleanup() { dialogs.reset(); }

  void readWalk_data() {
    QTest::addColumn<std::optional<RegValue>>("stored");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("index");
    QTest::addColumn<QStringList>("messages");
    RegValue expand;
    expand.type = RegValue::Type::Other;
    expand.rawType = 2;
    expand.data = QByteArray("C\0O\0M\0"
                             "3\0\0\0",
                             10);
    QTest::newRow("first run") << std::optional<RegValue>() << "" << -1 << QStringList();
    QTest::newRow("text in the list")
        << std::optional(RegValue::fromString("COM3")) << "COM3" << 2 << QStringList();
    QTest::newRow("text not in the list")
        << std::optional(RegValue::fromString("COM9")) << "COM9" << -1 << QStringList();
    QTest::newRow("list compared with case")
        << std::optional(RegValue::fromString("com3")) << "com3" << -1 << QStringList();
    QTest::newRow("empty string") << std::optional(RegValue::fromString("")) << "" << -1 << QStringList();
    QTest::newRow("expandable string") << std::optional(expand) << "COM3" << 2 << QStringList();
    QTest::newRow("dword") << std::optional(RegValue::fromDword(3)) << "COM1" << 1 << QStringList{kContinue};
    QTest::newRow("binary") << std::optional(RegValue::fromBinary("COM3")) << "COM1" << 1
                            << QStringList{kContinue};
  }
  void readWalk() {
    QFETCH(std::optional<RegValue>, stored);
    SettingsFile file;
    if (stored)
      QVERIFY(file.setValue(kSheetKey, QStringLiteral("PortNumber"), *stored));
    SheetOwner owner;
    auto options = newOptions();
    options->RegisterSheet(owner.sheet, QString());
    options->Read();
    QTEST(owner.PortNumber->currentText(), "text");
    QTEST(owner.PortNumber->currentIndex(), "index");
    QTEST(dialogs->messageTexts(), "messages");
    QVERIFY(file.keyExists(kSheetKey));
    for (const Dialogs::Message &m : dialogs->messages())
      QCOMPARE(m.caption, QGuiApplication::applicationDisplayName());
  }

  // A wrong type ends the walk: the sheets not yet visited keep what they show.
  void wrongTypeEndsTheWalk() {
    SettingsFile file;
    QVERIFY(file.setValue(kSheetKey, QStringLiteral("PortNumber"), RegValue::fromDword(1)));
    QVERIFY(file.setValue(QStringLiteral("\\SOFTWARE\\Quarnel\\Tamberlin\\second"),
                          QStringLiteral("PortNumber"), RegValue::fromString("COM3")));
    SheetOwner first, second(QStringLiteral("second"));
    auto options = newOptions();
    options->RegisterSheet(first.sheet, QString());
    options->RegisterSheet(second.sheet, QString());
    options->Read();
    QCOMPARE(dialogs->messageTexts(), QStringList{kContinue});
    QCOMPARE(second.PortNumber->currentText(), QStringLiteral("COM1"));
  }

  void storeWritesTheControlsOnly() {
    SettingsFile file;
    QVERIFY(file.setValue(QStringLiteral("\\SOFTWARE\\Quarnel\\Tamberlin"), QStringLiteral("WindowState"),
                          RegValue::fromBinary(QByteArray(1, 2))));
    SheetOwner first, second(QStringLiteral("second"));
    auto options = newOptions();
    options->RegisterSheet(first.sheet, QString());
    options->RegisterSheet(second.sheet, QString());
    first.PortNumber->setEditText(QStringLiteral("COM12"));
    second.PortNumber->setCurrentIndex(0);
    options->Store();
    QCOMPARE(dialogs->messageTexts(), QStringList());
    QCOMPARE(file.value(kSheetKey, QStringLiteral("PortNumber")),
             std::optional(RegValue::fromString("COM12")));
    QCOMPARE(
        file.value(QStringLiteral("\\SOFTWARE\\Quarnel\\Tamberlin\\second"), QStringLiteral("PortNumber")),
        std::optional(RegValue::fromString("offline")));
    QCOMPARE(file.valueNames(kSheetKey), QStringList{"PortNumber"});
    QCOMPARE(file.value(QStringLiteral("\\SOFTWARE\\Quarnel\\Tamberlin"), QStringLiteral("WindowState")),
             std::optional(RegValue::fromBinary(QByteArray(1, 2))));

    // What Store wrote, Read brings back.
    first.PortNumber->setEditText(QStringLiteral("changed"));
    options->Read();
    QCOMPARE(first.PortNumber->currentText(), QStringLiteral("COM12"));
  }

  void unopenableKeyIsReportedPerSheet() {
    blockSettingsFolder();
    SheetOwner first, second(QStringLiteral("second"));
    auto options = newOptions();
    options->RegisterSheet(first.sheet, QString());
    options->RegisterSheet(second.sheet, QString());
    first.PortNumber->setEditText(QStringLiteral("COM7"));
    options->Read();
    QCOMPARE(dialogs->messageTexts(), (QStringList{kAccess, kAccess}));
    QCOMPARE(first.PortNumber->currentText(), QStringLiteral("COM7")); // nothing was read into it
    dialogs->clear();
    options->Store();
    QCOMPARE(dialogs->messageTexts(), (QStringList{kAccess, kAccess}));
    QVERIFY(QFileInfo(config->filePath(QStringLiteral("Quarnel"))).isFile());
  }

  void failedWriteEndsTheStore() {
    SettingsFile file;
    QVERIFY(file.createKey(kSheetKey));
    SheetOwner first, second(QStringLiteral("second"));
    auto options = newOptions();
    options->RegisterSheet(first.sheet, QString());
    options->RegisterSheet(second.sheet, QString());
    {
      // The key opens, but the disk takes no file bigger than the one that is there.
      FileSizeLimit limit(QFileInfo(file.path()).size());
      options->Store();
    }
    QCOMPARE(dialogs->messageTexts(), QStringList{kStore});
    QVERIFY(!file.keyExists(QStringLiteral("\\SOFTWARE\\Quarnel\\Tamberlin\\second")));
    QVERIFY(!file.valueExists(kSheetKey, QStringLiteral("PortNumber")));
  }

  void getProp_data() {
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::newRow("as named") << "PortNumber"
                              << "COM3";
    QTest::newRow("lower case") << "portnumber"
                                << "COM3";
    QTest::newRow("upper case") << "PORTNUMBER"
                                << "COM3";
    QTest::newRow("not a setting") << "kvSerialOptionPortLabel"
                                   << "";
    QTest::newRow("unknown") << "Baud"
                             << "";
    QTest::newRow("empty") << ""
                           << "";
  }
  void getProp() {
    QFETCH(QString, key);
    SheetOwner first, second(QStringLiteral("second"));
    auto options = newOptions();
    options->RegisterSheet(first.sheet, QString());
    options->RegisterSheet(second.sheet, QString());
    first.PortNumber->setCurrentIndex(2);
    second.PortNumber->setEditText(QStringLiteral("second sheet"));
    QTEST(options->GetProp(key), "value");
    QTEST(options->StringProp(key), "value");
  }

  void registerSheetKeepsTheOwnersControls() {
    SheetOwner owner;
    auto options = newOptions();
    QCOMPARE(options->OptionPages->count(), 0);
    options->RegisterSheet(owner.sheet, QString());
    SheetOwner other(QStringLiteral("other"));
    options->RegisterSheet(other.sheet, QStringLiteral("Other page"));
    QCOMPARE(options->OptionPages->tabText(1), QStringLiteral("Other page"));
    QCOMPARE(options->OptionPages->currentWidget(), other.sheet);
    options->RegisterSheet(owner.sheet, QString());
    QCOMPARE(options->OptionPages->count(), 2);
    QCOMPARE(options->OptionPages->currentWidget(), owner.sheet);
    QCOMPARE(options->OptionPages->tabText(0), QStringLiteral("Port"));
    QCOMPARE(owner.sheet->objectName(), QStringLiteral("kvSerialOptionCaption"));
    QVERIFY(options->isAncestorOf(owner.PortNumber));
    owner.PortNumber->setEditText(QStringLiteral("COM5")); // the owner still reaches its control
    QCOMPARE(options->GetProp(QStringLiteral("PortNumber")), QStringLiteral("COM5"));
    // Its captions are still translated with its owner's.
    language.initCaptions(&owner.window, language.defaultLangStr);
    QCOMPARE(options->OptionPages->tabText(0), QStringLiteral("kvSerialOptionCaption"));
  }

  void closing_data() {
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("result");
    QTest::addColumn<QString>("stored");
    QTest::newRow("OK button") << "ok" << 1 << "COM9";
    QTest::newRow("Enter") << "enter" << 1 << "COM9";
    QTest::newRow("Cancel button") << "cancel" << 2 << "COM1";
    QTest::newRow("Esc in the port list") << "esc combo" << 2 << "COM1";
    QTest::newRow("Esc on the OK button") << "esc ok" << 2 << "COM1";
    QTest::newRow("Esc on the tabs") << "esc tabs" << 2 << "COM1";
    QTest::newRow("Esc in a control that takes keys") << "esc taker" << 2 << "COM1";
    QTest::newRow("other keys reach the control") << "key taker" << 99 << "COM1";
    QTest::newRow("close box") << "close" << 2 << "COM1";
  }
  void closing() {
    QFETCH(QString, how);
    SettingsFile file;
    QVERIFY(file.setValue(kSheetKey, QStringLiteral("PortNumber"), RegValue::fromString("COM1")));
    SheetOwner owner;
    auto *taker = new KeyTaker(owner.sheet);
    auto options = newOptions();
    options->RegisterSheet(owner.sheet, QString());
    bool executed = false;
    const int result = runModal(
        *options,
        [&] {
          QCOMPARE(owner.PortNumber->currentText(), QStringLiteral("COM1")); // read on opening
          owner.PortNumber->setEditText(QStringLiteral("COM9"));
          if (how == "ok")
            options->OKBtn->click();
          else if (how == "enter")
            QTest::keyClick(owner.PortNumber->lineEdit(), Qt::Key_Return);
          else if (how == "cancel")
            options->CancelBtn->click();
          else if (how == "esc combo")
            QTest::keyClick(owner.PortNumber->lineEdit(), Qt::Key_Escape);
          else if (how == "esc ok")
            QTest::keyClick(options->OKBtn, Qt::Key_Escape);
          else if (how == "esc tabs")
            QTest::keyClick(options->OptionPages->tabBar(), Qt::Key_Escape);
          else if (how == "esc taker")
            QTest::keyClick(taker, Qt::Key_Escape);
          else if (how == "key taker")
            QTest::keyClick(taker, Qt::Key_A);
          else if (how == "close")
            options->close();
        },
        true, &executed);
    QTEST(result, "result");
    QCOMPARE(executed, result == 1);
    QCOMPARE(taker->keys, how == "key taker" ? 1 : 0);
    QTEST(file.value(kSheetKey, QStringLiteral("PortNumber"))->string, "stored");
    // Unsaved edits stay in the control until the next opening reads the file.
    QCOMPARE(owner.PortNumber->currentText(), QStringLiteral("COM9"));
    QCOMPARE(options->GetProp(QStringLiteral("PortNumber")), QStringLiteral("COM9"));
    QCOMPARE(dialogs->messageTexts(), QStringList());
  }

  void captionsOnShowAndActivation() {
    SheetOwner owner;
    auto options = newOptions();
    options->RegisterSheet(owner.sheet, QString());
    QCOMPARE(options->windowTitle(), QStringLiteral("Settings"));
    QCOMPARE(options->OKBtn->text(), QStringLiteral("&OK"));
    runModal(*options, [&] {
      QCOMPARE(options->windowTitle(), QStringLiteral("Preferences"));
      QTRY_COMPARE(options->OKBtn->text(), QStringLiteral("Accept"));
      QCOMPARE(options->CancelBtn->text(), QStringLiteral("Discard"));
      options->CancelBtn->click();
    });
  }

  // Every opening reads twice (before the modal run and on showing), so an access problem is
  // reported twice; OK still closes with OK when storing fails.
  void openingWithAnUnopenableKey() {
    blockSettingsFolder();
    SheetOwner owner;
    auto options = newOptions();
    options->RegisterSheet(owner.sheet, QString());
    QStringList whileOpen;
    const int result = runModal(*options, [&] {
      whileOpen = dialogs->messageTexts();
      options->OKBtn->click();
    });
    QCOMPARE(whileOpen, (QStringList{kAccess, kAccess}));
    QCOMPARE(result, 1);
    QCOMPARE(dialogs->messageTexts(), (QStringList{kAccess, kAccess, kAccess}));
  }
};

QTEST_MAIN(TestSettings)
#include "test_settings.moc"
