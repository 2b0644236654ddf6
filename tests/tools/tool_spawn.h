#pragma once
// intro-tool as a child process that a test interrupts: TMPDIR in a folder of the test's, so that
// every temporary is seen, and standard error into a file.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace tool_spawn {

// `intro-tool ARGUMENTS` (the command first); the pid, or -1.
inline pid_t spawnTool(std::vector<std::string> arguments, const std::string& temporaryFolder,
                       const std::string& errorFile, const std::vector<std::string>& extraEnvironment = {}) {
  arguments.insert(arguments.begin(), INTRO_TOOL_PATH);
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  std::vector<std::string> environment = extraEnvironment;
  environment.push_back("TMPDIR=" + temporaryFolder);
  for (char** variable = environ; *variable != nullptr; ++variable) {
    if (std::strncmp(*variable, "TMPDIR=", 7) != 0) environment.emplace_back(*variable);
  }
  std::vector<char*> envp;
  for (std::string& variable : environment) envp.push_back(variable.data());
  envp.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  pid_t pid = -1;
  const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  return spawned == 0 ? pid : -1;
}

// Sends signal once ready(pid) holds and waits for the tool: its exit status, 1000 + the signal's
// number when a signal ended it, -1 when it ended before it was ready or was not ready within two
// minutes, -2 when it did not end within a minute of the signal (either way it is then killed).
inline int interruptWhen(pid_t pid, const std::function<bool(pid_t)>& ready, int signal) {
  if (pid <= 0) return -1;
  const auto endsBy = [pid](std::chrono::steady_clock::time_point deadline, int& status) {
    while (std::chrono::steady_clock::now() < deadline) {
      if (::waitpid(pid, &status, WNOHANG) == pid) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return false;
  };
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
  int status = 0;
  bool sent = false;
  while (!sent && std::chrono::steady_clock::now() < deadline) {
    if (ready(pid)) {
      sent = ::kill(pid, signal) == 0;
    } else if (::waitpid(pid, &status, WNOHANG) == pid) {
      return -1;
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  }
  if (sent && endsBy(std::chrono::steady_clock::now() + std::chrono::seconds(60), status)) {
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
  }
  ::kill(pid, SIGKILL);
  ::waitpid(pid, &status, 0);
  return sent ? -2 : -1;
}

// Whether the process waits in the kernel on a pipe: for its other end to be opened, or to read.
inline bool waitsOnPipe(pid_t pid) {
  std::ifstream file("/proc/" + std::to_string(pid) + "/wchan");
  const std::string where((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  return where == "wait_for_partner" || where.find("pipe_read") != std::string::npos;
}

}  // namespace tool_spawn
