#include "tests/support/ProgramSandbox.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QTest>

ProgramSandbox::ProgramSandbox() : m_port(quint16(10 + QCoreApplication::applicationPid() % 89)) {}

ProgramSandbox::~ProgramSandbox() {
  if (m_gateway) {
    m_gateway->terminate();
    m_gateway->waitForFinished(5000);
  }
}

QString ProgramSandbox::buildDir() {
  return qEnvironmentVariable("TAMBERLIN_BUILD_DIR");
}

QString ProgramSandbox::sourceDir() {
  return qEnvironmentVariable("TAMBERLIN_SOURCE_DIR");
}

QByteArray ProgramSandbox::readFile(const QString &path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QList<QJsonObject> ProgramSandbox::jsonLines(const QByteArray &output) {
  QList<QJsonObject> objects;
  for (const QByteArray &line : output.split('\n')) {
    if (line.isEmpty())
      continue;
    const QJsonDocument doc = QJsonDocument::fromJson(line);
    if (!doc.isObject() || !doc.object().contains(QStringLiteral("event")))
      return {};
    objects << doc.object();
  }
  return objects;
}

QProcessEnvironment ProgramSandbox::environment() const {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("XDG_CONFIG_HOME"), path(QStringLiteral("config")));
  env.insert(QStringLiteral("XDG_DATA_HOME"), path(QStringLiteral("data")));
  return env;
}

bool ProgramSandbox::startGateway(const QStringList &options) {
  m_gateway = std::make_unique<QProcess>();
  m_gateway->setProcessEnvironment(environment());
  m_gateway->setProcessChannelMode(QProcess::MergedChannels);
  m_gateway->start(buildDir() + QStringLiteral("/korvane-sim"),
                   QStringList{QStringLiteral("--com"), QString::number(m_port)} + options);
  if (!m_gateway->waitForStarted(10000))
    return false;
  const QString entry = path(QStringLiteral("config/Quarnel/ports/com%1").arg(m_port));
  QDeadlineTimer ready(10000);
  while (!QFileInfo::exists(entry) && !ready.hasExpired() && m_gateway->state() == QProcess::Running)
    QTest::qWait(20);
  return QFileInfo::exists(entry);
}

bool ProgramSandbox::storePort() const {
  QDir().mkpath(path(QStringLiteral("config/Quarnel")));
  QFile settings(path(QStringLiteral("config/Quarnel/Tamberlin.reg")));
  if (!settings.open(QIODevice::WriteOnly))
    return false;
  settings.write("Windows Registry Editor Version 5.00\r\n\r\n"
                 "[HKEY_CURRENT_USER\\SOFTWARE\\Quarnel\\Tamberlin\\kvSerialOptionCaption]\r\n"
                 "\"PortNumber\"=\"COM" +
                 QByteArray::number(m_port) + "\"\r\n");
  return true;
}

std::unique_ptr<QProcess> ProgramSandbox::start(const QString &program, const QStringList &arguments,
                                                const QProcessEnvironment &environment) const {
  auto process = std::make_unique<QProcess>();
  process->setProcessEnvironment(environment);
  process->start(buildDir() + QLatin1Char('/') + program, arguments);
  process->waitForStarted(10000);
  return process;
}
