// The page's module: the portable core behind plain C functions for the page's JavaScript. Two
// instances of it run: the render worker's, whose synthesizer renders the song, and the page's,
// which runs the show's frame update over the envelope records the worker hands over. Each has
// its own static synthesizer memory, zero until touched (the page's touches only the records).
#include <atomic>
#include <cstdint>
#include <cstdlib>

#include "host/backend_rules.h"
#include "host/music_time.h"
#include "host/shader_params.h"
#include "host/show.h"
#include "synth/synth.h"
#include "text/text_textures.h"

namespace {

SynthMemory memory;

// What the page reads after a frame update: the eight shader parameters and the scene's pipeline.
struct WebFrame {
  ShaderParams params;  // the eight floats the shaders read, in upload order
  std::int32_t sceneIndex;
};
WebFrame frame;
ShowState show;

TextTexture texts[textCount];

// A decimal number handed over as text, read as intro-tool reads its numbers (strtof).
char decimalText[64];

}  // namespace

extern "C" {

// ---- the render worker ----

// Renders the song up to sample frame endFrame (at most the song's end); returns the frames
// finished, or -1 when the song does not render.
std::int32_t web_render_to(std::uint32_t endFrame) {
  if (!renderSongFrames(memory, builtinSong(), endFrame)) return -1;
  return static_cast<std::int32_t>(renderedFrames(memory));
}
const float* web_sound() { return memory.soundBuffer; }

// ---- both: the envelope records (the worker's written by its render, the page's handed over) ----

EnvelopeRecord* web_envelopes() { return memory.envelopeLog; }

// The page's instance: the records below frame `frames` have been copied into web_envelopes();
// published as the render thread publishes its progress.
void web_publish(std::uint32_t frames) {
  std::atomic_ref<std::uint32_t>(memory.publishedFrames).store(frames, std::memory_order_release);
}

std::uint32_t web_song_frames() { return songFrames; }
std::uint32_t web_sample_rate() { return sampleRate; }
std::uint32_t web_envelope_period() { return envelopeLogPeriod; }
std::uint32_t web_envelope_record_bytes() { return sizeof(EnvelopeRecord); }

// ---- the show ----

WebFrame* web_frame() { return &frame; }

// A new run at this picture size: the loop's state from zero.
void web_start(std::int32_t width, std::int32_t height) {
  show = ShowState{};
  writePictureSize(frame.params, width, height);
}

// One frame update at play position p (the show's clock); returns 1 once the song has ended.
std::int32_t web_advance(std::uint32_t position) {
  advanceFrame(show, position, songLevelsAt(memory, position));
  writeFrameParams(frame.params, show);
  frame.sceneIndex = show.sceneIndex;
  return songEnded(position) ? 1 : 0;
}

// A still picture at music time t, as intro-tool frame draws it: the scene t picks, and the sync
// values the show has there at 60 frames a second (the records up to t must be published); the
// page replaces those it is given.
void web_still(float t) {
  const ShowState state = songShowStateAt(memory, songPositionAt(t), 60.0);
  frame.params.e = state.e;
  frame.params.e2 = state.e2;
  frame.params.e3 = state.e3;
  frame.params.t = t;
  frame.sceneIndex = sceneIndexOf(t / musicTimePerPattern);
}

// The sample frames that must be rendered before web_still(t) reads its sync values.
std::uint32_t web_still_frames(float t) {
  const std::uint32_t target = songPositionAt(t);
  const std::uint32_t recordEnd = (envelopeRecordOf(target) + 1) * envelopeLogPeriod;
  return recordEnd < songFrames ? recordEnd : songFrames;
}

char* web_decimal_text() { return decimalText; }
float web_decimal() { return std::strtof(decimalText, nullptr); }

// ---- what the back end needs ----

std::uint32_t web_dispatch_groups(std::int32_t pixels) { return backend_rules::dispatchGroups(pixels); }
std::int32_t web_pipeline_index(std::int32_t compileOrder) { return backend_rules::pipelineIndexOf(compileOrder); }
std::int32_t web_entry_point_count() { return backend_rules::entryPointCount; }

// The five texts, rasterised once: width, height (13), pixels (RGBA8) and shader slot (1..5).
std::int32_t web_text_count() {
  rasteriseTexts(texts);
  return textCount;
}
std::int32_t web_text_width(std::int32_t id) { return texts[id].width; }
std::int32_t web_text_height(std::int32_t id) { return texts[id].height; }
const std::uint8_t* web_text_pixels(std::int32_t id) { return texts[id].rgba; }
std::int32_t web_text_slot(std::int32_t id) { return textSlot(static_cast<TextId>(id)); }

}  // extern "C"
