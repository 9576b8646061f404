#include "tests/support/AppFixture.h"

#include "app/ProgramWindows.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

AppFixture::AppFixture()
    : m_oldConfigHome(qgetenv("XDG_CONFIG_HOME")), m_oldDataHome(qgetenv("XDG_DATA_HOME")) {
  qputenv("XDG_CONFIG_HOME", m_config.path().toUtf8());
  qputenv("XDG_DATA_HOME", dataHome().toUtf8());
}

AppFixture::~AppFixture() {
  if (m_started)
    destroyWindows();
  if (m_oldConfigHome.isEmpty())
    qunsetenv("XDG_CONFIG_HOME");
  else
    qputenv("XDG_CONFIG_HOME", m_oldConfigHome);
  if (m_oldDataHome.isEmpty())
    qunsetenv("XDG_DATA_HOME");
  else
    qputenv("XDG_DATA_HOME", m_oldDataHome);
}

void AppFixture::start() {
  createWindows();
  m_started = true;
}

QString AppFixture::settingsPath() const {
  return m_config.filePath(QStringLiteral("Quarnel/Tamberlin.reg"));
}

void AppFixture::writeSettings(const QByteArray &content) {
  QDir().mkpath(QFileInfo(settingsPath()).absolutePath());
  QFile file(settingsPath());
  if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
    file.write(content);
}

QByteArray AppFixture::readSettings() const {
  QFile file(settingsPath());
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
