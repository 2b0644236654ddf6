// The Direct3D 11 back end end to end, on Windows (or wine with a display): window, device, the
// twelve compilations, text textures, render texture, bindings and one frame's two passes, with
// probe shaders in place of the scenes. Each probe writes what it received: its own pipeline
// index, the parameters of b0, which text texture sits in which slot, and the final pass what it
// reads back from t0.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "host/backend_rules.h"
#include "host/d3d11/win_host.h"
#include "host/platform.h"
#include "synth/synth.h"
#include "synth/timing.h"
#include "tests/host/d3d11/d3d11_readback.h"
#include "text/text_textures.h"

namespace {

// A picture size that is not a multiple of the 16 x 16 thread groups.
constexpr int width = 40;
constexpr int height = 20;

// Scene probes write (pipeline index, e, text-slot bits, x + y) / 255; the final pass writes what it
// reads from t0 with t / 255 as alpha. Column c of the text bits has bit s - 1 set when the texture
// in slot ts has ink in column c.
std::string probeSource() {
  std::string source = R"(
float e, e2, e3, t, x, y;
RWTexture2D<float4> w : register(u0);
Texture2D<float4> T : register(t0);
Texture2D<float4> T1 : register(t1);
Texture2D<float4> T2 : register(t2);
Texture2D<float4> T3 : register(t3);
Texture2D<float4> T4 : register(t4);
Texture2D<float4> T5 : register(t5);
#define SLOT_BITS(c) (T1.Load(int3(c, 0, 0)).x + T2.Load(int3(c, 0, 0)).x * 2 + T3.Load(int3(c, 0, 0)).x * 4 + \
                      T4.Load(int3(c, 0, 0)).x * 8 + T5.Load(int3(c, 0, 0)).x * 16)
#define PROBE(v, index) \
  if (v.x < (uint)x && v.y < (uint)y) w[v] = float4(index, e * 255, SLOT_BITS(v.x), x + y) / 255
)";
  const char* scenes[] = {"Z1", "Z2", "Z3", "Z4", "Z5", "Z6", "Z7", "Z8", "Z9", "ZA", "ZB"};
  for (int i = 0; i < 11; ++i)
    source += "[numthreads(16,16,1)] void " + std::string(scenes[i]) +
              "(uint3 v : SV_DispatchThreadID) { uint2 p = uint2(v.x, v.y); PROBE(p, " + std::to_string(i + 1) +
              "); }\n";
  source += R"(
[numthreads(16,16,1)] void ZZ(uint3 v : SV_DispatchThreadID) {
  uint2 p = uint2(v.x, v.y);
  if (p.x < (uint)x && p.y < (uint)y) w[p] = float4(T.Load(int3(p, 0)).xyz, t / 255);
}
)";
  return source;
}

// Five text textures 8 texels wide and 13 high; text k has ink in column k only.
struct ProbeTexts {
  std::uint8_t pixels[textCount][8 * 13 * 4] = {};
  TextTexture textures[textCount];
  ProbeTexts() {
    const char* stems[textCount] = {"Intro", "Greetz", "VELM", "Thirty", "Creditz"};
    for (int k = 0; k < textCount; ++k) {
      for (int row = 0; row < 13; ++row) std::memset(&pixels[k][(row * 8 + k) * 4], 255, 4);
      textures[k] = {stems[k], 8, 13, pixels[k]};
    }
  }
};

struct Texel {
  int r, g, b, a;
};
Texel texelAt(const std::vector<std::uint8_t>& texels, int px, int py) {
  const std::uint8_t* p = &texels[static_cast<std::size_t>(py * width + px) * 4];
  return {p[0], p[1], p[2], p[3]};
}

// Slot bits that column c of the picture shows: Intro t2, Greetz t4, VELM t1, Thirty t3, Creditz t5.
int expectedSlotBits(int column) {
  switch (column) {
    case introText: return 2;
    case greetzText: return 8;
    case velmText: return 1;
    case thirtyText: return 4;
    case creditzText: return 16;
    default: return 0;
  }
}

