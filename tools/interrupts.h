#pragma once
// Ctrl-C and friends for the commands that work for a while (song, capture): SIGINT, SIGTERM and
// SIGHUP set a flag that the work looks at between steps, and interrupt a blocking call (no
// SA_RESTART), so that the command can remove what it has half written and exit with 128 + the
// signal number (130 for Ctrl-C). SIGPIPE is ignored: a reader or encoder that goes away shows
// up as a failed write.

// Installs the handlers. Call once, before the work starts.
void catchInterrupts();

// Whether one of the signals has arrived.
bool interrupted();

// The exit code for the signal that arrived: 128 + its number.
int interruptedExitCode();
