#pragma once
// The Windows back end's state: one static struct, shared by its three parts (the window, the
// Direct3D 11 device and the wave-out audio). Everything lives until the process ends.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <mmsystem.h>
#include <mmreg.h>
#include <d3d11.h>
#include <d3dcompiler.h>

#include <cstdint>

struct WinHost {
  // Window (win_window.cpp).
  HWND mainWindow = nullptr;
  bool closeRequested = false;  // the window was asked to close (Alt+F4): ends the run like Escape

  // Launch settings the frame loop needs.
  int resolutionX = 1280;
  int resolutionY = 720;
  UINT syncInterval = 0;

  // Device, swap chain, resources (d3d11_device.cpp).
  ID3D11Device* pd3dDevice = nullptr;
  ID3D11DeviceContext* pImmediateContext = nullptr;
  IDXGISwapChain* pSwapChain = nullptr;
  ID3D11UnorderedAccessView* backBufferView = nullptr;
  ID3D11Buffer* pConstants = nullptr;
  ID3D11ComputeShader* pCS[12] = {};
  ID3DBlob* pBlob = nullptr;
  ID3DBlob* pErrorBlob = nullptr;
  ID3D11Texture2D* textureRender = nullptr;
  ID3D11ShaderResourceView* shaderResourcesRender = nullptr;
  ID3D11Texture2D* textureRenderTemp = nullptr;

  ID3D11Texture2D* textureInputIntroText = nullptr;
  ID3D11Texture2D* textureInputGreetzText = nullptr;
  ID3D11Texture2D* textureInputVELMText = nullptr;
  ID3D11Texture2D* textureInputThirtyText = nullptr;
  ID3D11Texture2D* textureInputCreditzText = nullptr;
  ID3D11ShaderResourceView* shaderResourcesIntroText = nullptr;
  ID3D11ShaderResourceView* shaderResourcesGreetzText = nullptr;
  ID3D11ShaderResourceView* shaderResourcesVELMText = nullptr;
  ID3D11ShaderResourceView* shaderResourcesThirtyText = nullptr;
  ID3D11ShaderResourceView* shaderResourcesCreditzText = nullptr;

  // Audio (wave_audio.cpp).
  HWAVEOUT waveOut = nullptr;
  bool audioPlaying = false;           // the device took the song
  bool audioStarted = false;           // startAudio ran
  LARGE_INTEGER steadyStart = {};      // the clock without a device
  std::uint32_t lastPosition = 0;      // never goes backwards
};

extern WinHost winHost;

// The initialised static records of the start-up (d3d11_device.cpp, wave_audio.cpp).
extern DXGI_SWAP_CHAIN_DESC swapChainDesc;
extern const D3D11_BUFFER_DESC constantBufferDesc;
extern WAVEFORMATEX waveFormat;
extern WAVEHDR waveHeader;
extern MMTIME playTime;

// Retrieves and handles every message waiting for the main thread, so that the system never takes
// the window for hung; called once per frame and between the shader compilations.
void pumpMessages();
