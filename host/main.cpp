// The intro: one straight start-up sequence, then the frame loop, over platform.h. Portable: the
// back end (Vulkan + SDL2 on Linux, Direct3D 11 + Win32 on Windows) is chosen at link time.
#include <cstdint>

#include "host/frame_step.h"
#include "host/launch.h"
#include "host/platform.h"
#include "host/show.h"
#include "shaders/shader_source.h"
#include "synth/synth.h"
#include "text/text_textures.h"

namespace {

// The synthesizer's work memory: zero at start, written by the render thread, read by the audio
// device and the frame loop for the whole run.
SynthMemory synthMemory;

// The CPU copy of the constant buffer: e, e2, e3, t, x, y, 0, 0.
ShaderParams shaderParams;

// Music clock, sync values and scene of the frame loop.
ShowState show;

// The compiler's message when a shader does not compile.
char compilerMessage[4096];

TextTexture textTextures[textCount];

}  // namespace

int main(int argc, char** argv) {
  // Command line, usage message, window.
  const LaunchSettings settings = readLaunchSettings(argc, argv);
  if (settings.showUsage) platform::showUsage(usageCaption, usageText);
  const int width = settings.resolutionX;
  const int height = settings.resolutionY;
  platform::createWindow(width, height);

  // Device, swap chain, back buffer, constant buffer; then the twelve entry points.
  if (const int failure = platform::createDevice(width, height, settings.verticalSync ? 1 : 0); failure != 0)
    return failure;
  if (!platform::compileShaders(shaderSource, compilerMessage, sizeof compilerMessage)) {
    platform::showError("Error", compilerMessage);
    return 10;
  }

  // Text textures (t1..t5), the render texture (t0) and the picture size.
  rasteriseTexts(textTextures);
  platform::createTextTextures(textTextures, textCount);
  platform::createRenderTexture();
  writePictureSize(shaderParams, width, height);

  if (settings.fullscreen) platform::setFullscreen();
  platform::startAudio(synthMemory, builtinSong());

  // The frame loop: the play position is the only clock.
  for (;;) {
    const std::uint32_t position = platform::playPosition();
    showFrameAt(show, shaderParams, synthMemory, position);
    // The frame that reaches the end is still shown; then the keyboard is not read.
    if (songEnded(position) || platform::escapePressed()) platform::exitProcess(0);
  }
}
