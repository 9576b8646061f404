#include "station/OperatorLock.h"

#include "platform/Clock.h"

#include <QMessageAuthenticationCode>
#include <QRandomGenerator>
#include <QStringList>

#include <optional>

namespace {
const QString kScheme = QStringLiteral("pbkdf2-sha256");
constexpr int kIterations = 20000;
constexpr int kSaltBytes = 16;
constexpr int kMinPinLength = 4;

QByteArray randomSalt() {
  QByteArray salt(kSaltBytes, '\0');
  QRandomGenerator *random = QRandomGenerator::system();
  for (char &byte : salt)
    byte = char(random->bounded(256));
  return salt;
}

// Every byte is compared, so the time taken says nothing about where a wrong PIN differs.
bool sameBytes(const QByteArray &a, const QByteArray &b) {
  if (a.size() != b.size())
    return false;
  unsigned char diff = 0;
  for (qsizetype i = 0; i < a.size(); ++i)
    diff |= static_cast<unsigned char>(a[i] ^ b[i]);
  return diff == 0;
}

struct Stored {
  int iterations = 0;
  QByteArray salt;
  QByteArray hash;
};

std::optional<Stored> parseStored(const QString &text) {
  const QStringList parts = text.split(QLatin1Char('$'));
  if (parts.size() != 4 || parts[0] != kScheme)
    return std::nullopt;
  bool ok = false;
  Stored s{parts[1].toInt(&ok), QByteArray::fromBase64(parts[2].toLatin1()),
           QByteArray::fromBase64(parts[3].toLatin1())};
  if (!ok || s.iterations < 1 || s.salt.isEmpty() || s.hash.size() != 32)
    return std::nullopt;
  return s;
}
} // namespace

QByteArray OperatorLock::pbkdf2Sha256(const QByteArray &password, const QByteArray &salt, int iterations) {
  // One block of output is 32 bytes, all the key there is: U1 = HMAC(P, S || 1), Ui = HMAC(P, Ui-1).
  QMessageAuthenticationCode mac(QCryptographicHash::Sha256, password);
  mac.addData(salt);
  mac.addData(QByteArray("\0\0\0\1", 4));
  QByteArray u = mac.result();
  QByteArray key = u;
  for (int i = 1; i < iterations; ++i) {
    mac.reset();
    mac.addData(u);
    u = mac.result();
    for (qsizetype k = 0; k < key.size(); ++k)
      key[k] = char(key[k] ^ u[k]);
  }
  return key;
}

QString OperatorLock::setPin(const QString &pin) {
  if (m_locked)
    return QStringLiteral("The station is locked: open it with the PIN first.");
  if (pin.size() < kMinPinLength)
    return QStringLiteral("A PIN needs at least %1 characters.").arg(kMinPinLength);
  const QByteArray salt = randomSalt();
  const QByteArray hash = pbkdf2Sha256(pin.toUtf8(), salt, kIterations);
  m_stored = QStringLiteral("%1$%2$%3$%4")
                 .arg(kScheme)
                 .arg(kIterations)
                 .arg(QString::fromLatin1(salt.toBase64()), QString::fromLatin1(hash.toBase64()));
  m_wrong = 0;
  m_waitUntilMs = 0;
  return {};
}

QString OperatorLock::clearPin() {
  if (m_locked)
    return QStringLiteral("The station is locked: open it with the PIN first.");
  m_stored.clear();
  return {};
}

QString OperatorLock::lock() {
  if (!hasPin())
    return QStringLiteral("Set a PIN before locking the station.");
  m_locked = true;
  return {};
}

quint64 OperatorLock::waitLeftMs() const {
  const quint64 now = Clock::instance().nowMs();
  return m_waitUntilMs > now ? m_waitUntilMs - now : 0;
}

QString OperatorLock::unlock(const QString &pin) {
  if (!m_locked)
    return {};
  if (const quint64 left = waitLeftMs())
    return QStringLiteral("Too many wrong PINs: wait %1 s before the next try.").arg((left + 999) / 1000);
  if (matches(pin)) {
    m_locked = false;
    m_wrong = 0;
    return {};
  }
  ++m_wrong;
  if (m_wrong < TriesBeforeWait)
    return QStringLiteral("Wrong PIN: %1 more before a %2 s wait.")
        .arg(TriesBeforeWait - m_wrong)
        .arg(WaitMs / 1000);
  m_waitUntilMs = Clock::instance().nowMs() + WaitMs;
  return QStringLiteral("Wrong PIN %1 times in a row: wait %2 s before the next try.")
      .arg(m_wrong)
      .arg(WaitMs / 1000);
}

bool OperatorLock::matches(const QString &pin) const {
  const std::optional<Stored> stored = parseStored(m_stored);
  return stored && sameBytes(pbkdf2Sha256(pin.toUtf8(), stored->salt, stored->iterations), stored->hash);
}

bool OperatorLock::restore(const QString &stored, bool locked) {
  m_wrong = 0;
  m_waitUntilMs = 0;
  if (stored.isEmpty() || !parseStored(stored)) {
    m_stored.clear();
    m_locked = false;
    return stored.isEmpty();
  }
  m_stored = stored;
  m_locked = locked;
  return true;
}
