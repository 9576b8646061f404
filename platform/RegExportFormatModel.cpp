#include "platform/RegExportFormat.h"

#include <QHash>

namespace {

bool sameName(const QString &a, const QString &b) {
  return a.compare(b, Qt::CaseInsensitive) == 0;
}

bool isBlank(const RegItem &item) {
  return !item.isValue && item.text.trimmed().isEmpty();
}

// Where a new value of a section goes: after its last value or comment, before the blank lines that
// separate it from the next key.
qsizetype insertionPoint(const RegSection &section) {
  qsizetype at = section.items.size();
  while (at > 0 && isBlank(section.items.at(at - 1)))
    --at;
  return at;
}

template <class Model, class Visit> void forEachValue(Model &model, const QString &path, Visit visit) {
  for (auto &section : model.sections)
    if (!section.path.isEmpty() && sameName(section.path, path))
      for (auto &item : section.items)
        if (item.isValue)
          visit(item);
}

} // namespace

const RegValue *RegModel::find(const QString &path, const QString &name) const {
  const RegValue *found = nullptr;
  forEachValue(*this, path, [&](const RegItem &item) {
    if (sameName(item.name, name))
      found = &item.value;
  });
  return found;
}

bool RegModel::set(const QString &path, const QString &name, const RegValue &value) {
  RegItem *last = nullptr;
  forEachValue(*this, path, [&](RegItem &item) {
    if (sameName(item.name, name))
      last = &item;
  });
  if (last) {
    if (last->value == value)
      return false;
    last->value = value;
    last->text.clear();
    return true;
  }
  if (!hasSection(path))
    addSection(path);
  RegSection *section = nullptr;
  for (RegSection &s : sections)
    if (sameName(s.path, path))
      section = &s;
  RegItem item;
  item.isValue = true;
  item.name = name;
  item.value = value;
  section->items.insert(insertionPoint(*section), item);
  return true;
}

bool RegModel::remove(const QString &path, const QString &name) {
  bool removed = false;
  for (RegSection &section : sections) {
    if (section.path.isEmpty() || !sameName(section.path, path))
      continue;
    removed = section.items.removeIf([&](const RegItem &item) {
      return item.isValue && sameName(item.name, name);
    }) > 0 || removed;
  }
  return removed;
}

bool RegModel::hasSection(const QString &path) const {
  for (const RegSection &section : sections)
    if (!section.path.isEmpty() && sameName(section.path, path))
      return true;
  return false;
}

void RegModel::addSection(const QString &path) {
  // A blank line before the new key, as regedit separates keys.
  if (!sections.isEmpty() && (sections.last().items.isEmpty() || !isBlank(sections.last().items.last())))
    sections.last().items.append(RegItem());
  else if (sections.isEmpty() && !head.isEmpty() && !head.last().trimmed().isEmpty())
    head.append(QString());
  sections.append(RegSection{path, QString(), {RegItem()}});
}

QStringList RegModel::valueNames(const QString &path) const {
  QStringList names;
  forEachValue(*this, path, [&](const RegItem &item) {
    if (!names.contains(item.name, Qt::CaseInsensitive))
      names << item.name;
  });
  return names;
}

QStringList RegModel::paths() const {
  QStringList all;
  for (const RegSection &section : sections)
    if (!section.path.isEmpty() && !all.contains(section.path, Qt::CaseInsensitive))
      all << section.path;
  return all;
}

QList<RegModel::Value> RegModel::values() const {
  QList<Value> all;
  QHash<QString, qsizetype> index;
  for (const RegSection &section : sections) {
    if (section.path.isEmpty())
      continue;
    for (const RegItem &item : section.items) {
      if (!item.isValue)
        continue;
      const QString id = section.path.toLower() + QLatin1Char('\n') + item.name.toLower();
      if (const auto it = index.constFind(id); it != index.constEnd()) {
        all[*it].value = item.value;
      } else {
        index.insert(id, all.size());
        all.append(Value{section.path, item.name, item.value});
      }
    }
  }
  return all;
}
