#pragma once
// The built-in song compiled ahead of time: its decoded programs written out as straight
// C++ (generated/compiled_song.cpp, made by synth_song_compiler), three tracks at a time with
// their statements taken in turn, each calling the same operation function as the interpreter. No
// dispatch between operations, registers the compiler keeps in the processor's, and several
// tracks' work close together: the built-in song renders in about 0.82 of the interpreter's time.
// The driver uses it only for programs of the structure it was written for (compiledSongFits).
#include "synth/program.h"

namespace synth::decoded {

// What the compiled song takes from one operation as written: everything but its constants.
struct OperationShape {
  std::uint8_t code, slot, byte, a, b, c;
  std::uint16_t detail;  // the first line of a delay bank, the target of a store, else 0

  friend bool operator==(const OperationShape&, const OperationShape&) = default;
};

inline OperationShape shapeOf(const Operation& op) {
  std::uint16_t detail = 0;
  if (op.code >= codeDelayBank && op.code <= codeDelayBank8Still) detail = op.delay.firstLine;
  if (op.code == codeStoreSet || op.code == codeStoreAdd) detail = op.store.target;
  return {op.code, op.slot, op.byte, op.a, op.b, op.c, detail};
}

// The programs the compiled song was written for: every operation from the first program's to the last
// program's end, and where each program begins (sounding, silent, for each instrument in turn).
extern const OperationShape compiledShapes[];
extern const int compiledShapeCount;
extern const int compiledBegins[2 * instrumentCount];

// One frame of programs that fit, as runFrame (render.cpp) runs it.
void runCompiledSong(SynthMemory& memory, DecodedProgram& program, const Song& song,
                      std::uint32_t n, bool logged);

}  // namespace synth::decoded
