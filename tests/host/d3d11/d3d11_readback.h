#pragma once
// Reading pictures back from the Direct3D 11 back end in its tests: a texture's RGBA8 texels
// through a staging copy, row 0 first and rows packed.
#include <cstdint>
#include <cstring>
#include <vector>

#include "host/d3d11/win_host.h"

// The RGBA8 texels of a texture (the back buffer or textureRender); empty when it cannot be read.
inline std::vector<std::uint8_t> readTexture(ID3D11Texture2D* texture) {
  D3D11_TEXTURE2D_DESC description;
  texture->GetDesc(&description);
  description.Usage = D3D11_USAGE_STAGING;
  description.BindFlags = 0;
  description.CPUAccessFlags = D3D11_CPU_ACCESS_READ;
  description.MiscFlags = 0;
  ID3D11Texture2D* staging = nullptr;
  std::vector<std::uint8_t> texels;
  if (FAILED(winHost.pd3dDevice->CreateTexture2D(&description, nullptr, &staging))) return texels;
  winHost.pImmediateContext->CopyResource(staging, texture);
  D3D11_MAPPED_SUBRESOURCE mapped;
  if (SUCCEEDED(winHost.pImmediateContext->Map(staging, 0, D3D11_MAP_READ, 0, &mapped))) {
    texels.resize(static_cast<std::size_t>(description.Width) * description.Height * 4);
    for (UINT row = 0; row < description.Height; ++row)
      std::memcpy(&texels[row * description.Width * 4], static_cast<const std::uint8_t*>(mapped.pData) +
                  row * mapped.RowPitch, description.Width * 4);
    winHost.pImmediateContext->Unmap(staging, 0);
  }
  staging->Release();
  return texels;
}

inline std::vector<std::uint8_t> readBackBuffer() {
  ID3D11Texture2D* backBuffer = nullptr;
  winHost.pSwapChain->GetBuffer(0, __uuidof(ID3D11Texture2D), reinterpret_cast<void**>(&backBuffer));
  if (backBuffer == nullptr) return {};
  std::vector<std::uint8_t> texels = readTexture(backBuffer);
  backBuffer->Release();
  return texels;
}