class BackEnd : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    platform::createWindow(width, height);
    deviceResult = platform::createDevice(width, height, 0);
    if (deviceResult != 0) return;
    char message[4096];
    compiled = platform::compileShaders(probeSource().c_str(), message, sizeof message);
    if (!compiled) compileMessage = message;
    platform::createTextTextures(texts.textures, textCount);
    platform::createRenderTexture();
  }
  void SetUp() override { ASSERT_EQ(deviceResult, 0) << "no Direct3D 11 device"; }

  static inline int deviceResult = -1;
  static inline bool compiled = false;
  static inline std::string compileMessage;
  static inline ProbeTexts texts;
};

TEST_F(BackEnd, WindowAndSwapChainHaveThePictureSize) {
  ASSERT_NE(winHost.mainWindow, nullptr);
  EXPECT_EQ(winHost.swapChainDesc.OutputWindow, winHost.mainWindow);
  EXPECT_EQ(winHost.swapChainDesc.BufferDesc.Width, static_cast<UINT>(width));
  EXPECT_EQ(winHost.swapChainDesc.BufferDesc.Height, static_cast<UINT>(height));
  char className[16] = {};
  GetClassNameA(winHost.mainWindow, className, sizeof className);
  EXPECT_EQ(lstrcmpiA(className, "edit"), 0) << className;
  EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(winHost.mainWindow, GWL_STYLE)) & (WS_POPUP | WS_VISIBLE),
            static_cast<DWORD>(WS_POPUP | WS_VISIBLE));
  RECT client = {};
  GetClientRect(winHost.mainWindow, &client);
  EXPECT_EQ(client.right - client.left, width);
  EXPECT_EQ(client.bottom - client.top, height);

  DXGI_SWAP_CHAIN_DESC actual = {};
  ASSERT_TRUE(SUCCEEDED(winHost.pSwapChain->GetDesc(&actual)));
  EXPECT_EQ(actual.BufferDesc.Width, static_cast<UINT>(width));
  EXPECT_EQ(actual.BufferDesc.Height, static_cast<UINT>(height));
  EXPECT_EQ(actual.BufferDesc.Format, DXGI_FORMAT_R8G8B8A8_UNORM);
  EXPECT_EQ(actual.OutputWindow, winHost.mainWindow);
  EXPECT_TRUE(actual.Windowed);

  D3D11_TEXTURE2D_DESC description;
  winHost.textureRender->GetDesc(&description);
  EXPECT_EQ(description.Width, static_cast<UINT>(width));
  EXPECT_EQ(description.Height, static_cast<UINT>(height));
  EXPECT_EQ(description.Format, DXGI_FORMAT_R8G8B8A8_UNORM);
  EXPECT_EQ(description.BindFlags, static_cast<UINT>(D3D11_BIND_SHADER_RESOURCE | D3D11_BIND_RENDER_TARGET));
}

// u0, b0 and t0..t5 hold what the frame loop relies on.
TEST_F(BackEnd, StandingBindings) {
  ID3D11DeviceContext* context = winHost.pImmediateContext;
  ID3D11UnorderedAccessView* unordered = nullptr;
  context->CSGetUnorderedAccessViews(0, 1, &unordered);
  EXPECT_EQ(unordered, winHost.backBufferView);
  ID3D11Buffer* constants = nullptr;
  context->CSGetConstantBuffers(0, 1, &constants);
  EXPECT_EQ(constants, winHost.pConstants);
  ID3D11ShaderResourceView* views[6] = {};
  context->CSGetShaderResources(0, 6, views);
  EXPECT_EQ(views[0], winHost.shaderResourcesRender);
  EXPECT_EQ(views[1], winHost.shaderResourcesVELMText);
  EXPECT_EQ(views[2], winHost.shaderResourcesIntroText);
  EXPECT_EQ(views[3], winHost.shaderResourcesThirtyText);
  EXPECT_EQ(views[4], winHost.shaderResourcesGreetzText);
  EXPECT_EQ(views[5], winHost.shaderResourcesCreditzText);
  if (unordered != nullptr) unordered->Release();
  if (constants != nullptr) constants->Release();
  for (ID3D11ShaderResourceView* view : views)
    if (view != nullptr) view->Release();

  D3D11_BUFFER_DESC buffer = {};
  winHost.pConstants->GetDesc(&buffer);
  EXPECT_EQ(buffer.ByteWidth, 32u);
  EXPECT_EQ(buffer.BindFlags, static_cast<UINT>(D3D11_BIND_CONSTANT_BUFFER));
}

