#pragma once
// Builds songs for tests and benchmarks: instrument programs unit by unit, patterns, orders.
#include <cstdint>
#include <initializer_list>
#include <vector>

#include "synth/song.h"
#include "synth/timing.h"

struct SongBuilder {
  std::vector<std::uint8_t> songPatterns = std::vector<std::uint8_t>(16, 0);  // pattern 0: silent
  std::vector<std::uint8_t> songOrder = std::vector<std::uint8_t>(trackCount * songPositions, 0);
  std::vector<std::uint8_t> instrumentCommands;
  std::vector<std::uint8_t> instrumentParams;
  std::vector<std::uint16_t> delayLengths{0,    1116, 1188, 1276, 1356,  1422,  1492, 1556,
                                          1618, 1140, 1212, 1300, 1380,  1446,  1516, 1580,
                                          1642, 15383, 23075, 480, 11537, 544};

  Song song() const {
    return {songPatterns, songOrder, instrumentCommands, instrumentParams, delayLengths};
  }

  // Adds a pattern of 16 rows; returns its number.
  std::uint8_t pattern(std::initializer_list<std::uint8_t> rows);
  // Track plays `pattern` at positions [from, to).
  void play(int track, std::uint8_t pattern, int from = 0, int to = songPositions);

  // Units (parameter bytes as in the song format).
  SongBuilder& envelope(int attack, int decay, int sustain, int release, int gain);
  SongBuilder& oscillator(int transpose, int detune, int phase, int gateLow, int colour, int shape,
                          int gain, int flags);
  SongBuilder& filter(int frequency, int damping, int bits);
  SongBuilder& holdShaper(int shape, int rate);
  SongBuilder& delayBank(int inputGain, int dryGain, int feedback, int damping, int rate,
                         int depth, int firstEntry, int lines);
  SongBuilder& stackOp(int operation);
  SongBuilder& paramStore(int amount, std::uint16_t word);
  SongBuilder& pan(int position);
  SongBuilder& output(int mainGain, int auxGain);
  SongBuilder& accumulate(int selector);
  SongBuilder& nop();
  SongBuilder& end();  // ends the instrument
  // Ends instruments until there are 16 (empty tracks, and an empty master if none was given).
  SongBuilder& finish();
  // The master instrument of the intro's song: both reverberators, aux and main mixed.
  SongBuilder& standardMaster();

  int instruments() const;

 private:
  SongBuilder& unit(std::uint8_t opcode, std::initializer_list<int> params);
};

// A song with the intro's mix of units: fifteen busy tracks whose instruments use every unit
// (three with 8-line reverberators, tempo echoes, ParamStore routings, gates, noise), and the
// master with both reverberators.
SongBuilder makeMixSong();
