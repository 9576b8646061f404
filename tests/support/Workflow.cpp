#include "tests/support/Workflow.h"

#include "app/MainWindow.h"
#include "app/ProgramWindows.h"
#include "common/WindowMessages.h"
#include "platform/SettingsFile.h"

#include <QCoreApplication>
#include <QFile>

namespace {
// Notes the result codes that reach the main window, without taking them from it.
class WriteReadySpy : public QObject {
public:
  explicit WriteReadySpy(QList<quint32> &codes) : m_codes(codes) {}
  bool eventFilter(QObject *, QEvent *event) override {
    if (WindowMessageEvent *m = asWindowMessage(event); m && m->msg == WM_WRITE_READY)
      m_codes << m->wParam;
    return false;
  }

private:
  QList<quint32> &m_codes;
};
} // namespace

Workflow::Workflow() = default;

Workflow::~Workflow() {
  delete m_spy;
}

void Workflow::storePort(const QString &choice) {
  SettingsFile(settingsPath())
      .setValue(QStringLiteral("\\SOFTWARE\\Quarnel\\Tamberlin\\kvSerialOptionCaption"),
                QStringLiteral("PortNumber"), RegValue::fromString(choice));
}

void Workflow::startUp(const QStringList &parameters) {
  start();
  m_spy = new WriteReadySpy(writeReady);
  Form1->installEventFilter(m_spy);
  Form1->commandLine = parameters;
  Form1->FormActivate();
  clock.processMessages();
}

QString Workflow::script(const QByteArray &bytes, const QString &name) {
  const QString path = m_scripts.filePath(name);
  QFile file(path);
  if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
    file.write(bytes);
  return path;
}

QByteArray Workflow::pattern(int size) const {
  QByteArray bytes(size, '\0');
  for (int i = 0; i < size; ++i)
    bytes[i] = char((i * 7 + 3) & 0xff);
  return bytes;
}

bool Workflow::settle(quint64 limitMs) {
  return clock.runUntil([&] { return !writeReady.isEmpty(); }, limitMs);
}
