#pragma once
#include <cstdint>

// Fixed timing and sizes of the song format.
inline constexpr std::uint32_t sampleRate = 44100;
inline constexpr std::uint32_t framesPerTick = 3845;  // 44,100 x 60 / 688, truncated
inline constexpr std::uint32_t rowsPerPattern = 16;
inline constexpr std::uint32_t songPositions = 196;   // patterns per track
inline constexpr std::uint32_t songTicks = songPositions * rowsPerPattern;          // 3,136
inline constexpr std::uint32_t framesPerPattern = framesPerTick * rowsPerPattern;  // 61,520
inline constexpr std::uint32_t songFrames = songTicks * framesPerTick;             // 12,057,920
inline constexpr int trackCount = 15;
inline constexpr int instrumentCount = 16;  // the tracks, then the master instrument
inline constexpr int unitSlotsPerInstrument = 64;
inline constexpr int delayLineCount = 1024;
inline constexpr int delayLineLength = 65536;
inline constexpr std::uint32_t envelopeLogPeriod = 256;  // frames per EnvelopeRecord
inline constexpr std::uint32_t envelopeLogCapacity = 140572;
inline constexpr std::uint32_t envelopeRecordsInSong = (songFrames + envelopeLogPeriod - 1) / envelopeLogPeriod;
