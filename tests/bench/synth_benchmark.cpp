// Song render speed: frames per second and the ratio to real time (44,100 frames per second),
// for the whole song of 12,057,920 frames. The render must stay far ahead of playback; the
// target is 50 times real time or better on one core, Release build.
//
// BM_RenderMixSong renders a stand-in with the intro's unit mix (makeMixSong: every unit, three
// tracks with 8-line reverberators, tempo echoes, both master reverberators) in which all 15
// tracks play all the time, the heaviest case; BM_RenderBuiltinSong renders the intro's song.
#include <benchmark/benchmark.h>

#include "synth/synth.h"
#include "tests/synth/song_builder.h"

namespace {

void renderWhole(benchmark::State& state, const Song& song) {
  std::uint32_t frames = 0;
  for (auto _ : state) {
    state.PauseTiming();
    SynthMemoryPtr memory = allocateSynthMemory();
    state.ResumeTiming();
    renderSong(*memory, song);
    frames = renderedFrames(*memory);
    benchmark::DoNotOptimize(memory->soundBuffer[2 * (frames - 1)]);
  }
  state.counters["frames"] = frames;
  state.counters["frames_per_second"] =
      benchmark::Counter(static_cast<double>(frames), benchmark::Counter::kIsIterationInvariantRate);
  state.counters["times_real_time"] = benchmark::Counter(
      static_cast<double>(frames) / sampleRate, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_RenderBuiltinSong(benchmark::State& state) { renderWhole(state, builtinSong()); }

void BM_RenderMixSong(benchmark::State& state) {
  const SongBuilder mix = makeMixSong();
  renderWhole(state, mix.song());
}

}  // namespace

// Rates are per CPU second of the rendering thread (the "CPU" column), which a busy shared
// machine disturbs less than the wall clock ("Time").
BENCHMARK(BM_RenderBuiltinSong)->Unit(benchmark::kSecond)->Iterations(1);
BENCHMARK(BM_RenderMixSong)->Unit(benchmark::kSecond)->Iterations(1);

BENCHMARK_MAIN();
