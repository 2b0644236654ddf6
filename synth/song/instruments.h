#pragma once
// The sixteen instruments of the soundtrack: tracks 0..14, then the master bus.
// Each instrument starts with the envelope whose level the pictures read. Stack contents after a
// unit are noted as [top, ...].
#include "synth/song/notation.h"

namespace song {

// Track 0: kick, played on C2 (65 Hz: at home in Am, C and F). Flashes e2 on every hit. A
// hard-shaped sine (nearly a square) and its octave, multiplied by a linear decay that the
// expanding shaper bends into a punchy curve, then rounded by a low-pass; a band of noise around
// 3.5 kHz clicks on the hit; the third envelope, curved, sweeps both oscillators down two octaves
// in the first 33 ms (stored into their transposes, which they read from the next frame).
inline constexpr Unit kick[] = {
    Envelope{.attack = 0, .decay = 68, .sustain = 0, .release = 40, .gain = 128},  // 156 ms to silence
    Oscillator{.transpose = 64, .detune = 58, .phase = 0, .gateLow = 0, .colour = 128, .shape = 127,
               .gain = 128, .flags = wave::sine},                                   // body, slightly flat
    Oscillator{.transpose = 76, .detune = 64, .phase = 32, .gateLow = 0, .colour = 128, .shape = 100,
               .gain = 80, .flags = wave::sine},                                    // octave knock: starts at its peak
    StackOp{Stack::add},                                                           // [osc, env]
    StackOp{Stack::multiply},                                                      // [kick]
    HoldShaper{.shape = 48, .holdRate = 128},                                      // curve the decay
    DelayBank{.input = 0, .dry = 128, .feedback = 0, .damping = 0, .modRate = 0, .modDepth = 0,
              .first = 19, .lines = 1},                                            // DC blocker only
    Filter{.frequency = 60, .damping = 128, .mode = pass::low},                    // ~1.6 kHz
    Filter{.frequency = 9, .damping = 128, .mode = pass::high},                    // below 35 Hz out
    Envelope{.attack = 0, .decay = 48, .sustain = 0, .release = 30, .gain = 200},  // 12 ms click
    Oscillator{.transpose = 64, .detune = 64, .phase = 0, .gateLow = 0, .colour = 128, .shape = 64,
               .gain = 128, .flags = wave::noise},
    StackOp{Stack::multiply},
    Filter{.frequency = 88, .damping = 96, .mode = pass::band},                    // ~3.5 kHz
    StackOp{Stack::add},                                                           // [kick]
    Envelope{.attack = 0, .decay = 52, .sustain = 0, .release = 30, .gain = 128},  // the sweep, 20 ms
    HoldShaper{.shape = 40, .holdRate = 128},                                      // falls fast, then settles
    ParamStore{.amount = 76, .target = to::oscillator1Transpose},                  // up to +24 semitones
    ParamStore{.amount = 76, .target = to::oscillator2Transpose},
    StackOp{Stack::pop},
    Pan{.position = 64},
    Output{.main = 176, .aux = 0},                                                 // no send: the low end mono
};

// Track 1: lead. Three saws two octaves up, 7 cents apart (colour 96: soft corners, few
// aliases), a skewed triangle an octave up (a square there folded back more than the saws did),
// a sine three up; the second envelope sweeps the low-pass down (ParamStore amount 1: minus the
// envelope). Dotted-eighth echo, and the left side delayed by 11 ms for width.
inline constexpr Unit lead[] = {
    Envelope{.attack = 36, .decay = 78, .sustain = 96, .release = 62, .gain = 128},  // gone within a row's rest
    Envelope{.attack = 0, .decay = 74, .sustain = 72, .release = 74, .gain = 128},  // filter sweep
    ParamStore{.amount = 1, .target = to::filter14Frequency},
    StackOp{Stack::pop},                                                           // [env]
    Oscillator{.transpose = 88, .detune = 64, .phase = 0, .gateLow = 0, .colour = 96, .shape = 64,
               .gain = 34, .flags = wave::trisaw},
    Oscillator{.transpose = 88, .detune = 60, .phase = 20, .gateLow = 0, .colour = 96, .shape = 64,
               .gain = 30, .flags = wave::trisaw},                                 // -7 cents
    StackOp{Stack::add},
    Oscillator{.transpose = 88, .detune = 68, .phase = 50, .gateLow = 0, .colour = 96, .shape = 64,
               .gain = 30, .flags = wave::trisaw},
    StackOp{Stack::add},
    Oscillator{.transpose = 76, .detune = 61, .phase = 80, .gateLow = 0, .colour = 80, .shape = 64,
               .gain = 30, .flags = wave::trisaw},                                 // few partials to fold back
    StackOp{Stack::add},
    Oscillator{.transpose = 100, .detune = 66, .phase = 10, .gateLow = 0, .colour = 128, .shape = 64,
               .gain = 12, .flags = wave::sine},
    StackOp{Stack::add},                                                           // [osc, env]
    StackOp{Stack::multiply},                                                      // [voice]
    Filter{.frequency = 4, .damping = 90, .mode = pass::low},                      // swept by env 2
    Filter{.frequency = 26, .damping = 128, .mode = pass::high},                   // ~290 Hz: the mids stay the pads'
    Filter{.frequency = 80, .damping = 96, .mode = pass::peak},                    // presence ~2.8 kHz
    DelayBank{.input = 60, .dry = 128, .feedback = 78, .damping = 70, .modRate = 0, .modDepth = 0,
              .first = 20, .lines = 1},                                            // dotted-eighth echo
    Pan{.position = 64},                                                           // [left, right]
    DelayBank{.input = 72, .dry = 128, .feedback = 0, .damping = 0, .modRate = 0, .modDepth = 0,
              .first = 19, .lines = 1},                                            // left: an 11 ms copy
    Output{.main = 64, .aux = 88},
};

// Track 2: snare. Tone and noise under one envelope product; the first envelope feeds its own
// gain (a sharp crack that decays like an exponential), a slow LFO drifts its pan; two short
// reflections (the second on the left only) and a faint dotted-eighth echo. Played on G2; the
// note also sets the high-pass, so a roll that climbs (snareRise) thins out as it rises.
inline constexpr Unit snare[] = {
    Envelope{.attack = 0, .decay = 70, .sustain = 0, .release = 60, .gain = 40},
    ParamStore{.amount = 112, .target = to::envelopeGain},                         // out = g L / (1 - 0.75 L)
    Envelope{.attack = 0, .decay = 74, .sustain = 0, .release = 60, .gain = 128},
    StackOp{Stack::multiply},                                                      // [env]
    StackOp{Stack::pushNote},                                                      // [note, env]
    ParamStore{.amount = 0, .target = to::filter11Frequency},                      // minus the note
    StackOp{Stack::pop},
    Oscillator{.transpose = 73, .detune = 64, .phase = 0, .gateLow = 0, .colour = 128, .shape = 80,
               .gain = 72, .flags = wave::sine},                                   // body on E3, a chord tone
    Oscillator{.transpose = 64, .detune = 64, .phase = 0, .gateLow = 0, .colour = 128, .shape = 64,
               .gain = 128, .flags = wave::noise},
    StackOp{Stack::add},
    StackOp{Stack::multiply},                                                      // [snare]
    Filter{.frequency = 41, .damping = 128, .mode = pass::high},                   // ((41 - note) / 128)²: 85 .. 410 Hz
    Filter{.frequency = 20, .damping = 96, .mode = pass::peak},                    // body ~165 Hz, no boxy ring
    Filter{.frequency = 80, .damping = 80, .mode = pass::peak},                    // snap above 3 kHz
    Filter{.frequency = 96, .damping = 128, .mode = pass::low},                    // soften above 6 kHz
    Oscillator{.transpose = 40, .detune = 64, .phase = 0, .gateLow = 0, .colour = 128, .shape = 64,
               .gain = 128, .flags = wave::sine | wave::lfo},                     // 0.7 Hz
    ParamStore{.amount = 72, .target = to::pan20Position},
    StackOp{Stack::pop},
    DelayBank{.input = 80, .dry = 128, .feedback = 40, .damping = 70, .modRate = 0, .modDepth = 0,
              .first = 21, .lines = 1},                                            // 12 ms reflection
    DelayBank{.input = 26, .dry = 128, .feedback = 40, .damping = 90, .modRate = 0, .modDepth = 0,
              .first = 20, .lines = 1},                                            // faint echo
    Pan{.position = 60},                                                           // [left, right]
    DelayBank{.input = 80, .dry = 128, .feedback = 30, .damping = 80, .modRate = 0, .modDepth = 0,
              .first = 19, .lines = 1},                                            // 11 ms reflection, left only: width
    Output{.main = 108, .aux = 88},                                                // the loudest drum
};

// Track 3: hi-hat. Noise through two high-passes and two gentle low-passes.
inline constexpr Unit hat[] = {
    Envelope{.attack = 0, .decay = 66, .sustain = 0, .release = 50, .gain = 40},
    ParamStore{.amount = 112, .target = to::envelopeGain},
    Envelope{.attack = 0, .decay = 62, .sustain = 0, .release = 50, .gain = 128},  // 73 ms
    StackOp{Stack::multiply},
    Oscillator{.transpose = 64, .detune = 64, .phase = 0, .gateLow = 0, .colour = 128, .shape = 64,
               .gain = 128, .flags = wave::noise},
    StackOp{Stack::multiply},
    Filter{.frequency = 96, .damping = 160, .mode = pass::high},                   // ~5 kHz
    Filter{.frequency = 90, .damping = 180, .mode = pass::high},
    Filter{.frequency = 110, .damping = 128, .mode = pass::low},                   // tame the top
    Filter{.frequency = 110, .damping = 128, .mode = pass::low},
    Pan{.position = 116},
    Output{.main = 88, .aux = 24},
};

// Track 4: the opening line. Two soft oscillators detuned against each other by one LFO (a slow
// ensemble, shallow: a deeper one smears the partials), low-passed, lightly driven, with echoes
// of three ticks on the left and four on the right.
inline constexpr Unit openingLine[] = {
    Envelope{.attack = 62, .decay = 82, .sustain = 64, .release = 62, .gain = 128},  // gone within a row's rest
    Oscillator{.transpose = 76, .detune = 64, .phase = 0, .gateLow = 0, .colour = 64, .shape = 64,
               .gain = 76, .flags = wave::trisaw},                                 // triangle
    Oscillator{.transpose = 76, .detune = 64, .phase = 40, .gateLow = 0, .colour = 104, .shape = 64,
               .gain = 56, .flags = wave::trisaw},                                 // skewed saw
    Oscillator{.transpose = 56, .detune = 64, .phase = 0, .gateLow = 0, .colour = 128, .shape = 64,
               .gain = 128, .flags = wave::sine | wave::lfo},                     // 1.8 Hz
    ParamStore{.amount = 68, .target = to::oscillator1Detune},                     // +-6 cents
    ParamStore{.amount = 60, .target = to::oscillator2Detune},                     // the other way
    StackOp{Stack::pop},
    StackOp{Stack::add},                                                           // [osc, env]
    Filter{.frequency = 54, .damping = 96, .mode = pass::low},                     // ~1.3 kHz
    Filter{.frequency = 12, .damping = 128, .mode = pass::high},
    HoldShaper{.shape = 72, .holdRate = 128},                                      // light drive
    StackOp{Stack::multiply},
    Pan{.position = 64},                                                           // [left, right]
    DelayBank{.input = 72, .dry = 128, .feedback = 72, .damping = 70, .modRate = 0, .modDepth = 0,
              .first = 20, .lines = 1},                                            // left: 3 ticks
    StackOp{Stack::swap},
    DelayBank{.input = 72, .dry = 128, .feedback = 72, .damping = 70, .modRate = 0, .modDepth = 0,
              .first = 17, .lines = 1},                                            // right: 4 ticks
    StackOp{Stack::swap},
    Output{.main = 56, .aux = 64},
};

// Track 5: stab. A triangle on the root and a softened saw on the fifth through a resonant
// low-pass that follows the envelope; an LFO skews the triangle, another adds a faint tremolo.
inline constexpr Unit stab[] = {
    Envelope{.attack = 32, .decay = 70, .sustain = 38, .release = 66, .gain = 128},
    ParamStore{.amount = 100, .target = to::filter5Frequency},                     // filter follows env
    Oscillator{.transpose = 64, .detune = 62, .phase = 0, .gateLow = 0, .colour = 64, .shape = 64,
               .gain = 56, .flags = wave::trisaw},                                 // triangle, skewed by the LFO
    Oscillator{.transpose = 71, .detune = 67, .phase = 0, .gateLow = 0, .colour = 108, .shape = 64,
               .gain = 48, .flags = wave::trisaw},                                 // the fifth
    StackOp{Stack::add},
    Filter{.frequency = 20, .damping = 70, .mode = pass::low},
    StackOp{Stack::multiply},                                                      // [stab]
    Oscillator{.transpose = 44, .detune = 64, .phase = 0, .gateLow = 0, .colour = 128, .shape = 64,
               .gain = 128, .flags = wave::sine | wave::lfo},                     // 0.9 Hz
    ParamStore{.amount = 80, .target = to::oscillator2Colour},                     // skew 0.5 +- 0.25
    StackOp{Stack::pop},
    Oscillator{.transpose = 77, .detune = 64, .phase = 0, .gateLow = 0, .colour = 128, .shape = 64,
               .gain = 128, .flags = wave::sine | wave::lfo},                     // 6 Hz
    ParamStore{.amount = 66, .target = to::envelopeGain},                          // +-3 % tremolo
    StackOp{Stack::pop},
    DelayBank{.input = 60, .dry = 128, .feedback = 72, .damping = 80, .modRate = 0, .modDepth = 0,
              .first = 20, .lines = 1},                                            // dotted-eighth echo
    Pan{.position = 34},
    StackOp{Stack::swap},                                                          // [right, left]
    DelayBank{.input = 128, .dry = 0, .feedback = 0, .damping = 0, .modRate = 0, .modDepth = 0,
              .first = 21, .lines = 1},                                            // right 12 ms later: width
    StackOp{Stack::swap},
    Output{.main = 44, .aux = 72},                                                 // under the bass's octaves
};

// Track 6: bass. One slightly rounded saw an octave down, resonant low-pass, a boost on the sub
// (about 52 Hz) and one on its octave (about 96 Hz: the riff's low notes have their fundamentals
// below 62 Hz); the second envelope, held and shaped, kicks the pitch up for the first few
// milliseconds of a note. A 33 ms rise leaves the kick the low end on the notes they share.
inline constexpr Unit bass[] = {
    Envelope{.attack = 56, .decay = 76, .sustain = 64, .release = 64, .gain = 128},  // sustain 0.5, 33 ms rise
    ParamStore{.amount = 72, .target = to::envelopeGain},
    Envelope{.attack = 0, .decay = 56, .sustain = 0, .release = 40, .gain = 8},
    HoldShaper{.shape = 64, .holdRate = 128},
    ParamStore{.amount = 128, .target = to::oscillator6Transpose},                 // up to +8 semitones
    StackOp{Stack::pop},                                                           // [env]
    Oscillator{.transpose = 52, .detune = 64, .phase = 40, .gateLow = 0, .colour = 116, .shape = 64,
               .gain = 128, .flags = wave::trisaw},                                // rises with the kick, on every note
    StackOp{Stack::multiply},
    Filter{.frequency = 38, .damping = 64, .mode = pass::low},                     // ~620 Hz, resonant
    Filter{.frequency = 11, .damping = 64, .mode = pass::peak},                    // ~52 Hz: the sub
    Filter{.frequency = 15, .damping = 48, .mode = pass::peak},                    // ~96 Hz: the octave
    Filter{.frequency = 9, .damping = 128, .mode = pass::high},                    // below 35 Hz out
    Pan{.position = 64},
    Output{.main = 76, .aux = 0},                                                  // no send: the low end mono
};

// Tracks 7 and 8: pads. Two softened saws (or a skewed triangle and a saw) on the same note, one darkened; the
// second envelope rises slowly and pulls one oscillator a few cents away from the other.
inline constexpr Unit warmPad[] = {
    Envelope{.attack = 72, .decay = 80, .sustain = 48, .release = 62, .gain = 128},  // sustain 0.375; gone within a row
    ParamStore{.amount = 64, .target = to::envelopeGain},                          // no feedback
    Envelope{.attack = 88, .decay = 88, .sustain = 128, .release = 80, .gain = 2},
    ParamStore{.amount = 68, .target = to::oscillator5Transpose},                  // drifts up to +12 cents
    StackOp{Stack::pop},
    Oscillator{.transpose = 76, .detune = 60, .phase = 0, .gateLow = 0, .colour = 112, .shape = 64,
               .gain = 64, .flags = wave::trisaw},
    Oscillator{.transpose = 76, .detune = 68, .phase = 32, .gateLow = 0, .colour = 108, .shape = 64,
               .gain = 64, .flags = wave::trisaw},
    Filter{.frequency = 70, .damping = 128, .mode = pass::low},                    // darker second saw
    StackOp{Stack::add},
    StackOp{Stack::multiply},
    Filter{.frequency = 52, .damping = 100, .mode = pass::low},                    // ~1.2 kHz
    Filter{.frequency = 60, .damping = 128, .mode = pass::low},
    Filter{.frequency = 28, .damping = 128, .mode = pass::high},                   // ~340 Hz: low mids to the bass
    Pan{.position = 10},                                                           // [left, right]
    DelayBank{.input = 128, .dry = 0, .feedback = 0, .damping = 0, .modRate = 0, .modDepth = 0,
              .first = 19, .lines = 1},                                            // left 11 ms later: width
    Output{.main = 48, .aux = 80},
};

inline constexpr Unit brightPad[] = {
    Envelope{.attack = 70, .decay = 78, .sustain = 48, .release = 62, .gain = 128},
    ParamStore{.amount = 64, .target = to::envelopeGain},
    Envelope{.attack = 84, .decay = 90, .sustain = 100, .release = 80, .gain = 1},
    ParamStore{.amount = 70, .target = to::oscillator6Transpose},                  // up to +9 cents
    StackOp{Stack::pop},
    Oscillator{.transpose = 76, .detune = 64, .phase = 0, .gateLow = 0, .colour = 96, .shape = 64,
               .gain = 50, .flags = wave::trisaw},                                 // a skewed triangle: a square folds back
    Oscillator{.transpose = 88, .detune = 66, .phase = 0, .gateLow = 0, .colour = 112, .shape = 64,
               .gain = 36, .flags = wave::trisaw},                                 // an octave higher
    Filter{.frequency = 80, .damping = 128, .mode = pass::low},
    StackOp{Stack::add},
    StackOp{Stack::multiply},
    Filter{.frequency = 62, .damping = 90, .mode = pass::low},
    Filter{.frequency = 72, .damping = 128, .mode = pass::low},
    Filter{.frequency = 28, .damping = 128, .mode = pass::high},                   // ~340 Hz
    Pan{.position = 118},
    StackOp{Stack::swap},                                                          // [right, left]
    DelayBank{.input = 128, .dry = 0, .feedback = 0, .damping = 0, .modRate = 0, .modDepth = 0,
              .first = 21, .lines = 1},                                            // right 12 ms later: width
    StackOp{Stack::swap},
    Output{.main = 48, .aux = 80},
};

// Track 9: wood. A driven sine two octaves up with a very short envelope: a tuned block.
inline constexpr Unit wood[] = {
    Envelope{.attack = 0, .decay = 66, .sustain = 0, .release = 50, .gain = 48},
    ParamStore{.amount = 100, .target = to::envelopeGain},
    Envelope{.attack = 0, .decay = 56, .sustain = 0, .release = 40, .gain = 128},  // 33 ms
    StackOp{Stack::multiply},
    Oscillator{.transpose = 88, .detune = 64, .phase = 0, .gateLow = 0, .colour = 128, .shape = 90,
               .gain = 128, .flags = wave::sine},
    StackOp{Stack::multiply},
    Filter{.frequency = 30, .damping = 128, .mode = pass::high},
    Filter{.frequency = 56, .damping = 64, .mode = pass::peak},
    Filter{.frequency = 110, .damping = 128, .mode = pass::low},
    Filter{.frequency = 60, .damping = 110, .mode = pass::peak},
    Pan{.position = 24},
    Output{.main = 44, .aux = 36},
};

// Track 10: tom. A sine whose pitch falls with the second envelope, a touch of band-passed
// noise, and its own reverberator.
inline constexpr Unit tom[] = {
    Envelope{.attack = 0, .decay = 72, .sustain = 0, .release = 60, .gain = 48},
    ParamStore{.amount = 104, .target = to::envelopeGain},
    Envelope{.attack = 0, .decay = 64, .sustain = 0, .release = 50, .gain = 8},
    ParamStore{.amount = 128, .target = to::oscillator5Transpose},                 // falls 8 semitones
    StackOp{Stack::pop},
    Oscillator{.transpose = 64, .detune = 64, .phase = 0, .gateLow = 0, .colour = 128, .shape = 72,
               .gain = 128, .flags = wave::sine},
    Oscillator{.transpose = 64, .detune = 64, .phase = 0, .gateLow = 0, .colour = 128, .shape = 64,
               .gain = 34, .flags = wave::noise},
    Filter{.frequency = 60, .damping = 128, .mode = pass::band},
    StackOp{Stack::add},
    StackOp{Stack::multiply},
    Filter{.frequency = 10, .damping = 128, .mode = pass::high},
    DelayBank{.input = 40, .dry = 128, .feedback = 116, .damping = 50, .modRate = 0, .modDepth = 0,
              .first = 9, .lines = 8},                                             // reverberator
    Filter{.frequency = 100, .damping = 128, .mode = pass::low},
    Pan{.position = 50},
    Output{.main = 84, .aux = 36},
};

// Track 11: bell. Two pulses two octaves up ring-modulated at a tritone, plus a third pulse:
// metallic; the expanding shaper curves the decay; a short chorused comb and a band-pass.
// Flashes e3 together with the hats.
inline constexpr Unit bell[] = {
    Envelope{.attack = 0, .decay = 74, .sustain = 0, .release = 60, .gain = 128},
    Oscillator{.transpose = 88, .detune = 64, .phase = 0, .gateLow = 0, .colour = 64, .shape = 64,
               .gain = 48, .flags = wave::pulse},                                  // two octaves up
    Oscillator{.transpose = 94, .detune = 70, .phase = 0, .gateLow = 0, .colour = 64, .shape = 64,
               .gain = 128, .flags = wave::pulse},                                 // + a tritone
    Oscillator{.transpose = 105, .detune = 40, .phase = 0, .gateLow = 0, .colour = 64, .shape = 64,
               .gain = 128, .flags = wave::pulse},                                 // + 17 semitones
    StackOp{Stack::multiply},                                                      // ring modulation
    StackOp{Stack::add},
    StackOp{Stack::multiply},                                                      // [bell]
    Filter{.frequency = 70, .damping = 80, .mode = pass::band},
    HoldShaper{.shape = 40, .holdRate = 128},                                      // bend the decay
    DelayBank{.input = 60, .dry = 128, .feedback = 60, .damping = 60, .modRate = 30, .modDepth = 28,
              .first = 19, .lines = 1},
    Filter{.frequency = 40, .damping = 128, .mode = pass::high},
    Filter{.frequency = 60, .damping = 110, .mode = pass::peak},
    Filter{.frequency = 100, .damping = 128, .mode = pass::low},
    HoldShaper{.shape = 64, .holdRate = 128},
    Pan{.position = 104},
    Output{.main = 20, .aux = 30},                                                 // under the snare's snap
};

// Track 12: clap. Band-passed noise, its own reverberator; the gate closes once, early in each
// hit (step pattern 0xFFFD), which makes the double strike of hands.
inline constexpr Unit clap[] = {
    Envelope{.attack = 0, .decay = 70, .sustain = 0, .release = 60, .gain = 80},
    ParamStore{.amount = 104, .target = to::envelopeGain},
    Oscillator{.transpose = 64, .detune = 64, .phase = 0, .gateLow = 0, .colour = 128, .shape = 64,
               .gain = 128, .flags = wave::noise},
    StackOp{Stack::multiply},
    Filter{.frequency = 48, .damping = 80, .mode = pass::band},                    // ~1 kHz
    HoldShaper{.shape = 72, .holdRate = 128},
    Filter{.frequency = 40, .damping = 128, .mode = pass::high},
    Oscillator{.transpose = 80, .detune = 64, .phase = 0, .gateLow = 253, .colour = 255, .shape = 64,
               .gain = 128, .flags = wave::gate | wave::lfo},                     // closed on step 1
    StackOp{Stack::multiply},
    DelayBank{.input = 56, .dry = 128, .feedback = 114, .damping = 60, .modRate = 0, .modDepth = 0,
              .first = 9, .lines = 8},                                             // reverberator
    Pan{.position = 64},
    DelayBank{.input = 128, .dry = 0, .feedback = 0, .damping = 0, .modRate = 0, .modDepth = 0,
              .first = 19, .lines = 1},                                            // left 11 ms later
    Output{.main = 120, .aux = 48},
};

// Track 13: crash. Flashes e2: the first envelope jumps to 1 and settles at 0.45, the second
// carries the long decay; its own reverberator.
inline constexpr Unit crash[] = {
    Envelope{.attack = 0, .decay = 66, .sustain = 58, .release = 80, .gain = 128},
    Oscillator{.transpose = 64, .detune = 64, .phase = 0, .gateLow = 0, .colour = 128, .shape = 64,
               .gain = 128, .flags = wave::noise},
    Filter{.frequency = 90, .damping = 180, .mode = pass::high},                   // ~5 kHz
    Filter{.frequency = 110, .damping = 128, .mode = pass::low},
    StackOp{Stack::multiply},
    Envelope{.attack = 0, .decay = 86, .sustain = 0, .release = 80, .gain = 128},  // 1.6 s
    StackOp{Stack::multiply},
    DelayBank{.input = 44, .dry = 128, .feedback = 116, .damping = 40, .modRate = 0, .modDepth = 0,
              .first = 9, .lines = 8},                                             // reverberator
    Pan{.position = 72},
    Output{.main = 72, .aux = 32},                                                 // the impact on a drop
};

// Track 14: arpeggio. Saw and triangle an octave up and a saw two octaves up (softened corners:
// the square and hard saws folded back), driven, a quarter-note echo, then a resonant low-pass that the second envelope opens on every note.
inline constexpr Unit arp[] = {
    Envelope{.attack = 20, .decay = 68, .sustain = 0, .release = 50, .gain = 128},
    Envelope{.attack = 0, .decay = 64, .sustain = 0, .release = 50, .gain = 128},
    ParamStore{.amount = 108, .target = to::filter13Frequency},                    // +0.69 x env 2
    StackOp{Stack::pop},
    Oscillator{.transpose = 76, .detune = 64, .phase = 0, .gateLow = 0, .colour = 104, .shape = 64,
               .gain = 48, .flags = wave::trisaw},                                 // an octave up
    Oscillator{.transpose = 76, .detune = 70, .phase = 40, .gateLow = 0, .colour = 64, .shape = 64,
               .gain = 36, .flags = wave::trisaw},                                 // a triangle: a square folds back
    Oscillator{.transpose = 88, .detune = 60, .phase = 0, .gateLow = 0, .colour = 104, .shape = 64,
               .gain = 24, .flags = wave::trisaw},
    StackOp{Stack::add},
    StackOp{Stack::add},
    StackOp{Stack::multiply},
    Filter{.frequency = 30, .damping = 128, .mode = pass::high},                   // ~390 Hz: leaves the low mids
    HoldShaper{.shape = 80, .holdRate = 128},
    DelayBank{.input = 56, .dry = 128, .feedback = 70, .damping = 90, .modRate = 0, .modDepth = 0,
              .first = 17, .lines = 1},                                            // quarter-note echo
    Filter{.frequency = 14, .damping = 50, .mode = pass::low},                     // opened by env 2
    Filter{.frequency = 60, .damping = 110, .mode = pass::peak},
    Filter{.frequency = 100, .damping = 128, .mode = pass::low},
    HoldShaper{.shape = 64, .holdRate = 128},
    Pan{.position = 94},                                                           // [left, right]
    DelayBank{.input = 128, .dry = 0, .feedback = 0, .damping = 0, .modRate = 0, .modDepth = 0,
              .first = 19, .lines = 1},                                            // left 11 ms later: width
    Output{.main = 44, .aux = 36},
};

// The master bus: reverberate the sends (left and right on different line lengths), add the
// main mix, scale both sides by a constant (a pulse whose duty covers the whole cycle), round
// each side's peaks with a driving shaper, and leave headroom below full scale.
inline constexpr Unit master[] = {
    Accumulate{sums::aux},
    DelayBank{.input = 48, .dry = 128, .feedback = 123, .damping = 32, .modRate = 0, .modDepth = 0,
              .first = 1, .lines = 8},
    StackOp{Stack::swap},
    DelayBank{.input = 48, .dry = 128, .feedback = 123, .damping = 16, .modRate = 0, .modDepth = 0,
              .first = 9, .lines = 8},
    StackOp{Stack::swap},
    Accumulate{sums::main},
    StackOp{Stack::addPair},                                                       // [left, right]
    Oscillator{.transpose = 64, .detune = 64, .phase = 0, .gateLow = 0, .colour = 255, .shape = 64,
               .gain = 48, .flags = wave::pulse},                                  // 0.375 on every frame
    StackOp{Stack::duplicate},
    StackOp{Stack::multiplyPair},                                                  // [0.375 left, 0.375 right]
    HoldShaper{.shape = 80, .holdRate = 128},                                      // x 1.67 (1 + 0.67 |x|)
    StackOp{Stack::swap},
    HoldShaper{.shape = 80, .holdRate = 128},
    StackOp{Stack::swap},
    Output{.main = 104, .aux = 0},                                                 // peaks at -1.8 dBFS
};

inline constexpr std::array<Instrument, 16> instruments{
    kick, lead,  snare, hat,  openingLine, stab, bass,  warmPad,
    brightPad, wood, tom, bell, clap,      crash, arp, master,
};

}  // namespace song
