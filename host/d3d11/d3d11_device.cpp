// The Direct3D 11 side of the Windows back end: device and swap chain, the back buffer's
// unordered-access view (u0), the constant buffer (b0), the twelve compute shaders compiled with
// D3DCompile, the text textures (t1..t5), the render texture (t0) and one frame's passes.
// No sampler is bound: s0 is the default sampler state the shaders expect.
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "host/backend_rules.h"
#include "host/d3d11/d3d11_rules.h"
#include "host/d3d11/win_host.h"
#include "host/platform.h"
#include "shaders/shader_source.h"
#include "text/text_textures.h"

namespace {

static_assert(static_cast<std::uint32_t>(DXGI_ERROR_DEVICE_REMOVED) == d3d11rules::deviceRemoved);
static_assert(static_cast<std::uint32_t>(DXGI_ERROR_DEVICE_RESET) == d3d11rules::deviceReset);

// Every Direct3D call after the device exists goes through here. Going on after a failure would
// only meet a null object later, so the failure is said once (the call, what it was for, its
// HRESULT) and the run ends with exit code 1, as a Vulkan failure does.
void check(HRESULT result, const char* call, const char* subject) {
  if (!d3d11rules::failed(result)) return;
  HRESULT reason = S_OK;
  if (result == DXGI_ERROR_DEVICE_REMOVED && winHost.pd3dDevice != nullptr)
    reason = winHost.pd3dDevice->GetDeviceRemovedReason();
  char message[256];
  d3d11rules::failureMessage(message, sizeof message, result, call, subject, reason);
  std::fprintf(stderr, "%s\n", message);
  platform::exitProcess(1);
}

// One text texture's description, initial data and objects, under the names of its text.
struct TextObjects {
  D3D11_TEXTURE2D_DESC* description;
  D3D11_SUBRESOURCE_DATA* initialData;
  ID3D11Texture2D** texture;
  ID3D11ShaderResourceView** view;
};

TextObjects textObjects(int id) {
  switch (id) {
    case introText:
      return {&winHost.textDescriptions[introText], &winHost.textInitialData[introText], &winHost.textureInputIntroText,
              &winHost.shaderResourcesIntroText};
    case greetzText:
      return {&winHost.textDescriptions[greetzText], &winHost.textInitialData[greetzText], &winHost.textureInputGreetzText,
              &winHost.shaderResourcesGreetzText};
    case velmText:
      return {&winHost.textDescriptions[velmText], &winHost.textInitialData[velmText], &winHost.textureInputVELMText,
              &winHost.shaderResourcesVELMText};
    case thirtyText:
      return {&winHost.textDescriptions[thirtyText], &winHost.textInitialData[thirtyText], &winHost.textureInputThirtyText,
              &winHost.shaderResourcesThirtyText};
    default:
      return {&winHost.textDescriptions[creditzText], &winHost.textInitialData[creditzText], &winHost.textureInputCreditzText,
              &winHost.shaderResourcesCreditzText};
  }
}

HRESULT createDeviceWith(D3D_DRIVER_TYPE driverType, UINT flags) {
  return D3D11CreateDeviceAndSwapChain(nullptr, driverType, nullptr, flags, nullptr, 0, D3D11_SDK_VERSION,
                                       &winHost.swapChainDesc, &winHost.pSwapChain, &winHost.pd3dDevice, nullptr,
                                       &winHost.pImmediateContext);
}

template <class T>
void release(T*& object) {
  if (object != nullptr) object->Release();
  object = nullptr;
}

}  // namespace

