#pragma once
// SPIR-V translated from Direct3D shader bytecode (by vkd3d-shader) made to fit the host's
// pipeline layout: its resources are numbered in the order the shader uses them, and its entry
// point is called "main". This rewrites the binding decorations onto the host's layout by the
// register names the translator gives its variables (cb0_0 -> b0, tN, sN, uN) and gives the entry
// point the name the host asks for.
#include <cstdint>
#include <string>
#include <vector>

namespace vk_compile {

// False with error set when the module is malformed or holds a resource that the layout lacks.
bool adoptBytecodeSpirv(std::vector<std::uint32_t>& spirv, const char* entryPoint, std::string& error);

}  // namespace vk_compile
