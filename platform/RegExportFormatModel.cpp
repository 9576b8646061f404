#include "platform/RegExportFormat.h"

#include <QHash>

namespace {

bool sameName(const QString &a, const QString &b) {
  return a.compare(b, Qt::CaseInsensitive) == 0;
}

bool isBlank(const RegItem &item) {
  return !item.isValue && item.text.trimmed().isEmpty();
}

bool isBlankOrComment(const RegItem &item) {
  const QString t = item.text.trimmed();
  return t.isEmpty() || t.startsWith(QLatin1Char(';')) || t.startsWith(QLatin1Char('#'));
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
    last->open = false;
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

namespace {

// A value whose hex data ends in a backslash would run on into the line that a removal moves up to
// it: it is written anew from its data, without the backslash.
void closeOpenValueBefore(RegSection &section, qsizetype at) {
  while (at > 0 && !section.items.at(at - 1).isValue && isBlankOrComment(section.items.at(at - 1)))
    --at;
  if (at > 0 && section.items.at(at - 1).open) {
    section.items[at - 1].text.clear();
    section.items[at - 1].open = false;
  }
}

} // namespace

bool RegModel::remove(const QString &path, const QString &name) {
  bool removed = false;
  for (RegSection &section : sections) {
    if (section.path.isEmpty() || !sameName(section.path, path))
      continue;
    for (qsizetype k = 0; k < section.items.size();) {
      const RegItem &item = section.items.at(k);
      if (!item.isValue || !sameName(item.name, name)) {
        ++k;
        continue;
      }
      section.items.removeAt(k);
      closeOpenValueBefore(section, k);
      removed = true;
    }
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
