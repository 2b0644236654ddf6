#pragma once
// The HLSL text through Direct3D shader bytecode on the Vulkan host: each entry point compiled to
// cs_5_0 bytecode, the bytecode translated to SPIR-V, both by vkd3d-shader's compiler program,
// then fitted to the host's bindings. It checks on Linux what Direct3D's compiler would be given.
//
// The compiler is $INTRO_VKD3D_COMPILER when set, else the one the build found (scripts/vkd3d
// installs it), else vkd3d-compiler on PATH.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "host/vulkan/vk_compile.h"

enum class ShaderRoute { glslang, vkd3d };

// "glslang" or "vkd3d"; false for anything else.
bool parseShaderRoute(const std::string& text, ShaderRoute& route);
const char* shaderRouteName(ShaderRoute route);

// The path of the vkd3d compiler to run; empty when none is found.
std::string vkd3dCompilerPath();

// A vk_compile::SpirvCompiler: HLSL -> cs_5_0 bytecode -> SPIR-V. Any error or warning of the
// compiler fails it, with the compiler's words in message.
bool compileThroughBytecode(const char* source, std::size_t length, const char* entryPoint,
                            std::vector<std::uint32_t>& spirv, std::string& message);

// Only the first step: cs_5_0 bytecode of entryPoint.
bool compileBytecode(const char* source, std::size_t length, const char* entryPoint, std::vector<std::uint8_t>& dxbc,
                     std::string& message);

inline vk_compile::SpirvCompiler spirvCompilerFor(ShaderRoute route) {
  return route == ShaderRoute::vkd3d ? compileThroughBytecode : vk_compile::compileHlsl;
}
