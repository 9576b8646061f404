#include "cli/JsonEvents.h"

#include "cli/JsonLines.h"
#include "platform/Clock.h"
#include "platform/Terminal.h"

#include <QJsonArray>

#include <cstdio>

namespace {
const quint64 kProgressEveryMs = 250;

QJsonObject event(const char *name, const QString &port) {
  return {{QStringLiteral("event"), QString::fromLatin1(name)}, {QStringLiteral("port"), port}};
}

QJsonObject resultObject(const PortResult &r) {
  QJsonObject o = event("result", r.port);
  o.insert(QStringLiteral("ok"), r.ok);
  o.insert(QStringLiteral("code"), r.code);
  o.insert(QStringLiteral("message"), r.message);
  o.insert(QStringLiteral("interface"), r.interface.isEmpty() ? QJsonValue() : QJsonValue(r.interface));
  o.insert(QStringLiteral("bytes"), r.bytes);
  o.insert(QStringLiteral("seconds"), qRound(r.seconds * 1000) / 1000.0);
  return o;
}
} // namespace

void JsonEvents::started(const QString &port, const QString &script, qint64 total) {
  QJsonObject o = event("start", port);
  o.insert(QStringLiteral("script"), script);
  o.insert(QStringLiteral("total"), total);
  JsonLines::write(o);
}

void JsonEvents::phase(const QString &port, const QString &phase) {
  QJsonObject o = event("phase", port);
  o.insert(QStringLiteral("phase"), phase);
  JsonLines::write(o);
}

void JsonEvents::progress(const QString &port, qint64 done, qint64 total) {
  const quint64 now = Clock::instance().nowMs();
  auto last = m_lastProgress.find(port);
  if (done < total && done > 0 && last != m_lastProgress.end() && now - *last < kProgressEveryMs)
    return;
  m_lastProgress.insert(port, now);
  QJsonObject o = event("progress", port);
  o.insert(QStringLiteral("done"), done);
  o.insert(QStringLiteral("total"), total);
  JsonLines::write(o);
}

void JsonEvents::log(const QString &port, const QString &text) {
  QJsonObject o = event("log", port);
  o.insert(QStringLiteral("text"), text);
  JsonLines::write(o);
}

void JsonEvents::message(const QString &port, const QString &text) {
  // Requests for the person at the gateway go to the terminal too: nobody reads JSON at the bench.
  writeText(stderr, QStringLiteral("%1: %2\n").arg(port, text));
  QJsonObject o = event("message", port);
  o.insert(QStringLiteral("text"), text);
  JsonLines::write(o);
}

void JsonEvents::result(const PortResult &result) {
  JsonLines::write(resultObject(result));
}

void JsonEvents::summary(const QList<PortResult> &results, int code) {
  QJsonArray all;
  bool ok = !results.isEmpty();
  for (const PortResult &r : results) {
    all.append(resultObject(r));
    ok = ok && r.ok;
  }
  JsonLines::write({{QStringLiteral("event"), QStringLiteral("summary")},
                    {QStringLiteral("ok"), ok},
                    {QStringLiteral("code"), code},
                    {QStringLiteral("results"), all}});
}
