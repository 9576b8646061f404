// The language file: parsed, loaded by the translation manager and looked up by key and by block.
// Properties: a key translates to the text of its first entry in the "translations" section (any
// other key to itself), a block joins the texts of the keys it begins, and every entry the parser
// keeps is trimmed and outside comments.
#include "fuzz/FuzzCheck.h"
#include "fuzz/FuzzInput.h"
#include "language/LanguageFile.h"
#include "language/TranslationManager.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QTemporaryDir>

namespace {

QTemporaryDir *programDir = nullptr;

QString expectedLineBreaks(QString text) {
  return text.replace(QStringLiteral("#13#10"), QStringLiteral("\r\n"));
}

void checkParsed(const LanguageFile &file) {
  for (const LanguageFile::Section &section : file.sections) {
    FUZZ_CHECK(section.name == LanguageFile::trimmed(section.name), "section names are trimmed");
    FUZZ_CHECK(file.section(section.name) != nullptr, "every section is found by its name");
    for (const LanguageFile::Entry &entry : section.entries) {
      FUZZ_CHECK(entry.key == LanguageFile::trimmed(entry.key), "keys are trimmed");
      FUZZ_CHECK(entry.text == LanguageFile::trimmed(entry.text), "texts are trimmed");
      FUZZ_CHECK(!entry.key.contains(u'\n') && !entry.text.contains(u'\n'), "an entry is one line");
    }
  }
}

bool load(LanguageSelect &language, const QByteArray &bytes) {
  QFile out(programDir->filePath(QStringLiteral("lang/english_en_gb.ini")));
  FUZZ_CHECK(out.open(QIODevice::WriteOnly | QIODevice::Truncate), "the language file can be written");
  out.write(bytes);
  out.close();
  language.setProgramDir(programDir->path());
  return language.readDefaultLang();
}

void checkLookups(const LanguageSelect &language, const LanguageFile::Section *translations,
                  const QString &probe) {
  const QList<LanguageFile::Entry> entries =
      translations ? translations->entries : QList<LanguageFile::Entry>();
  QHash<QString, QString> first;
  for (const LanguageFile::Entry &entry : entries)
    first.insert(entry.key.toCaseFolded(), first.value(entry.key.toCaseFolded(), entry.text));
  for (const LanguageFile::Entry &entry : entries)
    FUZZ_CHECK(language.translate(entry.key) == expectedLineBreaks(first.value(entry.key.toCaseFolded())),
               "a key gives its first text");
  bool known = false;
  QString block;
  for (const LanguageFile::Entry &e : entries) {
    known = known || e.key.toCaseFolded() == probe.toCaseFolded();
    if (e.key.startsWith(probe))
      block += e.text;
  }
  if (!known)
    FUZZ_CHECK(language.translate(probe) == expectedLineBreaks(probe), "an unknown key gives itself");
  FUZZ_CHECK(language.translateBlock(probe) == expectedLineBreaks(block), "a block joins its keys' texts");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv) {
  static QCoreApplication app(*argc, *argv);
  static QTemporaryDir dir; // removed at exit
  programDir = &dir;
  QDir(programDir->path()).mkpath(QStringLiteral("lang"));
  return 0;
}

// Input: a key to look up (one length byte, then its bytes), then the file.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  FuzzInput input(data, size);
  const QString probe = QString::fromUtf8(input.shortBytes());
  const QByteArray bytes = input.rest();
  const LanguageFile file = LanguageFile::parse(bytes);
  checkParsed(file);
  LanguageSelect language;
  const bool loaded = load(language, bytes);
  const LanguageFile::Section *translations = file.section(QStringLiteral("translations"));
  FUZZ_CHECK(loaded == (translations && !translations->entries.isEmpty()),
             "a file loads when its translations section has lines");
  checkLookups(language, loaded ? translations : nullptr, probe);
  return 0;
}
