#pragma once

#include "gateway/GatewayProtocol.h"
#include "gateway/GatewayReport.h"
#include "gateway/Task.h"

#include <QByteArray>
#include <QString>

#include <optional>

class GatewayLink;
class LinkWait;

// "Write Script" on one line: the search that tells the configuration interface from the debug
// interface (0x14 every 300 ms for up to 10 s, the replies classified by the link), the restart
// prompt when nothing answered, and the matching download.
class WriteScriptJob {
public:
  // portSetting: the stored port choice, which the configuration download checks again.
  WriteScriptJob(GatewayLink &link, QString path, QString portSetting);

  bool *reopenOnWriteError = nullptr;
  // How long the gateway has after the user confirmed its restart.
  quint32 afterRestartLimitMs = Gateway::Search::AfterRestartLimitMs;
  // The script's bytes, read before; without them the download reads the file at path.
  std::optional<QByteArray> image;

  // True when the script was written. Reports exactly one outcome.
  Task<bool> run();

private:
  Task<void> search();
  Task<void> askForRestart();
  Task<bool> writeOnDebugInterface();
  bool fail(GatewayReport::Failure failure, const QString &message);
  LinkWait debugAnswerSent();

  GatewayLink &m_link;
  GatewayReport &m_report;
  QString m_path;
  QString m_portSetting;
};
