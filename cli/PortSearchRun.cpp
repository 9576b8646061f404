#include "cli/PortSearchRun.h"

#include "gateway/PortSearch.h"
#include "platform/Clock.h"

PortSearchRun searchGatewayPort(const QStringList &items) {
  PortSearchRun run;
  // The line as the port manager sets it up; the search only changes the port number.
  TSerialPort port;
  port.SetBaud(9600);
  port.SetPromptForPort(false);
  port.SetAutoOpen(false);
  port.SetInSize(32768);
  port.SetOutSize(32768);
  port.SetRTS(false);
  port.SetOnErrorEvent([&run](TSerialPort *cp, qint32 code) {
    run.problems << PortSearchRun::Problem{QStringLiteral("COM%1").arg(cp->ComNumber()), code,
                                           cp->LastErrorText()};
  });

  bool done = false;
  PortSearch search(&port);
  search.start(items, [&](qint32 result) {
    run.found = result;
    done = true;
  });
  // Each item costs at most the answer limit.
  Clock::instance().waitUntil([&done] { return done; });
  port.SetOpen(false);
  return run;
}
