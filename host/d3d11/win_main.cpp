// The Windows entry point. The start-up sequence and the frame loop are the portable ones of
// host/main.cpp, whose main is compiled as introMain for this program (see CMakeLists.txt); the
// command line comes from the runtime's own split of it, argument 0 being the program.
#include <cstdlib>

#include "host/d3d11/win_host.h"

int introMain(int argc, char** argv);

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return introMain(__argc, __argv); }
