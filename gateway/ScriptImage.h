#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

// A compiled script file held in memory, read byte by byte while a download sends it.
// Offsets are 16-bit, so only the first 65536 bytes of an image can be reached; the downloads
// refuse larger files before they start.
class TIndexStream {
public:
  TIndexStream() = default;

  // Replaces the image with the whole file, read as raw bytes. A file that cannot be read
  // raises std::runtime_error with the system's reason and leaves the image as it was.
  void LoadFromfile(const QString &fileName);
  // Replaces the image with bytes read before (a station reads its script once for every slot).
  void LoadFromBytes(const QByteArray &bytes);

  // The byte at index. An index past the end raises "TIndexStream: GetByteIdx: Index>Size".
  quint8 GetByteIDX(quint16 index);

  qint32 UseSize() const { return FUseSize; }

  // The memory stream underneath: buffer size and read position.
  qint64 Size() const { return m_data.size(); }
  qint64 Position() const { return m_position; }

private:
  QByteArray m_data;
  qint64 m_position = 0;
  qint32 FUseSize = 0;
};
