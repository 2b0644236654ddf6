// Song render speed: frames per second and the ratio to real time (44,100 frames per second).
// The render must stay far ahead of playback; the target is the whole song at 50 times real
// time or better on one core, Release build.
#include <benchmark/benchmark.h>

#include "song_builder.h"
#include "synth.h"

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

BENCHMARK(BM_RenderBuiltinSong)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_RenderMixSong)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

BENCHMARK_MAIN();
