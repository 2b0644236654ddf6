#include "tools/show_render.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "shaders/shader_source.h"
#include "synth/song.h"
#include "synth/timing.h"
#include "text/text_textures.h"

bool validationRequested() {
  const char* validation = std::getenv("INTRO_VALIDATION");
  return validation != nullptr && std::strcmp(validation, "1") == 0;
}

bool startShowRenderer(HeadlessRenderer& renderer, int width, int height, bool validation, std::string& error,
                       vk_compile::SpirvCompiler compiler) {
  if (!renderer.init(width, height, validation)) {
    error = "Vulkan: " + renderer.error().text();
    return false;
  }
  if (!renderer.compile(shaderSource, compiler)) {
    error = "the shader text does not compile:\n" + renderer.error().text();
    return false;
  }
  TextTexture texts[textCount];
  rasteriseTexts(texts);
  for (int id = 0; id < textCount; ++id) {
    const TextTexture& text = texts[id];
    if (!renderer.setText(textSlot(static_cast<TextId>(id)), text.width, text.height, text.rgba)) {
      error = std::string("text texture ") + text.stem + ": " + renderer.error().text();
      return false;
    }
  }
  return true;
}

bool renderSongFor(SynthMemory& memory, std::uint32_t soundEnd, std::uint32_t lastPicturePosition,
                   bool (*stopRequested)()) {
  // The record that a position reads covers 256 frames; it is complete once its block is.
  const std::uint64_t recordEnd = (static_cast<std::uint64_t>(envelopeRecordOf(lastPicturePosition)) + 1) * envelopeLogPeriod;
  const std::uint64_t end = std::min<std::uint64_t>(songFrames, std::max<std::uint64_t>(soundEnd, recordEnd));
  constexpr std::uint32_t step = 16 * framesPerPattern;  // about 22 s of sound
  for (std::uint32_t at = renderedFrames(memory); at < end;) {
    at = static_cast<std::uint32_t>(std::min<std::uint64_t>(end, static_cast<std::uint64_t>(at) + step));
    if (!renderSongFrames(memory, builtinSong(), at)) return false;
    if (stopRequested != nullptr && stopRequested()) return false;
  }
  return true;
}

namespace {

// The first frame k whose play position is at least position.
std::uint64_t firstFrameAtOrAfter(std::uint32_t position, int framesPerSecond) {
  // k * 44100 / fps >= position - 1/2 holds from about position * fps / 44100 on; step to it.
  std::uint64_t k = static_cast<std::uint64_t>(position) * static_cast<std::uint64_t>(framesPerSecond) / sampleRate;
  while (k > 0 && framePosition(k - 1, framesPerSecond) >= position) --k;
  while (framePosition(k, framesPerSecond) < position) ++k;
  return k;
}

}  // namespace

std::optional<CapturePlan> planCapture(int framesPerSecond, double from, double to) {
  if (framesPerSecond <= 0 || !(from < to)) return std::nullopt;
  CapturePlan plan;
  plan.framesPerSecond = framesPerSecond;
  plan.firstFrame = firstFrameAtOrAfter(playPositionAt(from), framesPerSecond);
  plan.endFrame = firstFrameAtOrAfter(playPositionAt(to), framesPerSecond);
  if (plan.endFrame <= plan.firstFrame) return std::nullopt;
  plan.soundBegin = framePosition(plan.firstFrame, framesPerSecond);
  plan.soundEnd = framePosition(plan.endFrame, framesPerSecond);
  return plan;
}

CaptureResult runCapture(const CapturePlan& plan, const SynthMemory& rendered, HeadlessRenderer& renderer,
                         const FrameSink& sink) {
  ShowState state;
  ShaderParams params;
  writePictureSize(params, renderer.width(), renderer.height());
  const std::size_t pictureBytes =
      static_cast<std::size_t>(renderer.width()) * static_cast<std::size_t>(renderer.height()) * 4;
  // One picture buffer for the whole capture: each frame is read back into it.
  std::vector<std::uint8_t> picture(pictureBytes);
  for (std::uint64_t k = 0; k < plan.endFrame; ++k) {
    const std::uint32_t position = framePosition(k, plan.framesPerSecond);
    advanceFrame(state, position, songLevelsAt(rendered, position));
    if (k < plan.firstFrame) continue;
    writeFrameParams(params, state);
    if (!renderer.render(params, state.sceneIndex, picture)) return CaptureResult::renderFailed;
    CapturedFrame frame;
    frame.index = k;
    frame.position = position;
    frame.state = state;
    frame.params = params;
    frame.rgba = &picture;
    if (!sink(frame)) return CaptureResult::stopped;
  }
  return CaptureResult::finished;
}