namespace platform {

int createDevice(int width, int height, int verticalSync) {
  winHost.resolutionX = width;
  winHost.resolutionY = height;
  winHost.syncInterval = verticalSync == 1 ? 1 : 0;

  // The debug layer is missing on most machines: then the hardware device without it, then the
  // software rasteriser (WARP), and only when that fails too the error becomes the exit code. A
  // device below feature level 11_0 cannot run the compute shaders and counts as a failure.
  const struct {
    D3D_DRIVER_TYPE driverType;
    UINT flags;
    const char* name;
  } attempts[] = {
      {D3D_DRIVER_TYPE_HARDWARE, D3D11_CREATE_DEVICE_DEBUG, "hardware device with the debug layer"},
      {D3D_DRIVER_TYPE_HARDWARE, 0, "hardware device"},
      {D3D_DRIVER_TYPE_WARP, 0, "software (WARP) device"},
  };
  HRESULT result = E_FAIL;
  for (const auto& attempt : attempts) {
    result = createDeviceWith(attempt.driverType, attempt.flags);
    if (SUCCEEDED(result) && winHost.pd3dDevice->GetFeatureLevel() < D3D_FEATURE_LEVEL_11_0) {
      // Compute shaders of model 5.0 need level 11_0: a device below it would show nothing.
      std::fprintf(stderr, "intro: the %s offers no feature level 11_0\n", attempt.name);
      release(winHost.pImmediateContext);
      release(winHost.pSwapChain);
      release(winHost.pd3dDevice);
      result = DXGI_ERROR_UNSUPPORTED;
      continue;
    }
    if (SUCCEEDED(result)) break;
    std::fprintf(stderr, "intro: no %s (0x%08lX)\n", attempt.name, static_cast<unsigned long>(result));
  }
  if (FAILED(result)) return static_cast<int>(result);

  ID3D11Texture2D* backBuffer = nullptr;
  check(winHost.pSwapChain->GetBuffer(0, __uuidof(ID3D11Texture2D), reinterpret_cast<void**>(&backBuffer)),
        "GetBuffer", "the back buffer");
  check(winHost.pd3dDevice->CreateUnorderedAccessView(backBuffer, nullptr, &winHost.backBufferView),
        "CreateUnorderedAccessView", "the back buffer");
  release(backBuffer);  // the view keeps the texture
  winHost.pImmediateContext->CSSetUnorderedAccessViews(0, 1, &winHost.backBufferView, nullptr);

  check(winHost.pd3dDevice->CreateBuffer(&winHost.constantBufferDesc, nullptr, &winHost.pConstants), "CreateBuffer",
        "the constant buffer");
  winHost.pImmediateContext->CSSetConstantBuffers(0, 1, &winHost.pConstants);
  return 0;
}

bool compileShaders(const char* source, char* message, std::size_t messageSize) {
  winHost.pBlob = nullptr;
  winHost.pErrorBlob = nullptr;
  const std::size_t sourceSize = std::strlen(source) + 1;  // the terminating zero too
  for (int order = 0; order < backend_rules::entryPointCount; ++order) {
    const HRESULT result = D3DCompile(source, sourceSize, nullptr, nullptr, nullptr, shaderEntryPoints[order],
                                      "cs_5_0", D3DCOMPILE_DEBUG, 0, &winHost.pBlob, &winHost.pErrorBlob);
    if (FAILED(result)) {
      const char* text = nullptr;
      std::size_t textSize = 0;
      if (winHost.pErrorBlob != nullptr) {
        text = static_cast<const char*>(winHost.pErrorBlob->GetBufferPointer());
        textSize = winHost.pErrorBlob->GetBufferSize();
      }
      backend_rules::copyCompilerMessage(message, messageSize, text, textSize);
      release(winHost.pErrorBlob);
      release(winHost.pBlob);
      return false;
    }
    // The text compiled, so a refusal here is the device's failure, not the shaders': exit 1 like
    // every other device call, not the Error box and exit 10 that show a compiler's message.
    char subject[32];
    std::snprintf(subject, sizeof subject, "entry point %s", shaderEntryPoints[order]);
    check(winHost.pd3dDevice->CreateComputeShader(winHost.pBlob->GetBufferPointer(), winHost.pBlob->GetBufferSize(),
                                                  nullptr, &winHost.pCS[backend_rules::pipelineIndexOf(order)]),
          "CreateComputeShader", subject);
    // Warnings of a successful compilation are not shown.
    release(winHost.pErrorBlob);
    release(winHost.pBlob);
    pumpMessages();  // the compilations take a while; the window stays responsive
  }
  return true;
}

void createTextTextures(const TextTexture* textures, int count) {
  for (int id = 0; id < count && id < textCount; ++id) {
    const TextTexture& text = textures[id];
    const TextObjects objects = textObjects(id);
    D3D11_TEXTURE2D_DESC& description = *objects.description;
    description.Width = static_cast<UINT>(text.width);
    description.Height = static_cast<UINT>(text.height);
    description.MipLevels = 1;
    description.ArraySize = 1;
    description.Format = DXGI_FORMAT_R8G8B8A8_UNORM;
    description.SampleDesc = {1, 0};
    description.Usage = D3D11_USAGE_DEFAULT;
    description.BindFlags = D3D11_BIND_SHADER_RESOURCE;
    description.CPUAccessFlags = 0;
    description.MiscFlags = 0;
    D3D11_SUBRESOURCE_DATA& initialData = *objects.initialData;
    initialData.pSysMem = text.rgba;
    initialData.SysMemPitch = static_cast<UINT>(text.width) * 4;
    initialData.SysMemSlicePitch = 0;
    char subject[64];
    std::snprintf(subject, sizeof subject, "text texture %s (%d x %d)", text.stem != nullptr ? text.stem : "?",
                  text.width, text.height);
    check(winHost.pd3dDevice->CreateTexture2D(&description, &initialData, objects.texture), "CreateTexture2D", subject);
    check(winHost.pd3dDevice->CreateShaderResourceView(*objects.texture, nullptr, objects.view),
          "CreateShaderResourceView", subject);
  }
}

void createRenderTexture() {
  winHost.renderTextureDesc.Width = static_cast<UINT>(winHost.resolutionX);
  winHost.renderTextureDesc.Height = static_cast<UINT>(winHost.resolutionY);
  winHost.renderTextureDesc.MipLevels = 1;
  winHost.renderTextureDesc.ArraySize = 1;
  winHost.renderTextureDesc.Format = DXGI_FORMAT_R8G8B8A8_UNORM;
  winHost.renderTextureDesc.SampleDesc = {1, 0};
  winHost.renderTextureDesc.Usage = D3D11_USAGE_DEFAULT;
  winHost.renderTextureDesc.BindFlags = D3D11_BIND_SHADER_RESOURCE | D3D11_BIND_RENDER_TARGET;
  winHost.renderTextureDesc.CPUAccessFlags = 0;
  winHost.renderTextureDesc.MiscFlags = 0;
  char subject[64];
  std::snprintf(subject, sizeof subject, "the render texture (%d x %d)", winHost.resolutionX, winHost.resolutionY);
  check(winHost.pd3dDevice->CreateTexture2D(&winHost.renderTextureDesc, nullptr, &winHost.textureRender),
        "CreateTexture2D", subject);
  check(winHost.pd3dDevice->CreateShaderResourceView(winHost.textureRender, nullptr, &winHost.shaderResourcesRender),
        "CreateShaderResourceView", subject);

  // t0 the scene picture, then the texts: t1 VELM, t2 Intro, t3 Thirty, t4 Greetz, t5 Creditz.
  ID3D11DeviceContext* context = winHost.pImmediateContext;
  context->CSSetShaderResources(0, 1, &winHost.shaderResourcesRender);
  const TextId bindOrder[] = {velmText, introText, thirtyText, greetzText, creditzText};
  for (const TextId id : bindOrder) context->CSSetShaderResources(static_cast<UINT>(textSlot(id)), 1, textObjects(id).view);
}

void setFullscreen() { winHost.pSwapChain->SetFullscreenState(TRUE, nullptr); }

void drawFrame(const ShaderParams& shaderParams, int sceneIndex) {
  pumpMessages();
  ID3D11DeviceContext* context = winHost.pImmediateContext;
  const UINT groupsX = backend_rules::dispatchGroups(winHost.resolutionX);
  const UINT groupsY = backend_rules::dispatchGroups(winHost.resolutionY);

  context->UpdateSubresource(winHost.pConstants, 0, nullptr, &shaderParams, 4, 4);
  context->CSSetShader(winHost.pCS[sceneIndex], nullptr, 0);
  context->Dispatch(groupsX, groupsY, 1);

  void** backBuffer = reinterpret_cast<void**>(&winHost.textureRenderTemp);
  check(winHost.pSwapChain->GetBuffer(0, __uuidof(ID3D11Texture2D), backBuffer), "GetBuffer", "the back buffer");
  context->CopyResource(winHost.textureRender, winHost.textureRenderTemp);
  release(winHost.textureRenderTemp);  // fetched again next frame

  context->CSSetShader(winHost.pCS[0], nullptr, 0);
  context->Dispatch(groupsX, groupsY, 1);
  // A removed or reset device ends the run here; an occluded window's status is no failure.
  check(winHost.pSwapChain->Present(winHost.syncInterval, 0), "Present", nullptr);
}

}  // namespace platform
