#pragma once
// The Windows back end's state: one static struct, shared by its three parts (the window, the
// Direct3D 11 device and the wave-out audio), the records its start-up hands to DXGI, Direct3D 11
// and the wave-out device included. Everything lives until the process ends.
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

#include "host/backend_rules.h"
#include "synth/timing.h"

struct SynthMemory;
struct Song;

struct WinHost {
  // Window (win_window.cpp).
  HWND mainWindow = nullptr;
  bool closeRequested = false;  // the window was asked to close (Alt+F4): ends the run like Escape

  // Launch settings the frame loop needs.
  int resolutionX = 1280;
  int resolutionY = 720;
  UINT syncInterval = 0;

  // Device, swap chain, resources (d3d11_device.cpp).
  DXGI_SWAP_CHAIN_DESC swapChainDesc = {
      {1280, 720, {0, 0}, DXGI_FORMAT_R8G8B8A8_UNORM, DXGI_MODE_SCANLINE_ORDER_UNSPECIFIED,
       DXGI_MODE_SCALING_UNSPECIFIED},  // BufferDesc
      {1, 0},                           // SampleDesc
      DXGI_USAGE_UNORDERED_ACCESS,      // BufferUsage: only written by compute passes
      1,                                // BufferCount
      nullptr,                          // OutputWindow
      TRUE,                             // Windowed
      DXGI_SWAP_EFFECT_DISCARD,         // SwapEffect
      0,                                // Flags
  };
  D3D11_BUFFER_DESC constantBufferDesc = {
      32,                          // ByteWidth: e, e2, e3, t, x, y, 0, 0
      D3D11_USAGE_DEFAULT,         // Usage
      D3D11_BIND_CONSTANT_BUFFER,  // BindFlags
      0,                           // CPUAccessFlags
      0,                           // MiscFlags
      0,                           // StructureByteStride
  };
  ID3D11Device* pd3dDevice = nullptr;
  ID3D11DeviceContext* pImmediateContext = nullptr;
  IDXGISwapChain* pSwapChain = nullptr;
  ID3D11UnorderedAccessView* backBufferView = nullptr;
  ID3D11Buffer* pConstants = nullptr;
  ID3D11ComputeShader* pCS[backend_rules::entryPointCount] = {};
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
  // Descriptions and initial data of the text textures, by TextId, and of the render texture.
  D3D11_TEXTURE2D_DESC textDescriptions[5] = {};
  D3D11_SUBRESOURCE_DATA textInitialData[5] = {};
  D3D11_TEXTURE2D_DESC renderTextureDesc = {};

  // Audio (wave_audio.cpp): 44,100 Hz stereo 32-bit float frames, the song as one block whose
  // lpData is set to the sound buffer when the music starts.
  WAVEFORMATEX waveFormat = {
      WAVE_FORMAT_IEEE_FLOAT,   // wFormatTag
      2,                        // nChannels
      sampleRate,               // nSamplesPerSec
      sampleRate * 8,           // nAvgBytesPerSec
      8,                        // nBlockAlign: two 32-bit floats
      32,                       // wBitsPerSample
      0,                        // cbSize
  };
  WAVEHDR waveHeader = {nullptr, songFrames * 8, 0, 0, 0, 0, nullptr, 0};
  MMTIME playTime = {TIME_SAMPLES, {0}};
  SynthMemory* renderMemory = nullptr;  // what the render thread renders
  const Song* renderSong = nullptr;
  HWAVEOUT waveOut = nullptr;
  bool audioPlaying = false;           // the device took the song
  bool audioStarted = false;           // startAudio ran
  LARGE_INTEGER steadyStart = {};      // the clock without a device
  std::uint32_t lastPosition = 0;      // never goes backwards
};

// Defined in win_window.cpp.
extern WinHost winHost;

// Retrieves and handles every message waiting for the main thread, so that the system never takes
// the window for hung; called once per frame and between the shader compilations.
void pumpMessages();
