#pragma once

#include <QJsonObject>
#include <QList>
#include <QProcess>
#include <QTemporaryDir>

#include <memory>

// The built programs in a sandbox: a private settings folder (XDG_CONFIG_HOME) with its own port
// map, a private data folder (XDG_DATA_HOME) for the record of every write, and the simulated
// gateway started as a program on a pseudo-terminal published as COM n.
class ProgramSandbox {
public:
  ProgramSandbox();
  ~ProgramSandbox();

  static QString buildDir();
  static QString sourceDir();
  static QByteArray readFile(const QString &path);
  // Every line one JSON object with "event"; empty when a line is not.
  static QList<QJsonObject> jsonLines(const QByteArray &output);

  QString path(const QString &name) const { return m_dir.filePath(name); }
  QProcessEnvironment environment() const;
  // A port number of this test process's own, so parallel runs rarely meet: two digits, because
  // the stored choice counts only two digits after "COM".
  quint16 port() const { return m_port; }

  // Starts korvane-sim on port() with these options; true once its port-map entry exists.
  bool startGateway(const QStringList &options);
  QProcess *gateway() const { return m_gateway.get(); }
  // Stores port() as the window program's port choice.
  bool storePort() const;
  // Starts a built program of the build folder in the sandbox.
  std::unique_ptr<QProcess> start(const QString &program, const QStringList &arguments,
                                  const QProcessEnvironment &environment) const;

private:
  QTemporaryDir m_dir;
  quint16 m_port;
  std::unique_ptr<QProcess> m_gateway;
};
