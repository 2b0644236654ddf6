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

// The intro's route on Vulkan: shaderc (glslang) as above; in a child process once
// compileInChildren was called.
bool compileHlsl(const char* source, std::size_t length, const char* entryPoint,
                 std::vector<std::uint32_t>& spirv, std::string& message);

// What a compile in a child process may take before it is stopped.
struct ChildLimits {
  double seconds = 30;             // wall-clock time (an entry point of the intro takes under 0.1 s)
  std::uint64_t megabytes = 1024;  // address space beyond what the child inherits (they take under 200)
};

// compile run in a child process of its own (fork), its SPIR-V and message handed back through a
// pipe. A text that takes the compiler down (a loop unrolled too far overflows the optimiser's
// stack after minutes and gigabytes) takes only the child: a child that dies by a signal, runs
// out of its memory or past its time (then it is killed) is a failed compile whose message names
// the entry point and what happened. Callable from any thread; compile itself must not be running
// on another thread meanwhile (its locks would be held in the child).
bool compileInChild(SpirvCompiler compile, const ChildLimits& limits, const char* source, std::size_t length,
                    const char* entryPoint, std::vector<std::uint32_t>& spirv, std::string& message);

// From this call on, compileHlsl runs every compile through compileInChild under limits: for a
// process that compiles texts being edited (the preview player's live builds). Not undone.
void compileInChildren(const ChildLimits& limits);

}  // namespace vk_compile
