#pragma once
// The instruments' side of the song format, each fact written once: the units of the opcode
// stream, the operations a StackOp's byte names, the Oscillator's flag bits and ParamStore's word
// bits. The engine (units.h, render.cpp), the decoder (program_decode.cpp), the checker
// (song_check.cpp) and the notation (song/notation.h) all read them from here; a new unit is a
// line below and its work in those files.
#include <cstdint>

namespace synth {

// A stack effect that a parameter byte decides (stackEffect below works it out).
inline constexpr int byByte = -1;

// The units: X(Name, opcode, parameter bytes, pops, pushes, room). Opcodes count up from 0 in
// this order. pops: the values it takes from the top of the signal stack (or reads there);
// pushes: the values it leaves in their place; room: the entries it needs free above the stack
// as it was. The parameter bytes are read as byte / 128 except where a unit says "raw".
#define INTRO_SYNTH_UNITS(X)                                                                     \
  X(End, 0, 0, 0, 0, 0)                    /* ends an instrument's units */                     \
  X(Envelope, 1, 5, 0, 1, 1)               /* attack, decay, sustain, release, gain */          \
  X(Oscillator, 2, 8, 0, 1, 4)             /* works in four entries; byte 7: its flags (raw) */ \
  X(Filter, 3, 3, 1, 1, 0)                 /* frequency, damping, output bits (raw) */          \
  X(HoldShaper, 4, 2, 1, 1, 0)             /* shape, hold rate */                               \
  X(DelayBank, 5, 8, 1, 1, 0)              /* bytes 6, 7: first length entry, lines (raw) */    \
  X(StackOp, 6, 1, byByte, byByte, byByte) /* its operation (raw), below */                     \
  X(ParamStore, 7, 3, 1, byByte, 0)        /* amount, then its word (raw, low byte first): */   \
                                           /* pushes back 1 without the word's pop bit */       \
  X(Pan, 8, 1, 1, 2, 1)                    /* position: right below, left on top */             \
  X(Output, 9, 2, 2, 0, 0)                 /* main, aux gain */                                 \
  X(Accumulate, 10, 1, 0, 2, 2)            /* which sums (raw): 0 main, 8 aux */                \
  X(Nop, 11, 0, 0, 0, 0)

#define INTRO_SYNTH_OPCODE(name, opcode, bytes, pops, pushes, room) op##name = opcode,
enum Opcode : std::uint8_t { INTRO_SYNTH_UNITS(INTRO_SYNTH_OPCODE) };
#undef INTRO_SYNTH_OPCODE

#define INTRO_SYNTH_COUNT(...) +1
inline constexpr int opcodeCount = 0 INTRO_SYNTH_UNITS(INTRO_SYNTH_COUNT);
#undef INTRO_SYNTH_COUNT

// The tables below are indexed by opcode, so the table must list them in order.
#define INTRO_SYNTH_ROW(name, opcode, bytes, pops, pushes, room) opcode,
constexpr bool opcodesInOrder() {
  constexpr int order[] = {INTRO_SYNTH_UNITS(INTRO_SYNTH_ROW)};
  for (int i = 0; i < opcodeCount; ++i) {
    if (order[i] != i) return false;
  }
  return true;
}
#undef INTRO_SYNTH_ROW
static_assert(opcodesInOrder(), "INTRO_SYNTH_UNITS lists the opcodes 0, 1, 2, ... in order");

#define INTRO_SYNTH_ROW(name, opcode, bytes, pops, pushes, room) bytes,
inline constexpr int parameterBytes[opcodeCount] = {INTRO_SYNTH_UNITS(INTRO_SYNTH_ROW)};
#undef INTRO_SYNTH_ROW
#define INTRO_SYNTH_ROW(name, opcode, bytes, pops, pushes, room) #name,
inline constexpr const char* unitNames[opcodeCount] = {INTRO_SYNTH_UNITS(INTRO_SYNTH_ROW)};
#undef INTRO_SYNTH_ROW

// The stack operations, a StackOp's byte: X(name, number, pops, pushes), stack as [top, ...].
// Every other number (0, 11..255) multiplies pairs as multiplyPair does.
#define INTRO_SYNTH_STACK_OPERATIONS(X)                                    \
  X(pop, 1, 1, 0)           /* [a, ...] -> [...] */                        \
  X(add, 2, 2, 1)           /* [a, b] -> [b + a] */                        \
  X(multiply, 3, 2, 1)      /* [a, b] -> [b a] */                          \
  X(duplicate, 4, 1, 2)     /* [a] -> [a, a] */                            \
  X(swap, 5, 2, 2)          /* [a, b] -> [b, a] */                         \
  X(addKeep, 6, 2, 2)       /* [a, b] -> [a + b, b] */                     \
  X(multiplyKeep, 7, 2, 2)  /* [a, b] -> [a b, b] */                       \
  X(addPair, 8, 4, 2)       /* [a0, a1, b0, b1] -> [b0 + a0, b1 + a1] */   \
  X(pushNote, 9, 0, 1)      /* [...] -> [note / 128, ...] */               \
  X(multiplyPair, 10, 4, 2) /* [a0, a1, b0, b1] -> [b0 a0, b1 a1] */

#define INTRO_SYNTH_STACK_OPERATION(name, number, pops, pushes) name = number,
enum class StackOperation : std::uint8_t {
  INTRO_SYNTH_STACK_OPERATIONS(INTRO_SYNTH_STACK_OPERATION)
};
#undef INTRO_SYNTH_STACK_OPERATION

// The Oscillator's flags byte: X(name, bit, shape). A valid byte has exactly one shape bit, the
// waveform (the engine takes the first set in this order), and may add the LFO bit.
#define INTRO_SYNTH_OSCILLATOR_FLAGS(X)                                                     \
  X(sine, 0x01, true)   /* colour: the part of the cycle the sine takes */                 \
  X(trisaw, 0x02, true) /* colour 128: rising saw, 64: triangle */                          \
  X(pulse, 0x04, true)  /* colour: duty cycle */                                            \
  X(noise, 0x08, true)                                                                      \
  X(lfo, 0x10, false)   /* with a shape: runs at LFO rate, ignores the note */              \
  X(gate, 0x20, true)   /* 16-step gate, steps in gateLow (raw) + 256 x colour (raw) */

namespace wave {
#define INTRO_SYNTH_FLAG(name, bit, shape) inline constexpr std::uint8_t name = bit;
INTRO_SYNTH_OSCILLATOR_FLAGS(INTRO_SYNTH_FLAG)
#undef INTRO_SYNTH_FLAG
}  // namespace wave

#define INTRO_SYNTH_FLAG(name, bit, shape) | ((shape) ? bit : 0)
inline constexpr std::uint8_t oscillatorShapeBits =
    0 INTRO_SYNTH_OSCILLATOR_FLAGS(INTRO_SYNTH_FLAG);
#undef INTRO_SYNTH_FLAG
#define INTRO_SYNTH_FLAG(name, bit, shape) | bit
inline constexpr std::uint8_t oscillatorFlagBits =
    0 INTRO_SYNTH_OSCILLATOR_FLAGS(INTRO_SYNTH_FLAG);
#undef INTRO_SYNTH_FLAG

// The Filter's output bits: which of its states the output sums, any combination.
namespace filterOut {
inline constexpr std::uint8_t low = 0x01, high = 0x02, band = 0x04, lowMinusHigh = 0x08;
}  // namespace filterOut

// Accumulate's selector: which of the tracks' outputs it sums.
namespace sums {
inline constexpr std::uint8_t main = 0, aux = 8;
}  // namespace sums

// ParamStore's word: the target (16 x slot + field of its own instrument), add to the field
// instead of setting it, pop the stack after.
inline constexpr std::uint16_t storeTargetMask = 0x3FFF, storeAddBit = 0x4000, storePopBit = 0x8000;

// A unit's effect on the signal stack, as in the table.
struct StackEffect {
  int pops, pushes, room;
};

constexpr StackEffect stackOperationEffect(std::uint8_t operation) {
  switch (static_cast<StackOperation>(operation)) {
#define INTRO_SYNTH_STACK_OPERATION(name, number, pops, pushes) \
  case StackOperation::name:                                   \
    return {pops, pushes, (pushes) > (pops) ? (pushes) - (pops) : 0};
    INTRO_SYNTH_STACK_OPERATIONS(INTRO_SYNTH_STACK_OPERATION)
#undef INTRO_SYNTH_STACK_OPERATION
    default: return stackOperationEffect(static_cast<std::uint8_t>(StackOperation::multiplyPair));
  }
}

#define INTRO_SYNTH_ROW(name, opcode, bytes, pops, pushes, room) StackEffect{pops, pushes, room},
inline constexpr StackEffect unitStackEffects[opcodeCount] = {INTRO_SYNTH_UNITS(INTRO_SYNTH_ROW)};
#undef INTRO_SYNTH_ROW

// `b`: the unit's parameter bytes. An opcode beyond the table does nothing.
constexpr StackEffect stackEffect(std::uint8_t opcode, const std::uint8_t* b) {
  if (opcode >= opcodeCount) return {0, 0, 0};
  if (opcode == opStackOp) return stackOperationEffect(b[0]);
  StackEffect effect = unitStackEffects[opcode];
  if (opcode == opParamStore) effect.pushes = ((b[2] << 8) & storePopBit) != 0 ? 0 : 1;
  return effect;
}

}  // namespace synth
