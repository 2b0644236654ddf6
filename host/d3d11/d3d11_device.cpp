// The Direct3D 11 side of the Windows back end: device and swap chain, the back buffer's
// unordered-access view (u0), the constant buffer (b0), the twelve compute shaders compiled with
// D3DCompile, the text textures (t1..t5), the render texture (t0) and one frame's passes.
// No sampler is bound: s0 is the default sampler state the shaders expect.
#include <cstdio>
#include <cstring>

#include "backend_rules.h"
#include "platform.h"
#include "shader_source.h"
#include "text_textures.h"
#include "win_host.h"

namespace {

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
  winHost.pSwapChain->GetBuffer(0, __uuidof(ID3D11Texture2D), reinterpret_cast<void**>(&backBuffer));
  winHost.pd3dDevice->CreateUnorderedAccessView(backBuffer, nullptr, &winHost.backBufferView);
  release(backBuffer);  // the view keeps the texture
  winHost.pImmediateContext->CSSetUnorderedAccessViews(0, 1, &winHost.backBufferView, nullptr);

  winHost.pd3dDevice->CreateBuffer(&winHost.constantBufferDesc, nullptr, &winHost.pConstants);
  winHost.pImmediateContext->CSSetConstantBuffers(0, 1, &winHost.pConstants);
  return 0;
}

bool compileShaders(const char* source, char* message, std::size_t messageSize) {
  winHost.pBlob = nullptr;
  winHost.pErrorBlob = nullptr;
  const std::size_t sourceSize = std::strlen(source) + 1;  // the terminating zero too
  for (int order = 0; order < 12; ++order) {
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
    winHost.pd3dDevice->CreateComputeShader(winHost.pBlob->GetBufferPointer(), winHost.pBlob->GetBufferSize(),
                                            nullptr, &winHost.pCS[backend_rules::pipelineIndexOf(order)]);
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
    winHost.pd3dDevice->CreateTexture2D(&description, &initialData, objects.texture);
    winHost.pd3dDevice->CreateShaderResourceView(*objects.texture, nullptr, objects.view);
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
  winHost.pd3dDevice->CreateTexture2D(&winHost.renderTextureDesc, nullptr, &winHost.textureRender);
  winHost.pd3dDevice->CreateShaderResourceView(winHost.textureRender, nullptr, &winHost.shaderResourcesRender);

  // t0 the scene picture, then the texts: t1 VELM, t2 Intro, t3 Thirty, t4 Greetz, t5 Creditz.
  ID3D11DeviceContext* context = winHost.pImmediateContext;
  context->CSSetShaderResources(0, 1, &winHost.shaderResourcesRender);
  const TextId bindOrder[] = {velmText, introText, thirtyText, greetzText, creditzText};
  for (const TextId id : bindOrder) context->CSSetShaderResources(static_cast<UINT>(textSlot(id)), 1, textObjects(id).view);
}

void setFullscreen() { winHost.pSwapChain->SetFullscreenState(TRUE, nullptr); }

void drawFrame(const float (&shaderParams)[8], int sceneIndex) {
  pumpMessages();
  ID3D11DeviceContext* context = winHost.pImmediateContext;
  const UINT groupsX = backend_rules::dispatchGroups(winHost.resolutionX);
  const UINT groupsY = backend_rules::dispatchGroups(winHost.resolutionY);

  context->UpdateSubresource(winHost.pConstants, 0, nullptr, shaderParams, 4, 4);
  context->CSSetShader(winHost.pCS[sceneIndex], nullptr, 0);
  context->Dispatch(groupsX, groupsY, 1);

  winHost.pSwapChain->GetBuffer(0, __uuidof(ID3D11Texture2D), reinterpret_cast<void**>(&winHost.textureRenderTemp));
  if (winHost.textureRenderTemp != nullptr) {
    context->CopyResource(winHost.textureRender, winHost.textureRenderTemp);
    release(winHost.textureRenderTemp);  // fetched again next frame
  }

  context->CSSetShader(winHost.pCS[0], nullptr, 0);
  context->Dispatch(groupsX, groupsY, 1);
  winHost.pSwapChain->Present(winHost.syncInterval, 0);
}

}  // namespace platform
