#pragma once
// intro-tool's commands. A command is one file, tools/NAME_command.cpp, that defines its
// function; to add one, add that file and one line to the list below.
//
// A command's function takes the arguments from the command name on (argv[0] is the name) and
// returns the exit code: 0 success, 1 failure while working, 2 a usage error or a bad input file.
#define INTRO_TOOL_COMMANDS(X)                                                          \
  X("song", songCommand, "render the soundtrack to WAV, or export the built-in song")          \
  X("frame", frameCommand, "render one picture of the intro at music time T to PNG")            \
  X("capture", captureCommand, "render the show, or a stretch of it, to MP4 with its soundtrack") \
  X("sheet", sheetCommand, "render a still of every scene and the end into one PNG")                 \
  X("play", playCommand, "watch the show in a window from any moment, with live shader and song edits")

#define INTRO_TOOL_DECLARE(name, function, help) int function(int argc, char** argv);
INTRO_TOOL_COMMANDS(INTRO_TOOL_DECLARE)
#undef INTRO_TOOL_DECLARE

struct ToolCommand {
  const char* name;
  int (*run)(int argc, char** argv);
  const char* help;  // one line
};
