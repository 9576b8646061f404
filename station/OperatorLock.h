#pragma once

#include <QByteArray>
#include <QString>

// The operator lock: a PIN that the technician sets, kept only as a salted PBKDF2-HMAC-SHA256
// hash. Locked, the station may be started and stopped but not changed; only the PIN opens it.
// From the fifth wrong PIN in a row on, every wrong PIN makes the next try wait 30 s (on the
// program's clock).
class OperatorLock {
public:
  static constexpr int TriesBeforeWait = 5;
  static constexpr quint64 WaitMs = 30000;

  bool hasPin() const { return !m_stored.isEmpty(); }
  bool locked() const { return m_locked; }

  // Sets or changes the PIN (at least 4 characters). Refused while locked. Empty on success, else
  // the reason.
  QString setPin(const QString &pin);
  // Removes the PIN; only while unlocked.
  QString clearPin();
  // Locks; refused without a PIN.
  QString lock();
  // Opens the lock with the PIN. Empty on success; else the reason, with the tries left or the
  // seconds to wait.
  QString unlock(const QString &pin);
  // How long the next try must wait; 0 when it may be made now.
  quint64 waitLeftMs() const;
  int wrongInARow() const { return m_wrong; }

  // "pbkdf2-sha256$<iterations>$<salt, base64>$<hash, base64>", or empty without a PIN; the form
  // the settings keep. restore() refuses (false) a text not in that form and keeps no PIN then.
  QString stored() const { return m_stored; }
  bool restore(const QString &stored, bool locked);

  // PBKDF2 with HMAC-SHA256, 32 bytes of key.
  static QByteArray pbkdf2Sha256(const QByteArray &password, const QByteArray &salt, int iterations);

private:
  bool matches(const QString &pin) const;

  QString m_stored;
  bool m_locked = false;
  int m_wrong = 0;
  quint64 m_waitUntilMs = 0;
};