// Each text texture is its text's picture, 13 rows of 8 texels per character, in its own slot.
TEST_F(BackEnd, TextTextures) {
  ID3D11Texture2D* const textures[textCount] = {winHost.textureInputIntroText, winHost.textureInputGreetzText,
                                                winHost.textureInputVELMText, winHost.textureInputThirtyText,
                                                winHost.textureInputCreditzText};
  for (int k = 0; k < textCount; ++k) {
    ASSERT_NE(textures[k], nullptr) << k;
    D3D11_TEXTURE2D_DESC description;
    textures[k]->GetDesc(&description);
    EXPECT_EQ(description.Width, 8u);
    EXPECT_EQ(description.Height, 13u);
    EXPECT_EQ(description.MipLevels, 1u);
    EXPECT_EQ(description.Format, DXGI_FORMAT_R8G8B8A8_UNORM);
    EXPECT_EQ(description.BindFlags, static_cast<UINT>(D3D11_BIND_SHADER_RESOURCE));
    const std::vector<std::uint8_t> texels = readTexture(textures[k]);
    ASSERT_EQ(texels.size(), sizeof texts.pixels[k]);
    EXPECT_EQ(std::memcmp(texels.data(), texts.pixels[k], texels.size()), 0) << k;
  }
}

// Without the probe shaders the passes draw nothing, but a frame still uploads the parameters and
// copies the back buffer whole into textureRender.
TEST_F(BackEnd, FrameUploadsTheParametersAndCopiesTheBackBuffer) {
  const float colour[4] = {0.2f, 0.4f, 0.6f, 1.0f};
  winHost.pImmediateContext->ClearUnorderedAccessViewFloat(winHost.backBufferView, colour);
  ID3D11ComputeShader* shaders[backend_rules::entryPointCount];
  std::memcpy(shaders, winHost.pCS, sizeof shaders);
  std::memset(winHost.pCS, 0, sizeof winHost.pCS);  // passes that do nothing
  const ShaderParams params = {1.5f, 0.25f, 0.75f, 123.0f, static_cast<float>(width), static_cast<float>(height)};
  platform::drawFrame(params, 4);
  std::memcpy(winHost.pCS, shaders, sizeof shaders);

  const std::vector<std::uint8_t> copy = readTexture(winHost.textureRender);
  ASSERT_EQ(copy.size(), static_cast<std::size_t>(width * height * 4));
  for (int py = 0; py < height; ++py)
    for (int px = 0; px < width; ++px) {
      const Texel texel = texelAt(copy, px, py);
      ASSERT_EQ(texel.r, 51) << px << "," << py;
      ASSERT_EQ(texel.g, 102) << px << "," << py;
      ASSERT_EQ(texel.b, 153) << px << "," << py;
      ASSERT_EQ(texel.a, 255) << px << "," << py;
    }

  D3D11_BUFFER_DESC description = {};
  winHost.pConstants->GetDesc(&description);
  description.Usage = D3D11_USAGE_STAGING;
  description.BindFlags = 0;
  description.CPUAccessFlags = D3D11_CPU_ACCESS_READ;
  ID3D11Buffer* staging = nullptr;
  ASSERT_TRUE(SUCCEEDED(winHost.pd3dDevice->CreateBuffer(&description, nullptr, &staging)));
  winHost.pImmediateContext->CopyResource(staging, winHost.pConstants);
  D3D11_MAPPED_SUBRESOURCE mapped;
  ASSERT_TRUE(SUCCEEDED(winHost.pImmediateContext->Map(staging, 0, D3D11_MAP_READ, 0, &mapped)));
  ShaderParams uploaded;
  std::memcpy(&uploaded, mapped.pData, sizeof uploaded);
  winHost.pImmediateContext->Unmap(staging, 0);
  staging->Release();
  for (int i = 0; i < 8; ++i) EXPECT_EQ(uploaded.floats()[i], params.floats()[i]) << i;
}

TEST_F(BackEnd, EveryPipelineSlotHasItsShader) {
  // The probes need an HLSL compiler for compute shaders (wine's does not compile them yet).
  if (!compiled) GTEST_SKIP() << "the probe shaders do not compile here: " << compileMessage;
  for (int index = 0; index < backend_rules::entryPointCount; ++index) EXPECT_NE(winHost.pCS[index], nullptr) << index;
  EXPECT_EQ(winHost.pBlob, nullptr);
  EXPECT_EQ(winHost.pErrorBlob, nullptr);
}

