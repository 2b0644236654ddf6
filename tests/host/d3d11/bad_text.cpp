// A text that does not compile, in place of the intro's own: linked into a copy of intro.exe so
// that a test sees what a user sees then (the compiler's message in the "Error" box, exit 10).
#include "shaders/shader_source.h"

const char shaderSource[] = "[numthreads(16,16,1)] void Z1(uint3 v : SV_DispatchThreadID) { undefinedHelper(v); }\n";
const unsigned shaderSourceLength = sizeof shaderSource - 1;
