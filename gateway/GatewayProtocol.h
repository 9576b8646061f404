#pragma once

#include <QtGlobal>

// What goes over the line to a KORVANE gateway and how long the program waits for its answers:
// the one home of every command byte, time limit and code of the conversation.
namespace Gateway {

// Command bytes.
constexpr quint8 TestGateway = 0x14;      // ^T: search, gateway test, restart poll, port probe
constexpr quint8 EnterProgramming = 0x10; // ^P: the configuration interface takes the hex data
constexpr quint8 DebugAnswer = 0x4F;      // "O": the program answers the debug interface
constexpr quint8 DebugStart = 0x44;       // "D": start of the debug interface's frame

// Replies.
inline constexpr char ReplyOk[] = "OK";
inline constexpr char ReplyOkOk[] = "OKOK";
inline constexpr char ReplyRestart[] = "Restart";
inline constexpr char ReplyIMessage[] = "I00000000000000";
inline constexpr char ReplyConfigMode[] = "CC";
inline constexpr char ReplyDot[] = ".";
constexpr char DebugAccepted = 'O';

// The search of "Write Script".
namespace Search {
constexpr quint32 FirstPauseMs = 100;
constexpr quint32 IntervalMs = 300;
constexpr quint32 LimitMs = 10000;
constexpr quint32 AfterRestartLimitMs = 10000;
// The debug interface sends its greeting right after the answer; one that does not within this
// time will not.
constexpr quint32 GreetingLimitMs = 10000;
constexpr quint32 DebugAnswerPauseMs = 100;
} // namespace Search

// The download on the configuration interface.
namespace Config {
constexpr quint32 GatewayTestMs = 1000;
constexpr quint32 HandshakeMs = 1000;
constexpr quint32 BlockPointMs = 500;
constexpr quint32 RestartMs = 15000;
constexpr quint32 AfterRestartPauseMs = 1000;
constexpr quint32 RestartPollMs = 200;
constexpr quint32 SuccessPauseMs = 100;
constexpr int CounterStart = 32;
constexpr int TolerantPoint = 96;
constexpr int BlockPoint = 128;
} // namespace Config

// The download on the debug interface.
namespace Debug {
constexpr quint32 HandshakeMs = 100;
constexpr quint32 BlockPointMs = 500;
constexpr quint32 LastDotMs = 200;
constexpr quint32 AnswerSilenceMs = 4000;
constexpr quint32 AfterAnswerSilenceMs = 1000;
constexpr int CounterStart = 32;
constexpr int BlockPoint = 128;
} // namespace Debug

// Both downloads let the output buffer drain every this many bytes.
constexpr int DrainEvery = 16;
// 32 characters take 33 ms at 9600 baud: a buffer that does not drain in this time never will.
constexpr quint32 DrainLimitMs = 5000;

// The port probe of the port search.
constexpr quint32 ProbeMs = 200;

// The largest script that the 16-bit byte index reaches, and the largest whose length the debug
// frame's 16-bit field carries exactly.
constexpr qint64 MaxScriptSize = 65536;
constexpr qint64 MaxDebugScriptSize = 65535;

// The result codes of WM_WRITE_READY.
namespace WriteResult {
constexpr quint32 Success = 0;
constexpr quint32 BlockNotAcknowledged = 1;
constexpr quint32 NoRestart = 2;
constexpr quint32 AlreadyReported = 99;
} // namespace WriteResult

// The state codes of WM_COM_WAIT_STATE (lParam).
namespace WaitState {
constexpr qint32 Usable = 0;
constexpr qint32 UsbRemoved = 49;
constexpr qint32 InUse = 50;
constexpr qint32 NoPermission = 51;
constexpr qint32 OtherCopyWaits = 60;
} // namespace WaitState

} // namespace Gateway
