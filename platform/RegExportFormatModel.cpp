#include "platform/RegExportFormat.h"

#include <QHash>
#include <QSet>

#include <optional>

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

bool isSameOrBelow(const QString &path, const QString &key) {
  return path.size() >= key.size() && sameName(path.left(key.size()), key) &&
         (path.size() == key.size() || path.at(key.size()) == QLatin1Char('\\'));
}

// What an import of the model's lines in file order leaves: the keys that exist, and for each value
// the item whose data counts.
class Import {
public:
  struct Entry {
    QString path, name; // as first written
    qsizetype section = 0, item = 0;
  };

  explicit Import(const RegModel &model) {
    for (qsizetype s = 0; s < model.sections.size(); ++s) {
      const RegSection &section = model.sections.at(s);
      if (!section.deletes.isEmpty())
        deleteKey(section.deletes);
      else if (!section.path.isEmpty())
        readSection(section, s);
    }
  }

  std::optional<Entry> find(const QString &path, const QString &name) const {
    const auto it = m_index.constFind(id(path, name));
    return it == m_index.constEnd() ? std::nullopt : m_values.at(*it);
  }
  // In the order they first appeared since they last came into being.
  QList<Entry> values() const {
    QList<Entry> all;
    for (const std::optional<Entry> &entry : m_values)
      if (entry)
        all.append(*entry);
    return all;
  }
  const QStringList &keys() const { return m_keys; }
  bool hasKey(const QString &path) const { return m_keyIds.contains(path.toLower()); }

private:
  static QString id(const QString &path, const QString &name) {
    return path.toLower() + QLatin1Char('\n') + name.toLower();
  }

  void readSection(const RegSection &section, qsizetype s) {
    addKey(section.path);
    for (qsizetype k = 0; k < section.items.size(); ++k) {
      const RegItem &item = section.items.at(k);
      if (item.isValue)
        setValue(Entry{section.path, item.name, s, k});
      else if (item.deletes)
        deleteValue(section.path, item.name);
    }
  }

  // A key line creates the key and its parents.
  void addKey(const QString &path) {
    qsizetype end = 0;
    do {
      end = path.indexOf(QLatin1Char('\\'), end + 1);
      const QString key = end < 0 ? path : path.left(end);
      if (!m_keyIds.contains(key.toLower())) {
        m_keyIds.insert(key.toLower());
        m_keys.append(key);
      }
    } while (end >= 0);
  }

  void setValue(const Entry &entry) {
    const QString key = id(entry.path, entry.name);
    if (const auto it = m_index.constFind(key); it != m_index.constEnd()) {
      m_values[*it]->section = entry.section;
      m_values[*it]->item = entry.item;
      return;
    }
    m_index.insert(key, m_values.size());
    m_values.append(entry);
  }

  void deleteValue(const QString &path, const QString &name) {
    if (const auto it = m_index.constFind(id(path, name)); it != m_index.constEnd()) {
      m_values[*it].reset();
      m_index.erase(it);
    }
  }

  void deleteKey(const QString &key) {
    for (auto it = m_index.begin(); it != m_index.end();) {
      if (isSameOrBelow(m_values.at(*it)->path, key)) {
        m_values[*it].reset();
        it = m_index.erase(it);
      } else {
        ++it;
      }
    }
    m_keys.removeIf([&](const QString &path) {
      if (!isSameOrBelow(path, key))
        return false;
      m_keyIds.remove(path.toLower());
      return true;
    });
  }

  QList<std::optional<Entry>> m_values;
  QHash<QString, qsizetype> m_index; // of the values that exist
  QStringList m_keys;
  QSet<QString> m_keyIds;
};

} // namespace

const RegValue *RegModel::find(const QString &path, const QString &name) const {
  const std::optional<Import::Entry> entry = Import(*this).find(path, name);
  return entry ? &sections.at(entry->section).items.at(entry->item).value : nullptr;
}

namespace {

// The section that a new value of the key goes into: the key's last one, unless a deletion of the key
// comes after it. Then a new section at the end, where no earlier deletion line can take the value.
RegSection &sectionForNewValue(RegModel &model, const QString &path) {
  qsizetype found = -1;
  for (qsizetype s = 0; s < model.sections.size(); ++s) {
    const RegSection &section = model.sections.at(s);
    if (!section.deletes.isEmpty() && isSameOrBelow(path, section.deletes))
      found = -1;
    else if (!section.path.isEmpty() && sameName(section.path, path))
      found = s;
  }
  if (found < 0) {
    model.addSection(path);
    found = model.sections.size() - 1;
  }
  return model.sections[found];
}

} // namespace

bool RegModel::set(const QString &path, const QString &name, const RegValue &value) {
  if (const std::optional<Import::Entry> entry = Import(*this).find(path, name)) {
    RegItem &item = sections[entry->section].items[entry->item];
    if (item.value == value)
      return false;
    item.value = value;
    item.text.clear();
    item.open = false;
    return true;
  }
  // The key's value deletion lines are all in its own sections, so the end of its last one is after
  // them.
  RegSection &section = sectionForNewValue(*this, path);
  RegItem item;
  item.isValue = true;
  item.name = name;
  item.value = value;
  section.items.insert(insertionPoint(section), item);
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

// Every line of the value goes, so that no earlier one comes back; its deletion lines stay, as they
// delete nothing then. A value that does not exist leaves the file as it is.
bool RegModel::remove(const QString &path, const QString &name) {
  if (!find(path, name))
    return false;
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
    }
  }
  return true;
}

bool RegModel::hasKey(const QString &path) const {
  return Import(*this).hasKey(path);
}

void RegModel::addSection(const QString &path) {
  // A blank line before the new key, as regedit separates keys.
  if (!sections.isEmpty() && (sections.last().items.isEmpty() || !isBlank(sections.last().items.last())))
    sections.last().items.append(RegItem());
  else if (sections.isEmpty() && !head.isEmpty() && !head.last().trimmed().isEmpty())
    head.append(QString());
  RegSection section;
  section.path = path;
  section.items = {RegItem()};
  sections.append(section);
}

QStringList RegModel::valueNames(const QString &path) const {
  QStringList names;
  for (const Import::Entry &entry : Import(*this).values())
    if (sameName(entry.path, path))
      names << entry.name;
  return names;
}

QStringList RegModel::paths() const {
  return Import(*this).keys();
}

QList<RegModel::Value> RegModel::values() const {
  QList<Value> all;
  for (const Import::Entry &entry : Import(*this).values())
    all.append(Value{entry.path, entry.name, sections.at(entry.section).items.at(entry.item).value});
  return all;
}
