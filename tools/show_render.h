#pragma once
// The show replayed offline, frame-exactly: the pieces that intro-tool frame, capture and sheet
// share: a headless renderer set up as the intro sets up its device, the frame loop's update
// driven by a rendered song, and the capture loop that runs that update at a fixed frame rate and
// hands every rendered picture to a sink (the encoder, or a test).
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "host/show.h"
#include "host/vulkan/vk_headless.h"
#include "synth/synth.h"

// Whether INTRO_VALIDATION=1 asks for the Vulkan validation layer.
bool validationRequested();

// Initialises renderer at width x height, compiles the intro's twelve entry points and binds the
// five text textures. False with a message in error.
bool startShowRenderer(HeadlessRenderer& renderer, int width, int height, bool validation, std::string& error,
                       vk_compile::SpirvCompiler compiler = vk_compile::compileHlsl);

// Renders the song into memory far enough that every sample frame below soundEnd and the
// envelope record read at play position lastPicturePosition are complete (both clamped to the
// song), in steps of a few seconds of sound; stopRequested, when given, is asked after each step
// and ends the work early (the function then returns false). Returns false when the song does not
// render.
bool renderSongFor(SynthMemory& memory, std::uint32_t soundEnd, std::uint32_t lastPicturePosition,
                   bool (*stopRequested)() = nullptr);


// Which frames a capture holds: frame k plays at framePosition(k, fps); the capture keeps the
// frames whose play position lies in [playPositionAt(from), playPositionAt(to)), and the sound
// from the first kept frame's position to the position of the frame after the last one.
struct CapturePlan {
  int framesPerSecond = 60;
  std::uint64_t firstFrame = 0;  // first frame kept
  std::uint64_t endFrame = 0;    // one past the last frame kept
  std::uint32_t soundBegin = 0;  // sample frames of the soundtrack: [soundBegin, soundEnd)
  std::uint32_t soundEnd = 0;
  std::uint64_t frameCount() const { return endFrame - firstFrame; }
};

// The plan for music times [from, to) at framesPerSecond; nullopt when no frame falls inside.
std::optional<CapturePlan> planCapture(int framesPerSecond, double from, double to);

// One picture handed on by runCapture.
struct CapturedFrame {
  std::uint64_t index = 0;     // frame number counted from the start of the song
  std::uint32_t position = 0;  // play position it shows
  ShowState state;             // the loop's state after this frame's update
  ShaderParams params;  // as uploaded
  // width * height * 4 bytes, row 0 at the top. The capture reads every frame back into this one
  // buffer: it holds this frame's picture only until the sink returns.
  const std::vector<std::uint8_t>* rgba = nullptr;
};

// Returns false to stop the capture early (the sink's own failure, or an interrupt).
using FrameSink = std::function<bool(const CapturedFrame&)>;

enum class CaptureResult { finished, stopped, renderFailed };

// Runs the frame loop's update for frames 0 .. plan.endFrame - 1 (levels from the rendered song)
// and renders every frame from plan.firstFrame on with renderer (scene by the timeline, then the
// final pass), handing each to sink in order. renderFailed leaves renderer.error().text() set.
CaptureResult runCapture(const CapturePlan& plan, const SynthMemory& rendered, HeadlessRenderer& renderer,
                         const FrameSink& sink);
