#pragma once
// HLSL to SPIR-V with shaderc, set up so that the intro's HLSL text means on Vulkan what it
// means on Direct3D: compute stage, the entry point by name, min/max/clamp favour a non-NaN
// operand, HLSL register numbers kept, binding bases b0 -> 0, t0..t5 -> 1..6, s0 -> 7, u0 -> 8,
// and INTRO_VULKAN defined (the storage image is declared rgba8 under it).
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vk_compile {

inline constexpr std::uint32_t constantsBinding = 0;
inline constexpr std::uint32_t textureBinding0 = 1;  // t0..t5 -> 1..6
inline constexpr std::uint32_t samplerBinding = 7;
inline constexpr std::uint32_t imageBinding = 8;

// A route from the HLSL text to SPIR-V for the host's layout: one entry point of source (length
// bytes, no terminator needed), whose name the SPIR-V's entry point carries. On failure it returns
// false with the compiler's message in message ("unknown compiler error" when it gives none).
using SpirvCompiler = bool (*)(const char* source, std::size_t length, const char* entryPoint,
                               std::vector<std::uint32_t>& spirv, std::string& message);

// The intro's route on Vulkan: shaderc (glslang) as above.
bool compileHlsl(const char* source, std::size_t length, const char* entryPoint,
                 std::vector<std::uint32_t>& spirv, std::string& message);

}  // namespace vk_compile
