#pragma once
// Ctrl-C and friends for every command that writes files: SIGINT, SIGTERM and SIGHUP set a flag
// that the work looks at between steps, and interrupt a blocking call (no SA_RESTART), so that
// the command can remove what it has half written and exit with 128 + the signal number (130 for
// Ctrl-C). SIGPIPE is ignored: a reader or encoder that goes away shows up as a failed write.
#include <string>

// Installs the handlers. Call once, before the first output is reserved.
void catchInterrupts();

// Whether one of the signals has arrived.
bool interrupted();

// The exit code for the signal that arrived: 128 + its number.
int interruptedExitCode();

// Says on standard error that `command` was interrupted and what was left unwritten
// ("intro-tool capture: interrupted; x.mp4 not written"); returns interruptedExitCode().
int interruptedExit(const char* command, const std::string& notWritten);
