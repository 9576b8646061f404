#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

// The one script of a station, read once: every slot writes these bytes, whatever happens to the
// file on disk afterwards.
class StationScript {
public:
  // The largest script a station takes (the downloads' limit).
  static qint64 maxSize();

  // Reads the file. On failure the script loaded before stays as it was, and the reason, in words
  // that say how to fix it, comes back; empty on success.
  QString load(const QString &path);
  void clear();

  bool loaded() const { return m_loaded; }
  QString path() const { return m_path; } // as given to load()
  qint64 size() const { return m_bytes.size(); }
  QByteArray bytes() const { return m_bytes; }
  QString sha256() const; // lower-case hexadecimal
  QDateTime loadedAt() const { return m_loadedAt; }

  // Whether the file on disk still holds the loaded bytes; a missing or unreadable file counts as
  // changed. Reads the file again, so call it now and then, not per byte.
  bool changedOnDisk() const;

private:
  bool m_loaded = false;
  QString m_path;
  QByteArray m_bytes;
  QByteArray m_sha256;
  QDateTime m_loadedAt;
};
