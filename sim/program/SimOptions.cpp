#include "sim/program/SimOptions.h"

namespace {
bool toInt(const QString &text, qint64 min, qint64 max, qint64 *out) {
  bool ok = false;
  const qint64 v = text.toLongLong(&ok);
  if (!ok || v < min || v > max)
    return false;
  *out = v;
  return true;
}
} // namespace

QString SimOptions::usage() {
  return QStringLiteral(
      "Usage: korvane-sim --com N [options]\n"
      "A simulated KORVANE gateway on a pseudo-terminal, published as COM N in the port map\n"
      "(${XDG_CONFIG_HOME:-$HOME/.config}/Quarnel/ports/comN) until it ends.\n"
      "\n"
      "  --com N                 port number to publish (1-65535), required\n"
      "  --mode MODE             config (default), debug, or debug-config (answers \"CC\")\n"
      "  --out FILE              write the script bytes it received to FILE at the end\n"
      "  --restart-ms MS         silence after \"Restart\" (default 2000)\n"
      "  --pace                  read at 9600 8N1 speed (960 bytes/s), as a real line\n"
      "  --exit-after-download   end once a download is complete and the line has been quiet\n"
      "  --linger-ms MS          that long (default 1500)\n"
      "  --idle-exit SECONDS     end after SECONDS without receiving a byte\n"
      "  --replace               take over a leftover comN entry that leads nowhere\n"
      "  --adapter-latency MS    hold what it sends as a USB serial adapter with that latency\n"
      "                          timer does (FTDI: 16 by default, 1 at best): until the timer\n"
      "                          runs out, every MS, or until 62 bytes fill a USB packet\n"
      "Faults:\n"
      "  --no-handshake          no \".\" after 0x10 or after the length, none at block points\n"
      "  --first-dot 64|96       first block point of the configuration download (default 64)\n"
      "  --skip-dot N            leave out the \".\" after script byte N (repeatable)\n"
      "  --no-restart            restart without saying \"Restart\"\n"
      "  --no-ok-after-restart   never answer again after the restart\n"
      "  --lower-case            answer \"ok\", \"restart\", \"o\", \"cc\", \"i000...\"\n"
      "  --extra-text            add a text line after replies\n"
      "  --garbage               add binary noise after replies\n"
      "  --silent                answer nothing\n"
      "  --vanish-at N           the port vanishes after N received bytes\n"
      "  --vanish-for MS         and comes back after MS (default 2000)\n"
      "  --fresh-on-return       and comes back powered off and on: the transfer is gone\n"
      "  --help                  show this text\n");
}

bool SimOptions::parse(const QStringList &arguments, QString *error) {
  auto &f = config.faults;
  f.vanishForMs = 2000;
  bool comGiven = false;
  for (int i = 0; i < arguments.size(); ++i) {
    const QString &arg = arguments[i];
    auto value = [&](QString *out) {
      if (i + 1 >= arguments.size()) {
        *error = QStringLiteral("%1 needs a value").arg(arg);
        return false;
      }
      *out = arguments[++i];
      return true;
    };
    auto number = [&](qint64 min, qint64 max, qint64 *out) {
      QString text;
      if (!value(&text))
        return false;
      if (!toInt(text, min, max, out)) {
        *error = QStringLiteral("%1: \"%2\" is not a number from %3 to %4").arg(arg, text).arg(min).arg(max);
        return false;
      }
      return true;
    };
    qint64 n = 0;
    QString text;
    if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
      helpRequested = true;
      return true;
    } else if (arg == QLatin1String("--com")) {
      if (!number(1, 65535, &n))
        return false;
      com = quint16(n);
      comGiven = true;
    } else if (arg == QLatin1String("--mode")) {
      if (!value(&text))
        return false;
      if (text == QLatin1String("config"))
        config.mode = KorvaneSim::Mode::Config;
      else if (text == QLatin1String("debug"))
        config.mode = KorvaneSim::Mode::Debug;
      else if (text == QLatin1String("debug-config"))
        config.mode = KorvaneSim::Mode::DebugConfig;
      else {
        *error = QStringLiteral("--mode: \"%1\" is not config, debug or debug-config").arg(text);
        return false;
      }
    } else if (arg == QLatin1String("--out")) {
      if (!value(&outFile))
        return false;
    } else if (arg == QLatin1String("--restart-ms")) {
      if (!number(0, 600000, &n))
        return false;
      config.restartMs = int(n);
    } else if (arg == QLatin1String("--linger-ms")) {
      if (!number(0, 600000, &n))
        return false;
      lingerMs = int(n);
    } else if (arg == QLatin1String("--idle-exit")) {
      if (!number(1, 86400, &n))
        return false;
      idleExitSeconds = int(n);
    } else if (arg == QLatin1String("--adapter-latency")) {
      if (!number(0, 255, &n))
        return false;
      adapterLatencyMs = int(n);
    } else if (arg == QLatin1String("--first-dot")) {
      if (!number(64, 96, &n) || (n != 64 && n != 96)) {
        if (error->isEmpty())
          *error = QStringLiteral("--first-dot: 64 or 96");
        return false;
      }
      f.firstDotAfter = int(n);
    } else if (arg == QLatin1String("--skip-dot")) {
      if (!number(1, 65535, &n))
        return false;
      f.skipDotAfter << n;
    } else if (arg == QLatin1String("--vanish-at")) {
      if (!number(1, 1 << 30, &n))
        return false;
      f.vanishAtByte = n;
    } else if (arg == QLatin1String("--fresh-on-return")) {
      f.freshOnReturn = true;
    } else if (arg == QLatin1String("--vanish-for")) {
      if (!number(0, 600000, &n))
        return false;
      f.vanishForMs = int(n);
    } else if (arg == QLatin1String("--pace")) {
      pace = true;
    } else if (arg == QLatin1String("--exit-after-download")) {
      exitAfterDownload = true;
    } else if (arg == QLatin1String("--replace")) {
      replace = true;
    } else if (arg == QLatin1String("--no-handshake")) {
      f.noHandshake = true;
    } else if (arg == QLatin1String("--no-restart")) {
      f.noRestart = true;
    } else if (arg == QLatin1String("--no-ok-after-restart")) {
      f.silentAfterRestart = true;
    } else if (arg == QLatin1String("--lower-case")) {
      f.lowerCase = true;
    } else if (arg == QLatin1String("--extra-text")) {
      f.extraText = true;
    } else if (arg == QLatin1String("--garbage")) {
      f.garbage = true;
    } else if (arg == QLatin1String("--silent")) {
      f.silent = true;
    } else {
      *error = QStringLiteral("unknown option \"%1\"").arg(arg);
      return false;
    }
  }
  if (!comGiven) {
    *error = QStringLiteral("--com is required");
    return false;
  }
  return true;
}
