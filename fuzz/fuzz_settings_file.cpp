// The settings file's reader and writer. Property: a file that parses writes back to a file that
// parses to the same values, unchanged and after the program changes or removes one of its values.
#include "fuzz/FuzzCheck.h"
#include "fuzz/FuzzInput.h"
#include "platform/RegExportFormat.h"

namespace {

bool reparse(const RegModel &model, RegModel &again) {
  QString error;
  return RegExportFormat::parse(RegExportFormat::serialize(model), again, error);
}

void checkRoundTrip(const RegModel &model, const char *what) {
  RegModel again;
  FUZZ_CHECK(reparse(model, again), what);
  FUZZ_CHECK(again.values() == model.values(), what);
}

// A value of a type the program itself writes, from the fuzzer's bytes.
RegValue valueFrom(uint8_t kind, const QByteArray &payload) {
  switch (kind % 3) {
  case 0:
    return RegValue::fromString(QString::fromUtf8(payload));
  case 1: {
    quint32 n = 0;
    for (char c : payload.left(4))
      n = n << 8 | quint8(c);
    return RegValue::fromDword(n);
  }
  default:
    return RegValue::fromBinary(payload);
  }
}

// The program's own change: a value of an existing key set, or an existing value removed.
void checkChange(RegModel model, FuzzInput &edit) {
  const QList<RegModel::Value> before = model.values();
  if (before.isEmpty())
    return;
  const uint8_t op = edit.u8();
  const RegModel::Value &target = before.at(edit.u16() % before.size());
  if (op % 2 == 0) {
    const uint8_t kind = edit.u8();
    const RegValue value = valueFrom(kind, edit.shortBytes());
    model.set(target.path, target.name, value);
    FUZZ_CHECK(model.find(target.path, target.name) && *model.find(target.path, target.name) == value,
               "a set value reads back from the model");
    checkRoundTrip(model, "a file with a changed value reads back as written");
  } else {
    FUZZ_CHECK(model.remove(target.path, target.name), "an existing value can be removed");
    FUZZ_CHECK(!model.find(target.path, target.name), "a removed value is gone");
    FUZZ_CHECK(model.values().size() == before.size() - 1, "removing takes one value only");
    checkRoundTrip(model, "a file with a removed value reads back as written");
  }
}

} // namespace

// Input: an edit (one length byte, then its bytes), then the file.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  FuzzInput input(data, size);
  const QByteArray editBytes = input.shortBytes();
  const QByteArray file = input.rest();
  RegModel model;
  QString error;
  if (!RegExportFormat::parse(file, model, error))
    return 0;
  checkRoundTrip(model, "a file that parses writes back to the same values");
  FuzzInput edit(reinterpret_cast<const uint8_t *>(editBytes.constData()), size_t(editBytes.size()));
  checkChange(model, edit);
  return 0;
}
