#pragma once

#include "gateway/GatewayReport.h"

// The exit codes of tamberlin-cli; scripts rely on them, so they never change meaning.
namespace ExitCode {
constexpr int Written = 0;
constexpr int NotAllWritten = 1;
constexpr int Usage = 2;
constexpr int ScriptFile = 3;
constexpr int Port = 4;
constexpr int NoGateway = 5;
constexpr int DebugConfigMode = 6;
constexpr int Transfer = 7;
constexpr int Interrupted = 8;

// The code of one port's ending.
inline int of(GatewayReport::Failure failure) {
  using F = GatewayReport::Failure;
  switch (failure) {
  case F::None:
    return Written;
  case F::NoPort:
    return Port;
  case F::Port: // the port was lost while the script went out
    return Transfer;
  case F::ScriptFile:
    return ScriptFile;
  case F::NoGateway:
    return NoGateway;
  case F::DebugConfigMode:
    return DebugConfigMode;
  case F::Transfer:
    return Transfer;
  }
  return Transfer;
}
} // namespace ExitCode