TEST_F(BackEnd, OneFrameRunsTheSceneThenTheFinalPassOverEveryPixel) {
  // The probes need an HLSL compiler for compute shaders (wine's does not compile them yet).
  if (!compiled) GTEST_SKIP() << "the probe shaders do not compile here: " << compileMessage;
  for (const int scene : {1, 3, 10, 11}) {
    const ShaderParams params = {10.0f / 255, 0, 0, 77, static_cast<float>(width), static_cast<float>(height)};
    platform::drawFrame(params, scene);
    // The scene's picture, copied into textureRender (t0).
    const std::vector<std::uint8_t> copy = readTexture(winHost.textureRender);
    ASSERT_EQ(copy.size(), static_cast<std::size_t>(width * height * 4));
    // The final pass's picture: a discarding swap chain need not keep the back buffer after
    // Present, so the pass runs once more over the same bindings before it is read.
    winHost.pImmediateContext->CSSetShader(winHost.pCS[0], nullptr, 0);
    winHost.pImmediateContext->Dispatch(backend_rules::dispatchGroups(width), backend_rules::dispatchGroups(height), 1);
    const std::vector<std::uint8_t> picture = readBackBuffer();
    ASSERT_EQ(picture.size(), copy.size());
    for (int py = 0; py < height; ++py) {
      for (int px = 0; px < width; ++px) {
        const Texel scenePixel = texelAt(copy, px, py);
        ASSERT_EQ(scenePixel.r, scene) << px << "," << py;
        ASSERT_EQ(scenePixel.g, 10) << px << "," << py;
        ASSERT_EQ(scenePixel.b, expectedSlotBits(px)) << px << "," << py;
        ASSERT_EQ(scenePixel.a, width + height) << px << "," << py;
        const Texel finalPixel = texelAt(picture, px, py);
        ASSERT_EQ(finalPixel.r, scene) << px << "," << py;
        ASSERT_EQ(finalPixel.g, 10) << px << "," << py;
        ASSERT_EQ(finalPixel.b, expectedSlotBits(px)) << px << "," << py;
        ASSERT_EQ(finalPixel.a, 77) << px << "," << py;
      }
    }
  }
}

TEST_F(BackEnd, CompilerMessageComesBackCutToItsBuffer) {
  char message[24];
  std::memset(message, '#', sizeof message);
  const std::string broken = probeSource() + "\nthis is not HLSL;\n";
  EXPECT_FALSE(platform::compileShaders(broken.c_str(), message, 16));
  const std::size_t length = std::strlen(message);
  EXPECT_GT(length, 0u);
  EXPECT_LE(length, 15u);
  for (std::size_t i = 16; i < sizeof message; ++i) EXPECT_EQ(message[i], '#') << i;
}

// A Direct3D call that fails ends the run with exit code 1, saying which call failed on what.
TEST_F(BackEnd, FailedCallSaysWhatAndExitsWithOne) {
  const std::uint8_t texel[4] = {};
  const TextTexture empty = {"Intro", 0, 13, texel};  // no texture is 0 texels wide
  EXPECT_EXIT(platform::createTextTextures(&empty, 1), ::testing::ExitedWithCode(1),
              "intro: CreateTexture2D of text texture Intro \\(0 x 13\\) failed \\(0x80070057\\)");
}

TEST(Audio, PlayPositionAdvancesFromTheStartOfTheSong) {
  EXPECT_EQ(platform::playPosition(), 0u);
  // Like the intro's, the memory stays until the process ends: the render thread is never joined.
  static SynthMemory* const memory = allocateSynthMemory().release();
  platform::startAudio(*memory, builtinSong());
  std::uint32_t last = platform::playPosition();
  EXPECT_LT(last, songFrames);
  bool advanced = false;
  for (int i = 0; i < 200 && !advanced; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const std::uint32_t position = platform::playPosition();
    EXPECT_GE(position, last);
    EXPECT_LE(position, songFrames);
    advanced = position > last;
    last = position;
  }
  EXPECT_TRUE(advanced) << "the play position stays at " << last;
  // The render thread runs on its own and publishes what it has finished.
  for (int i = 0; i < 200 && renderedFrames(*memory) == 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_GT(renderedFrames(*memory), 0u);
}

}  // namespace
