#include "tests/synth/song_builder.h"

#include <stdexcept>

#include "synth/format.h"

std::uint8_t SongBuilder::pattern(std::initializer_list<std::uint8_t> rows) {
  if (rows.size() != rowsPerPattern) throw std::invalid_argument("a pattern has 16 rows");
  const auto number = static_cast<std::uint8_t>(songPatterns.size() / rowsPerPattern);
  songPatterns.insert(songPatterns.end(), rows);
  return number;
}

void SongBuilder::play(int track, std::uint8_t pattern, int from, int to) {
  for (int position = from; position < to; ++position) {
    songOrder[static_cast<std::size_t>(track) * songPositions + position] = pattern;
  }
}

SongBuilder& SongBuilder::unit(std::uint8_t opcode, std::initializer_list<int> params) {
  instrumentCommands.push_back(opcode);
  for (int p : params) instrumentParams.push_back(static_cast<std::uint8_t>(p));
  return *this;
}

SongBuilder& SongBuilder::envelope(int attack, int decay, int sustain, int release, int gain) {
  return unit(synth::opEnvelope, {attack, decay, sustain, release, gain});
}
SongBuilder& SongBuilder::oscillator(int transpose, int detune, int phase, int gateLow, int colour,
                                     int shape, int gain, int flags) {
  return unit(synth::opOscillator, {transpose, detune, phase, gateLow, colour, shape, gain, flags});
}
SongBuilder& SongBuilder::filter(int frequency, int damping, int bits) {
  return unit(synth::opFilter, {frequency, damping, bits});
}
SongBuilder& SongBuilder::holdShaper(int shape, int rate) { return unit(synth::opHoldShaper, {shape, rate}); }
SongBuilder& SongBuilder::delayBank(int inputGain, int dryGain, int feedback, int damping,
                                    int rate, int depth, int firstEntry, int lines) {
  return unit(synth::opDelayBank, {inputGain, dryGain, feedback, damping, rate, depth, firstEntry, lines});
}
SongBuilder& SongBuilder::stackOp(int operation) { return unit(synth::opStackOp, {operation}); }
SongBuilder& SongBuilder::paramStore(int amount, std::uint16_t word) {
  return unit(synth::opParamStore, {amount, word & 0xFF, word >> 8});
}
SongBuilder& SongBuilder::pan(int position) { return unit(synth::opPan, {position}); }
SongBuilder& SongBuilder::output(int mainGain, int auxGain) { return unit(synth::opOutput, {mainGain, auxGain}); }
SongBuilder& SongBuilder::accumulate(int selector) { return unit(synth::opAccumulate, {selector}); }
SongBuilder& SongBuilder::nop() { return unit(synth::opNop, {}); }
SongBuilder& SongBuilder::end() { return unit(synth::opEnd, {}); }

int SongBuilder::instruments() const {
  int count = 0;
  for (std::uint8_t op : instrumentCommands) count += op == synth::opEnd;
  return count;
}

SongBuilder& SongBuilder::finish() {
  while (instruments() < instrumentCount) end();
  return *this;
}

SongBuilder& SongBuilder::standardMaster() {
  return accumulate(8)
      .delayBank(40, 128, 123, 32, 0, 0, 1, 8)
      .stackOp(5)
      .delayBank(40, 128, 123, 16, 0, 0, 9, 8)
      .stackOp(5)
      .accumulate(0)
      .stackOp(8)
      .output(64, 0)
      .end();
}

