#pragma once
// The twelve compute shaders from ready Direct3D bytecode (cs_5_0 DXBC) instead of the intro's
// own D3DCompile path: for tests that draw the intro's text where the system's HLSL compiler
// cannot compile it (wine's), with the bytecode compiled beforehand by another compiler.
#include <cstddef>

#include "host/backend_rules.h"

struct ShaderBytecode {
  const void* data = nullptr;
  std::size_t size = 0;
};

// Creates pCS[] from one blob per entry point, in compile order (shaderEntryPoints: "Z1".."ZB",
// then "ZZ"), replacing the shaders there. On the first failure writes which entry point failed
// and why into message (cut to messageSize - 1 bytes) and returns false.
bool createShadersFromBytecode(const ShaderBytecode (&blobs)[backend_rules::entryPointCount],
                                char* message, std::size_t messageSize);
