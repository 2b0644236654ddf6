// Compiles in a child process: the same result as in this one, and a compiler that is killed,
// runs past its time or out of its memory is a failed compile that says so, while this process
// goes on.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

#include "host/vulkan/vk_compile.h"
#include "shaders/shader_source.h"

namespace {

using vk_compile::ChildLimits;

bool killedCompiler(const char*, std::size_t, const char*, std::vector<std::uint32_t>&, std::string&) {
  ::kill(::getpid(), SIGKILL);
  return true;
}

bool endlessCompiler(const char*, std::size_t, const char*, std::vector<std::uint32_t>&, std::string&) {
  for (;;) ::pause();
}

// Takes 1 GiB (touched) in 64 MiB steps; true if it got it all.
bool hungryCompiler(const char*, std::size_t, const char*, std::vector<std::uint32_t>&, std::string&) {
  std::vector<std::unique_ptr<char[]>> blocks;
  for (int i = 0; i < 16; ++i) {
    blocks.push_back(std::make_unique<char[]>(64u << 20));
    std::memset(blocks.back().get(), 1, 64u << 20);
  }
  return true;
}

TEST(CompileInChild, GivesWhatTheCompilerGivesHere) {
  const std::string text(shaderSource, shaderSourceLength);
  std::vector<std::uint32_t> here;
  std::vector<std::uint32_t> there;
  std::string hereMessage;
  std::string thereMessage;
  ASSERT_TRUE(vk_compile::compileHlsl(text.data(), text.size(), "Z3", here, hereMessage)) << hereMessage;
  ASSERT_TRUE(vk_compile::compileInChild(vk_compile::compileHlsl, ChildLimits{}, text.data(), text.size(), "Z3", there,
                                         thereMessage))
      << thereMessage;
  EXPECT_EQ(there, here);

  const std::string broken = text + "\nthis is not HLSL (\n";
  EXPECT_FALSE(vk_compile::compileHlsl(broken.data(), broken.size(), "Z3", here, hereMessage));
  EXPECT_FALSE(
      vk_compile::compileInChild(vk_compile::compileHlsl, ChildLimits{}, broken.data(), broken.size(), "Z3", there,
                                 thereMessage));
  EXPECT_EQ(thereMessage, hereMessage);
  EXPECT_TRUE(there.empty());
}

TEST(CompileInChild, ACompilerKilledOrPastItsLimitsIsAFailedCompile) {
  const ChildLimits limits{0.5, 256};
  std::vector<std::uint32_t> spirv{1, 2, 3};
  std::string message;
  EXPECT_FALSE(vk_compile::compileInChild(killedCompiler, limits, "", 0, "Z3", spirv, message));
  EXPECT_NE(message.find("on entry point Z3, crashed (signal " + std::to_string(SIGKILL)), std::string::npos)
      << message;
  EXPECT_TRUE(spirv.empty());

  EXPECT_FALSE(vk_compile::compileInChild(endlessCompiler, limits, "", 0, "Z5", spirv, message));
  EXPECT_NE(message.find("on entry point Z5, took more than 0.5 s and was stopped"), std::string::npos) << message;

  // Under a sanitizer the child's allocator reports the failure itself: said as an end without a result.
  EXPECT_FALSE(vk_compile::compileInChild(hungryCompiler, limits, "", 0, "ZB", spirv, message));
  EXPECT_NE(message.find("on entry point ZB, "), std::string::npos) << message;
}

// The intro's own route, once switched to children: a loop unrolled over 200,000 steps, which
// overflows the optimiser's stack after minutes, comes back as a failed compile within the limit.
TEST(CompileInChild, TheIntrosRouteSurvivesALoopUnrolledTooFar) {
  const std::string text =
      "RWTexture2D<float4> w : register(u0);\n"
      "[numthreads(16, 16, 1)] void Z1(uint3 v : SV_DispatchThreadID) {\n"
      "  float s = 0;\n"
      "  [unroll] for (int i = 0; i < 200000; ++i) s = sin(s + i);\n"
      "  w[v.xy] = float4(s, 0, 0, 1);\n"
      "}\n";
  vk_compile::compileInChildren(ChildLimits{2, 1024});
  std::vector<std::uint32_t> spirv;
  std::string message;
  EXPECT_FALSE(vk_compile::compileHlsl(text.data(), text.size(), "Z1", spirv, message));
  EXPECT_NE(message.find("the shader compiler, on entry point Z1, "), std::string::npos) << message;
  EXPECT_NE(message.find("unrolled"), std::string::npos) << "the message says what may cause it: " << message;
}

}  // namespace