SongBuilder makeMixSong() {
  SongBuilder s;
  // Patterns: a bass line, chords, a beat, long notes; the tracks play them throughout.
  const std::uint8_t bass = s.pattern({57, 1, 1, 1, 1, 0, 55, 1, 1, 1, 1, 1, 53, 1, 1, 1});
  const std::uint8_t beat = s.pattern({60, 1, 0, 1, 60, 1, 0, 1, 60, 1, 0, 1, 60, 1, 0, 1});
  const std::uint8_t pad = s.pattern({64, 1, 1, 1, 1, 1, 1, 1, 67, 1, 1, 1, 1, 1, 1, 1});
  const std::uint8_t lead = s.pattern({69, 1, 71, 1, 72, 1, 0, 0, 73, 1, 71, 1, 69, 1, 1, 0});
  const std::uint8_t hold = s.pattern({1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0});
  const std::uint8_t patterns[trackCount] = {bass, lead, pad, beat, lead, bass, beat, pad,
                                             lead, beat, pad, bass, lead, pad, beat};
  for (int track = 0; track < trackCount; ++track) {
    s.play(track, patterns[track]);
    s.play(track, hold, 40 + track, 41 + track);
  }

  // 0: shaped sines with a tempo echo.
  s.envelope(0, 40, 64, 50, 128).oscillator(64, 58, 0, 0, 128, 127, 128, 1)
      .oscillator(52, 70, 0, 0, 64, 64, 64, 2).stackOp(2).stackOp(3).holdShaper(64, 128)
      .delayBank(32, 128, 64, 0, 0, 0, 17, 1).filter(40, 64, 1).filter(10, 100, 2).pan(64)
      .output(64, 16).end();
  // 1: two envelopes, a store into a filter, five oscillators, three filters, two banks.
  s.envelope(0, 30, 80, 40, 128).envelope(10, 20, 0, 40, 128).paramStore(128, 0x00E4).stackOp(1)
      .oscillator(64, 64, 0, 0, 96, 64, 64, 1).oscillator(64, 66, 0, 0, 64, 64, 64, 2).stackOp(2)
      .oscillator(76, 64, 0, 0, 40, 64, 48, 4).stackOp(2).oscillator(40, 64, 0, 0, 64, 64, 32, 8)
      .stackOp(2).oscillator(64, 64, 0, 0, 64, 64, 128, 0x11).stackOp(7).stackOp(3).stackOp(3)
      .filter(60, 64, 1).filter(30, 80, 4).filter(20, 90, 2).delayBank(40, 128, 80, 20, 0, 0, 18, 1)
      .pan(50).delayBank(20, 128, 60, 10, 0, 0, 20, 1).stackOp(5).output(60, 30).end();
  // 2: pad with colour and filter modulation, three echo lines.
  s.envelope(20, 30, 100, 60, 128).paramStore(96, 0x0002).envelope(30, 40, 60, 60, 128).stackOp(1)
      .oscillator(64, 62, 0, 0, 64, 64, 64, 2).oscillator(64, 66, 0, 0, 64, 64, 64, 2).stackOp(2)
      .stackOp(3).filter(50, 40, 1).filter(50, 40, 2).filter(30, 40, 4).filter(20, 40, 8)
      .oscillator(64, 64, 0, 0, 64, 64, 128, 0x11).paramStore(80, 0x0054).stackOp(1)
      .delayBank(30, 128, 60, 10, 8, 6, 17, 1).delayBank(30, 128, 60, 10, 0, 0, 20, 1)
      .delayBank(30, 128, 60, 10, 0, 0, 21, 1).pan(70).stackOp(5).output(50, 30).end();
  // 3 and 9: a pulse through four filters.
  const auto pulseInstrument = [](SongBuilder& b) {
    b.envelope(0, 50, 0, 40, 128).paramStore(120, 0x0002).envelope(0, 60, 0, 40, 128)
        .stackOp(1).oscillator(64, 64, 0, 0, 32, 64, 96, 4).stackOp(3).filter(40, 30, 1)
        .filter(40, 30, 2).filter(40, 30, 4).filter(40, 30, 7).pan(40).output(64, 20).end();
  };
  pulseInstrument(s);
  // 4: three oscillators and a gate, two stores, echoes left and right.
  s.envelope(0, 40, 60, 40, 128).oscillator(64, 64, 0, 0, 64, 64, 64, 1)
      .oscillator(64, 64, 0, 253, 255, 64, 128, 0x30).oscillator(64, 64, 0, 0, 64, 64, 128, 0x11)
      .paramStore(70, 0x0012).paramStore(60, 0x0022).stackOp(1).stackOp(3).filter(50, 60, 3)
      .filter(40, 60, 1).holdShaper(80, 100).stackOp(3).pan(64).delayBank(40, 128, 60, 0, 0, 0, 17, 1)
      .stackOp(5).delayBank(40, 128, 60, 0, 0, 0, 18, 1).stackOp(5).output(64, 20).end();
  // 5: noise and sines with stores into the transposes.
  s.envelope(0, 20, 40, 20, 128).paramStore(40, 0x0002).oscillator(64, 64, 0, 0, 64, 64, 64, 8)
      .oscillator(64, 64, 0, 0, 64, 64, 64, 1).stackOp(2).filter(70, 30, 2).stackOp(3)
      .oscillator(64, 64, 0, 0, 64, 64, 128, 0x11).paramStore(66, 0x0051).stackOp(1)
      .oscillator(64, 64, 0, 0, 64, 64, 128, 0x12).paramStore(66, 0x0061).stackOp(1)
      .delayBank(20, 128, 50, 0, 0, 0, 19, 1).pan(80).output(50, 20).end();
  // 6: a held, shaped envelope.
  s.envelope(0, 30, 20, 30, 128).paramStore(100, 0x0002).envelope(0, 10, 100, 30, 128)
      .holdShaper(100, 64).paramStore(64, 0x0012).stackOp(1).oscillator(64, 64, 0, 0, 80, 90, 64, 2)
      .stackOp(3).filter(60, 50, 1).filter(60, 50, 2).filter(20, 50, 4).pan(30).output(64, 20).end();
  // 7 and 8: two detuned saws through four filters.
  for (int copy = 0; copy < 2; ++copy) {
    s.envelope(10, 30, 80, 40, 128).paramStore(90, 0x0002).envelope(20, 40, 40, 40, 128)
        .paramStore(100, 0x0054).stackOp(1).oscillator(64, 63, 0, 0, 128, 64, 64, 2)
        .oscillator(64, 65, 0, 0, 128, 64, 64, 2).filter(30, 60, 1).stackOp(2).stackOp(3)
        .filter(40, 60, 1).filter(40, 60, 2).filter(30, 60, 4).pan(copy == 0 ? 30 : 98)
        .output(48, 24).end();
  }
  pulseInstrument(s);  // 9
  // 10: detuned saws with an 8-line reverberator.
  s.envelope(10, 30, 80, 40, 128).paramStore(90, 0x0002).envelope(20, 40, 40, 40, 128)
      .paramStore(100, 0x0054).stackOp(1).oscillator(64, 63, 0, 0, 128, 64, 64, 2)
      .oscillator(64, 65, 0, 0, 128, 64, 64, 2).filter(30, 60, 1).stackOp(2).stackOp(3)
      .filter(40, 60, 1).delayBank(30, 60, 120, 40, 10, 3, 9, 8).filter(30, 60, 2).pan(64)
      .output(40, 40).end();
  // 11: three oscillators, two shapers.
  s.envelope(0, 20, 60, 30, 128).oscillator(64, 64, 0, 0, 64, 100, 64, 1)
      .oscillator(52, 64, 0, 0, 64, 64, 64, 4).oscillator(76, 64, 0, 0, 64, 64, 32, 2).stackOp(2)
      .stackOp(2).stackOp(3).filter(60, 40, 1).holdShaper(90, 128)
      .delayBank(30, 128, 40, 0, 0, 0, 20, 1).filter(60, 40, 2).filter(40, 40, 4).filter(60, 40, 8)
      .holdShaper(64, 128).pan(50).output(40, 20).end();
  // 12: a gated voice with an 8-line reverberator and a tempo echo.
  s.envelope(0, 40, 80, 40, 128).paramStore(90, 0x0002).oscillator(64, 64, 0, 0, 64, 64, 64, 2)
      .stackOp(3).filter(50, 50, 1).holdShaper(70, 128).filter(40, 50, 2)
      .oscillator(80, 64, 0, 253, 255, 64, 128, 0x30).stackOp(3)
      .delayBank(30, 60, 120, 40, 10, 3, 9, 8).pan(60).delayBank(30, 128, 60, 0, 0, 0, 18, 1)
      .stackOp(5).output(40, 40).end();
  // 13: noise hits with an 8-line reverberator.
  s.envelope(0, 20, 0, 20, 128).oscillator(64, 64, 0, 0, 64, 64, 64, 8).filter(80, 30, 2)
      .filter(60, 30, 4).stackOp(2).envelope(0, 30, 0, 30, 128).stackOp(3)
      .delayBank(30, 60, 120, 40, 10, 3, 9, 8).pan(64).output(40, 40).end();
  // 14: three oscillators, four filters, two shapers, an echo.
  s.envelope(0, 30, 60, 30, 128).envelope(0, 60, 0, 30, 128).paramStore(100, 0x0054).stackOp(1)
      .oscillator(64, 64, 0, 0, 64, 64, 64, 2).oscillator(64, 65, 0, 0, 64, 64, 64, 4)
      .oscillator(64, 63, 0, 0, 64, 64, 64, 1).stackOp(2).stackOp(2).stackOp(3).filter(60, 40, 1)
      .holdShaper(80, 64).delayBank(30, 128, 50, 10, 0, 0, 17, 1).filter(50, 40, 2)
      .filter(40, 40, 4).filter(30, 40, 1).holdShaper(64, 128).pan(90).output(40, 20).end();
  s.standardMaster();
  return s;
}
