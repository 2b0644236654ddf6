#pragma once
// The one narrow interface a platform back end implements (Vulkan + SDL2 on Linux,
// Direct3D 11 + Win32 + waveOut on Windows). Plain functions; each back end keeps its
// state in static structs made once. host/main.cpp drives the start-up and the frame loop over it.
#include <cstddef>
#include <cstdint>

#include "host/shader_params.h"

struct TextTexture;
struct SynthMemory;
struct Song;

namespace platform {

// Modal message box without an owner window (the usage message); also written to stderr.
void showUsage(const char* caption, const char* text);

// Borderless width x height window at the top-left corner of the primary screen; hides the cursor.
void createWindow(int width, int height);

// Device, swap chain, back buffer (u0) and constant buffer (b0). Returns 0, or the non-zero
// exit code after saying what failed.
int createDevice(int width, int height, int verticalSync);

// Compiles the HLSL text once per entry point, in compile order. On the first failure writes the
// compiler's message (or "unknown compiler error") into message, cut to messageSize - 1 bytes,
// and returns false; the caller shows it in a box titled "Error" and exits with 10.
bool compileShaders(const char* source, char* message, std::size_t messageSize);

// Modal message box owned by the window (the compiler error).
void showError(const char* caption, const char* text);

// Text textures bound at t1..t5, then the render texture (t0) and the default sampler (s0).
void createTextTextures(const TextTexture* textures, int count);
void createRenderTexture();

void setFullscreen();

// Starts the render thread over memory and song, then plays memory's sound buffer from the start.
void startAudio(SynthMemory& memory, const Song& song);

// Sample frames played since the song started; never goes backwards.
std::uint32_t playPosition();

// One frame: upload the eight parameter floats, run pipeline sceneIndex into the back buffer,
// copy it into the render texture, run the final pass ("ZZ"), present.
void drawFrame(const ShaderParams& shaderParams, int sceneIndex);

bool escapePressed();

[[noreturn]] void exitProcess(int code);

}  // namespace platform
