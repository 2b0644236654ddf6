#include "tools/interrupts.h"

#include <signal.h>

#include <cstdio>
#include <initializer_list>

namespace {

volatile sig_atomic_t interruptSignal = 0;

void onInterrupt(int signal) { interruptSignal = signal; }

}  // namespace

void catchInterrupts() {
  struct sigaction action {};
  action.sa_handler = onInterrupt;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;  // no SA_RESTART: a write into a full pipe, a wait for a child, returns
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  sigaction(SIGPIPE, &ignore, nullptr);
}

bool interrupted() { return interruptSignal != 0; }

int interruptedExitCode() { return 128 + static_cast<int>(interruptSignal); }

int interruptedExit(const char* command, const std::string& notWritten) {
  // On a line of its own: the terminal has echoed ^C where the last line stopped.
  std::fprintf(stderr, "\nintro-tool %s: interrupted; %s\n", command, notWritten.c_str());
  return interruptedExitCode();
}
