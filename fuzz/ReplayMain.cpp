// Runs a fuzz target's property over every file of its corpus folders, without the fuzzer: the
// normal and the sanitizer builds replay each kept input as a test.
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdint>
#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int *argc, char ***argv);

namespace {
bool replay(const QString &path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    std::fprintf(stderr, "cannot read %s\n", qPrintable(path));
    return false;
  }
  const QByteArray bytes = file.readAll();
  LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(bytes.constData()), size_t(bytes.size()));
  return true;
}
} // namespace

int main(int argc, char **argv) {
  if (LLVMFuzzerInitialize)
    LLVMFuzzerInitialize(&argc, &argv);
  int count = 0;
  for (int i = 1; i < argc; ++i) {
    const QString arg = QString::fromLocal8Bit(argv[i]);
    QStringList files{arg};
    if (QFileInfo(arg).isDir()) {
      files.clear();
      for (const QString &name : QDir(arg).entryList(QDir::Files, QDir::Name))
        files << QDir(arg).filePath(name);
    }
    for (const QString &path : files) {
      if (!replay(path))
        return 1;
      ++count;
    }
  }
  std::printf("%d inputs replayed\n", count);
  // No input at all would pass without testing anything.
  return count > 0 ? 0 : 1;
}
