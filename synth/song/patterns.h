#pragma once
// The soundtrack's 98 patterns, one bar of sixteen rows each (a row is a sixteenth note at
// 172 beats per minute). Written pitches: instruments add their own transposition (the bass
// sounds an octave lower, pads an octave higher, the lead two octaves higher).
//   note name: new note   .: hold   -: release
// Key: A minor. Main progression Am F C G; second F G Em Am; the falling one Am G F | E.
#include "synth/song/notation.h"

namespace song {

inline constexpr std::array<NamedPattern, 98> patterns{{
    // 0: silence
    {"rest", "-  -  -  -  -  -  -  -  -  -  -  -  -  -  -  -"},
    // drums
    {"kick", "C2 .  .  .  .  .  .  .  .  .  C2 .  .  .  .  ."},
    {"fall", "A2 .  .  .  .  -  G2 .  .  .  .  .  F2 .  .  ."},  // A G F: bass and lead riff
    {"backbeat", "-  -  -  -  G2 .  .  .  -  -  -  -  G2 .  .  ."},  // snare; clap (noise takes any note)
    {"fallBass", "A2 .  .  .  .  -  G2 .  .  .  .  -  F2 .  .  -"},  // the riff, a breath before each step
    {"kickDouble", "C2 .  C2 .  .  .  .  .  .  .  C2 .  .  .  .  ."},
    {"kickHalf", "C2 .  .  .  .  .  .  .  .  .  .  .  .  .  .  ."},
    {"kickBuild", "C2 .  .  .  C2 .  .  .  C2 .  .  .  .  .  .  ."},
    {"snareFill", "-  -  -  -  G2 .  .  .  -  -  -  -  G2 .  G2 G2"},
    {"snareRoll", "-  -  -  -  G2 .  G2 .  G2 .  G2 .  G2 .  G2 G2"},
    // 10
    {"snareHalf", "-  -  -  -  -  -  -  -  G2 .  .  .  .  .  .  ."},
    {"woodGhost", "-  -  -  -  -  -  -  E3 -  -  -  -  -  -  -  A3"},
    {"hold", ".  .  .  .  .  .  .  .  .  .  .  .  .  .  .  ."},
    {"wholeA2Breath", "A2 .  .  .  .  .  .  .  .  .  .  .  .  .  .  -"},
    {"clap", "-  -  -  -  -  -  -  -  -  -  -  -  C3 .  .  ."},
    {"offbeats", "-  -  A3 .  -  -  A3 .  -  -  A3 .  -  -  A3 ."},  // bell; hat (noise)
    {"tomFill", "-  -  -  -  -  -  -  -  D3 .  B2 .  G2 .  E2 ."},
    {"tomGroove", "E2 .  .  B2 .  .  G2 .  .  .  E2 .  D3 .  .  ."},
    {"woodIntro", "E3 .  .  A3 .  .  E3 .  .  .  G3 .  .  .  .  ."},
    {"wholeG2Breath", "G2 .  .  .  .  .  .  .  .  .  .  .  .  .  .  -"},
    // 20
    {"hatLift", "-  -  C3 .  -  -  C3 .  -  -  C3 .  -  C3 C3 ."},
    {"kickFill", "C2 .  .  .  .  .  .  .  .  .  C2 .  .  .  C2 ."},
    {"bellQuarter", "A3 .  .  .  A3 .  .  .  A3 .  .  .  A3 .  .  ."},
    {"leadA4b", "D3 .  .  .  .  -  B2 .  .  -  D3 .  .  -  G3 -"},
    // the opening line
    {"lineE", "E3 .  .  .  .  .  .  .  .  .  .  .  .  .  .  ."},
    {"lineRelease", ".  .  .  .  .  .  .  .  .  .  .  -  -  -  -  -"},
    {"lineC", "C4 .  .  .  .  .  .  .  .  .  .  .  .  .  .  ."},
    {"lineG", "G3 .  .  .  .  .  .  .  .  .  .  .  .  .  .  ."},
    {"linePickup", "-  -  -  -  -  -  -  -  A3 .  .  -  B3 .  .  -"},
    {"lineCB", "C4 .  .  .  .  .  .  .  .  .  .  -  B3 .  .  ."},
    // 30
    {"lineA", "A3 .  .  .  .  .  .  .  .  .  .  .  .  .  .  ."},
    {"lineGE", "G3 .  .  .  .  .  .  -  E3 .  .  .  .  .  .  ."},
    {"lineDB", "D3 .  .  .  .  .  .  .  .  .  .  -  B2 .  .  ."},
    // whole notes (pads, bass; the bass's own end with a rest before the next bar's note)
    {"wholeA2", "A2 .  .  .  .  .  .  .  .  .  .  .  .  .  .  ."},
    {"wholeF2Breath", "F2 .  .  .  .  .  .  .  .  .  .  .  .  .  .  -"},
    {"wholeC3", "C3 .  .  .  .  .  .  .  .  .  .  .  .  .  .  ."},
    {"wholeG2", "G2 .  .  .  .  .  .  .  .  .  .  .  .  .  .  ."},
    {"wholeE2Breath", "E2 .  .  .  .  .  .  .  .  .  .  .  .  .  .  -"},
    {"wholeB2", "B2 .  .  .  .  .  .  .  .  .  .  .  .  .  .  ."},
    {"wholeD3", "D3 .  .  .  .  .  .  .  .  .  .  .  .  .  .  ."},
    // 40
    {"wholeGs2Breath", "G#2 . .  .  .  .  .  .  .  .  .  .  .  .  .  -"},
    // bass lines: a new note clears the voice at once, so each one that follows a held note
    // has a row's rest before it (or a kick over it)
    {"bassA", "A2 .  .  .  .  .  -  A2 .  -  A2 .  .  -  G2 -"},
    {"bassF", "F2 .  .  .  .  .  -  F2 .  -  F2 .  .  -  E2 -"},
    {"bassC", "C3 .  .  .  .  .  -  C3 .  -  C3 .  .  -  D3 -"},
    {"bassG", "G2 .  .  .  .  .  -  G2 .  -  G2 .  .  -  B2 -"},
    {"bassE", "E2 .  .  .  .  .  -  E2 .  .  .  -  G#2 . .  -"},
    {"bassEm", "E2 .  .  .  .  .  -  E2 .  -  E2 .  .  -  G2 -"},
    // pads over the falling progression
    {"padFall3Breath", "C3 .  .  .  .  -  B2 .  .  .  .  -  A2 .  .  -"},
    {"padFall5", "E3 .  .  .  .  -  D3 .  .  .  .  -  C3 .  .  -"},
    // the lead's hook over Am F C G, twice
    {"leadA1", "E3 .  -  A3 .  -  G3 -  E3 .  -  D3 .  -  C3 -"},
    // 50
    {"leadA2", "C3 .  .  .  .  .  .  -  A2 .  -  C3 .  -  D3 -"},
    {"leadA3", "E3 .  -  G3 .  -  E3 -  D3 .  -  C3 .  -  D3 -"},
    {"leadA4", "D3 .  .  .  .  -  B2 .  .  .  .  -  G2 .  -  -"},
    {"leadA6", "C3 .  .  .  .  .  .  -  A2 .  -  C3 .  -  E3 -"},
    {"leadA7", "G3 .  .  .  .  -  E3 .  .  .  .  -  C3 -  D3 -"},
    {"leadA8", "B2 .  .  .  .  -  C3 .  .  .  .  -  D3 .  .  -"},
    // the lead's second tune over F G Em Am
    {"leadB1", "A3 .  .  .  .  -  G3 .  .  .  .  -  F3 -  E3 -"},
    {"leadB2", "D3 .  .  .  .  .  .  .  .  .  .  -  B2 -  D3 -"},
    {"leadB3", "E3 .  .  .  .  -  G3 .  .  .  .  -  B3 .  .  -"},
    {"leadB4", "A3 .  .  .  .  .  .  .  .  .  .  .  -  -  -  -"},
    // 60
    {"leadE", "B2 .  .  .  .  .  .  .  .  .  .  -  G#2 . .  -"},
    // arpeggios
    {"arpAm", "A2 .  E3 .  A3 .  C4 .  B3 .  A3 .  E3 .  C3 ."},
    {"arpF", "F2 .  C3 .  F3 .  A3 .  G3 .  F3 .  C3 .  A2 ."},
    {"arpC", "C3 .  G3 .  C4 .  E3 .  D3 .  C3 .  G2 .  E3 ."},
    {"arpG", "G2 .  D3 .  G3 .  B3 .  A3 .  G3 .  D3 .  B2 ."},
    {"arpEm", "E2 .  B2 .  E3 .  G3 .  F#3 . E3 .  B2 .  G2 ."},
    {"arpFall", "A2 .  E3 .  A3 .  G2 .  D3 .  G3 .  F2 .  C3 ."},
    {"arpE", "E2 .  B2 .  E3 .  G#3 . B3 .  G#3 . E3 .  B2 ."},
    // stabs (root and fifth)
    {"stabAm", "A3 .  -  -  -  -  A3 .  -  -  A3 .  -  -  -  -"},
    {"stabF", "F3 .  -  -  -  -  F3 .  -  -  F3 .  -  -  -  -"},
    // 70
    {"stabC", "C4 .  -  -  -  -  C4 .  -  -  C4 .  -  -  -  -"},
    {"stabG", "G3 .  -  -  -  -  G3 .  -  -  G3 .  -  -  -  -"},
    {"stabFall", "A3 .  -  -  -  -  G3 .  -  -  -  -  F3 .  -  -"},
    {"stabE", "E3 .  -  -  -  -  E3 .  -  -  E3 .  -  -  -  -"},
    // more drums
    {"hatSparse", "-  -  C3 .  -  -  -  -  -  -  C3 .  -  -  -  -"},
    {"kickBreak", "C2 .  .  .  .  .  .  C2 .  .  C2 .  .  .  .  ."},
    {"snareGhost", "-  -  -  -  G2 .  .  .  -  -  -  -  G2 .  .  G2"},
    {"woodFill", "E3 .  A3 .  .  .  E3 .  .  .  .  .  E3 .  .  ."},
    {"clapFour", "-  -  -  -  C3 .  .  .  -  -  -  -  -  -  -  -"},
    {"arpRise", "G2 .  B2 .  D3 .  F3 .  G3 .  A3 .  B3 .  C4 ."},  // into a drop, each note gone before the next
    // 80
    {"bellTriplet", "A3 .  .  A3 .  .  A3 .  .  A3 .  .  A3 .  A3 ."},
    // the hook's climax
    {"leadA5b", "A3 .  -  C4 .  -  B3 -  A3 .  -  G3 .  -  E3 -"},
    {"leadA6b", "F3 .  .  .  .  .  .  -  E3 .  -  C3 .  -  E3 -"},
    {"leadA7b", "G3 .  .  .  .  -  C4 .  .  .  .  -  B3 -  G3 -"},
    {"leadA8b", "D3 .  .  .  .  -  G3 .  .  .  .  -  B3 .  .  -"},
    {"bassARoll", "A2 -  A2 .  -  -  A2 .  -  -  A2 -  G2 -  E2 -"},
    {"bassGRise", "G2 .  .  .  .  .  -  G2 .  -  A2 -  B2 -  D3 -"},
    {"arpAmHigh", "E3 .  A3 .  C4 .  E3 .  A3 .  C4 .  B3 .  G3 ."},
    // the last chord
    {"endA", "A2 .  .  .  .  .  .  .  -  -  -  -  -  -  -  -"},
    {"endC", "C3 .  .  .  .  .  .  .  -  -  -  -  -  -  -  -"},
    // 90
    {"endE", "E3 .  .  .  .  .  .  .  -  -  -  -  -  -  -  -"},
    {"leadEnd", "C4 .  .  .  .  .  .  -  B3 .  .  -  A3 .  .  -"},
    // whole notes and holds that breathe out on the last row: a new note clears the voice, so
    // one that follows a held note starts after a row's rest (pads and bass)
    {"wholeC3Breath", "C3 .  .  .  .  .  .  .  .  .  .  .  .  .  .  -"},
    {"wholeB2Breath", "B2 .  .  .  .  .  .  .  .  .  .  .  .  .  .  -"},
    {"wholeD3Breath", "D3 .  .  .  .  .  .  .  .  .  .  .  .  .  .  -"},
    {"holdBreath", ".  .  .  .  .  .  .  .  .  .  .  .  .  .  .  -"},
    {"wholeE3Breath", "E3 .  .  .  .  .  .  .  .  .  .  .  .  .  .  -"},
    // the snare's riser into a drop, from the third beat (the bar's first half stays bare): its
    // body climbs with the notes, its high-pass with them
    {"snareRise", "-  -  -  -  -  -  -  -  C3 .  D3 .  F3 .  A3 C4"},
}};

}  // namespace song
