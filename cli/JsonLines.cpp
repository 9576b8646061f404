#include "cli/JsonLines.h"

#include <QJsonDocument>

#include <cstdio>

void JsonLines::write(const QJsonObject &object) {
  const QByteArray line = QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
  std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
  std::fflush(stdout);
}
