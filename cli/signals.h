#pragma once
// How kv9flash meets signals, so that a module is never left half-written
// without a word:
// - SIGPIPE is ignored: a closed output pipe makes writes fail, nothing more.
// - SIGHUP is ignored: a dropped session lets the run finish, like nohup.
// - SIGINT and SIGTERM end the program at once (exit 130/143) until the
//   update's first frame is about to leave; from then on they only ask the
//   run to stop, which it does before its next frame (see LinkUi::
//   StopRequested), ending through its failure closing and advice. Further
//   signals change nothing.
// On Windows (signals_win32.cpp) the console's events play these parts:
// Ctrl+C and Ctrl+Break are SIGINT; closing the console, logging off and
// shutting down are SIGTERM. There is no SIGPIPE or SIGHUP to ignore.
namespace kv9::cli {

void InstallSignalHandlers();
// From now on a signal asks the run to stop instead of ending the program.
// Returns true when a stop was asked already (checked after arming, so a
// signal can never fall between the two).
bool ArmStop();
bool StopAsked();
// The signal that asked for the stop, 0 when none.
int StopSignal();
// Erases a progress line from inside the handler before exiting at once.
void SetProgressOnTerminal(bool on);

}  // namespace kv9::cli
