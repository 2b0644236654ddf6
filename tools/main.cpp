// intro-tool: the workbench. `intro-tool COMMAND ARGS...`; the commands are listed in commands.h.
#include <cstdio>
#include <cstring>

#include "tools/commands.h"

namespace {

#define INTRO_TOOL_ENTRY(name, function, help) {name, function, help},
const ToolCommand commands[] = {INTRO_TOOL_COMMANDS(INTRO_TOOL_ENTRY)};
#undef INTRO_TOOL_ENTRY

void printUsage(std::FILE* to) {
  std::fprintf(to, "usage: intro-tool COMMAND [ARGS...]   (intro-tool COMMAND --help)\n\ncommands:\n");
  for (const ToolCommand& command : commands) {
    std::fprintf(to, "  %-8s %s\n", command.name, command.help);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    printUsage(stderr);
    return 2;
  }
  if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0 ||
      std::strcmp(argv[1], "help") == 0) {
    printUsage(stdout);
    return 0;
  }
  for (const ToolCommand& command : commands) {
    if (std::strcmp(argv[1], command.name) == 0) return command.run(argc - 1, argv + 1);
  }
  std::fprintf(stderr, "intro-tool: unknown command '%s'\n\n", argv[1]);
  printUsage(stderr);
  return 2;
}
