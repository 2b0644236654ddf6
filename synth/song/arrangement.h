#pragma once
// The arrangement: which pattern each track plays in each of the 196 bars.
//
//   bars      part                              chords
//   0..31     opening: the line alone, pads, bass, percussion, drums build in
//                                                 Am Am F F C C G G
//   32..63    first drop, the hook from 48        Am F C G
//   64..79    the falling riff                    Am G F | E
//   80..95    half-time interlude, second tune    F G Em Am
//   96..111   arpeggio drive                      Am F C G
//   112..127  second drop with the hook           Am F C G
//   128..143  quiet: pads, bells, toms, arpeggio  F G Em Am
//   144..159  the falling riff with the lead      Am G F | E
//   160..175  second tune over the full band      F G Em Am
//   176..191  last drop, the hook rises           Am F C G
//   192..195  the last chord rings out
// Hat, clap and crash are noise: the note they are given changes nothing, so they play the
// pitched parts' patterns of the same rhythm (offbeats, backbeat, wholeC3).
#include "synth/song/patterns.h"

namespace song {

inline constexpr std::array<Arrangement, 15> tracks{
    // 0: kick
    arrangement(patterns, R"(
      24*rest | 4*kickHalf | 4*rest
      kick kick kick kickDouble            kick kick kick kickFill
      kick kickBreak kick kickDouble       kick kickBreak kick kickFill
      kick kick kickBreak kickDouble       kick kick kickBreak kickFill
      kick kickBreak kick kickDouble       kick kickBreak 2*rest
      kickDouble kick kickBreak kick       kickDouble kick kickBreak kickFill
      kick kick kickBreak kickDouble       kick kickBreak kickFill kickBuild
      8*rest 6*kickHalf 2*rest
      kick kick kick kickDouble            kick kickBreak kick kickFill
      kick kick kickBreak kickDouble       4*rest
      kickDouble kick kick kickDouble      kick kickBreak kick kickFill
      kickHalf kickHalf kickBreak kickDouble kick kickBreak kickDouble kickFill
      8*rest 7*kickHalf rest
      3*[ kick kickBreak kick kickDouble ] kick kickBreak kick kickFill
      3*[ kick kick kickBreak kickDouble ] 4*rest
      kick kick kick kickDouble            kickDouble kick kickBreak kickFill
      kick kickBreak kick kickDouble       kick kick kickBreak kickFill
      kickHalf 3*rest)"),
    // 1: lead
    arrangement(patterns, R"(
      32*rest
      16*rest | leadA1 leadA2 leadA3 leadA4 leadA1 leadA6 leadA7 leadA8
                leadA1 leadA2 leadA3 leadA4 leadA1 leadA6 2*rest
      2*[ fallBass leadE ] 4*rest 4*[ fallBass leadE ]
      8*rest leadB1 leadB2 leadB3 leadB4 4*rest
      16*rest
      leadA1 leadA2 leadA3 leadA4 leadA1 leadA6 leadA7 leadA8
      leadA1 leadA2 leadA3 leadA4b leadA1 leadA6 leadA7 leadA8
      16*rest
      4*[ padFall5 leadE ] 4*[ fallBass leadE ]
      3*[ leadB1 leadB2 leadB3 leadB4 ] 4*rest
      leadA1 leadA2 leadA3 leadA4 leadA1 leadA6 leadA7 leadA8
      leadA5b leadA6b leadA7b leadA8b leadA5b leadA6b leadA7b leadEnd
      endA 3*rest)"),
    // 2: snare
    arrangement(patterns, R"(
      24*rest | 7*snareHalf snareRise
      backbeat backbeat backbeat snareFill     backbeat backbeat backbeat snareGhost
      backbeat snareGhost backbeat snareFill   backbeat backbeat snareGhost snareRoll
      backbeat backbeat backbeat snareFill     backbeat snareGhost backbeat snareFill
      backbeat backbeat snareGhost snareFill   backbeat snareGhost rest snareRise
      backbeat backbeat backbeat snareGhost    backbeat backbeat backbeat snareFill
      backbeat snareGhost backbeat snareFill   backbeat backbeat snareGhost snareRoll
      8*rest 6*snareHalf rest snareRise
      backbeat backbeat backbeat snareFill     backbeat snareGhost backbeat backbeat
      backbeat backbeat snareGhost snareFill   3*snareHalf snareRise
      backbeat snareGhost backbeat snareFill   backbeat backbeat snareGhost snareFill
      snareHalf snareHalf backbeat snareGhost  backbeat snareGhost backbeat snareRoll
      8*rest 7*snareHalf rest
      3*[ backbeat snareGhost backbeat snareFill ] backbeat snareGhost backbeat snareRoll
      3*[ backbeat snareGhost backbeat snareFill ] 3*snareHalf snareRise
      backbeat backbeat backbeat snareFill     backbeat snareGhost backbeat snareFill
      backbeat backbeat snareGhost snareFill   backbeat snareGhost backbeat snareFill
      4*rest)"),
    // 3: hat
    arrangement(patterns, R"(
      16*rest | 12*offbeats | 2*hatSparse 2*rest
      3*offbeats hatLift 4*offbeats  7*offbeats hatSparse
      3*offbeats hatLift 3*offbeats hatLift  6*offbeats 2*rest
      14*offbeats hatLift rest
      16*rest
      offbeats offbeats offbeats hatLift offbeats offbeats offbeats hatLift 4*offbeats 2*hatSparse 2*rest
      15*offbeats rest
      16*rest
      14*offbeats 2*rest
      12*offbeats 2*hatSparse 2*rest
      16*offbeats
      4*rest)"),
    // 4: the opening line
    arrangement(patterns, R"(
      lineE lineRelease lineC lineRelease lineG hold hold linePickup
      lineCB lineRelease lineA holdBreath lineGE lineRelease lineDB lineRelease
      lineE lineRelease lineC lineRelease lineG hold hold linePickup
      lineA lineRelease
      170*rest)"),
    // 5: stab
    arrangement(patterns, R"(
      32*rest
      lineE lineRelease lineC lineRelease lineG hold hold linePickup
      lineCB lineRelease lineA holdBreath lineGE lineRelease lineDB lineRelease
      2*[ stabAm stabF stabC stabG ] stabAm stabF stabC stabG stabAm stabF 2*rest
      8*[ stabFall stabE ]
      lineE lineRelease lineC lineRelease lineG hold hold linePickup 8*rest
      3*[ stabAm stabF stabC stabG ] 4*rest
      4*[ stabAm stabF stabC stabG ]
      lineCB lineRelease lineA holdBreath lineGE lineRelease lineDB lineRelease 8*rest
      8*rest 4*[ stabFall stabE ]
      2*[ stabF stabG stabE stabAm ] 8*rest
      4*[ stabAm stabF stabC stabG ]
      4*rest)"),
    // 6: bass
    arrangement(patterns, R"(
      16*rest | 2*wholeA2Breath 2*wholeF2Breath wholeC3 lineRelease 2*wholeG2Breath
                2*wholeA2Breath 2*wholeF2Breath 4*rest
      7*[ bassA bassF bassC bassG ] bassA bassF 2*rest
      8*[ fallBass bassE ]
      8*rest wholeF2Breath wholeG2Breath wholeE2Breath wholeA2Breath wholeF2Breath wholeG2Breath 2*rest
      3*[ bassA bassF bassC bassG ] 4*rest
      4*[ bassARoll bassF bassC bassGRise ]
      8*rest wholeF2Breath wholeG2Breath wholeE2Breath wholeA2Breath wholeF2Breath wholeG2Breath 2*rest
      8*[ fallBass bassE ]
      3*[ bassF bassG bassEm bassA ] 4*rest
      4*[ bassARoll bassF bassC bassGRise ]
      endA 3*rest)"),
    // 7: warm pad, the chords' thirds
    arrangement(patterns, R"(
      8*rest | 2*[ wholeC3 holdBreath wholeA2 holdBreath lineE holdBreath wholeB2 holdBreath ]
                wholeC3 holdBreath wholeA2 holdBreath lineE holdBreath 2*rest
      8*[ wholeC3Breath wholeA2Breath wholeG2 holdBreath ]
      8*[ padFall3Breath wholeGs2Breath ]
      4*[ wholeA2Breath wholeB2 holdBreath wholeC3Breath ]
      4*[ wholeC3Breath wholeA2Breath wholeG2 holdBreath ]
      4*[ wholeC3Breath wholeA2Breath wholeG2 holdBreath ]
      4*[ wholeA2Breath wholeB2 holdBreath wholeC3Breath ]
      8*[ padFall3Breath wholeGs2Breath ]
      4*[ wholeA2Breath wholeB2 holdBreath wholeC3Breath ]
      4*[ wholeC3Breath wholeA2Breath wholeG2 holdBreath ]
      endC 3*rest)"),
    // 8: bright pad, the chords' fifths
    arrangement(patterns, R"(
      16*rest | lineE holdBreath wholeC3 holdBreath wholeG2 holdBreath wholeD3 holdBreath
                lineE holdBreath wholeC3 holdBreath wholeG2 holdBreath 2*rest
      8*[ lineE hold holdBreath wholeD3Breath ]
      8*[ wholeE3Breath wholeB2Breath ]
      4*[ wholeC3Breath wholeD3Breath lineE holdBreath ]
      4*[ lineE hold holdBreath wholeD3Breath ]
      4*[ lineE hold holdBreath wholeD3Breath ]
      4*[ wholeC3Breath wholeD3Breath lineE holdBreath ]
      8*[ wholeE3Breath wholeB2Breath ]
      4*[ wholeC3Breath wholeD3Breath lineE holdBreath ]
      4*[ lineE hold holdBreath wholeD3Breath ]
      endE 3*rest)"),
    // 9: wood
    arrangement(patterns, R"(
      12*rest 16*woodIntro 4*rest
      8*rest 7*woodGhost rest 8*rest 6*woodGhost 2*rest
      7*woodGhost rest 6*woodGhost 2*rest
      7*rest woodFill 8*rest
      8*rest 4*woodGhost 4*rest
      7*woodGhost 9*rest
      8*woodIntro 8*rest
      7*woodGhost rest 7*woodGhost rest
      12*woodGhost 4*rest
      15*woodGhost rest
      4*rest)"),
    // 10: tom
    arrangement(patterns, R"(
      27*rest tomFill 4*rest
      7*rest tomFill 7*rest tomFill 16*rest
      7*rest tomFill 7*rest tomFill
      8*rest 6*tomGroove 2*rest
      7*rest tomFill 8*rest
      7*rest tomFill 8*rest
      8*rest 6*tomGroove rest tomFill
      7*rest tomFill 7*rest fall
      16*rest
      15*rest tomFill
      4*rest)"),
    // 11: bell
    arrangement(patterns, R"(
      32*rest
      32*rest
      8*rest 7*offbeats rest
      7*rest bellTriplet 8*rest
      16*rest
      8*rest 7*offbeats rest
      8*rest 6*bellQuarter 2*rest
      16*rest
      16*rest
      16*offbeats
      4*rest)"),
    // 12: clap
    arrangement(patterns, R"(
      32*rest
      15*clap rest 14*clap 2*rest
      15*clap rest
      16*rest
      12*clap 4*rest
      15*clap rest
      8*clapFour 8*rest
      15*clap rest
      12*clap 4*rest
      16*backbeat
      4*rest)"),
    // 13: crash
    arrangement(patterns, R"(
      16*rest wholeC3 7*rest wholeC3 7*rest
      4*[ wholeC3 7*rest ]
      2*[ wholeC3 7*rest ]
      2*[ wholeC3 7*rest ]
      2*[ wholeC3 7*rest ]
      2*[ wholeC3 7*rest ]
      2*[ wholeC3 7*rest ]
      2*[ wholeC3 7*rest ]
      2*[ wholeC3 7*rest ]
      2*[ wholeC3 7*rest ]
      wholeC3 3*rest)"),
    // 14: arpeggio
    arrangement(patterns, R"(
      24*rest arpAm arpAm arpF arpF 3*rest arpRise
      4*[ arpAm arpF arpC arpG ] 16*rest
      8*[ arpFall arpE ]
      16*rest
      3*[ arpAm arpF arpC arpG ] 3*rest arpRise
      16*rest
      8*rest arpF arpG arpEm arpAm arpF arpG arpEm arpRise
      8*rest 4*[ arpFall arpE ]
      3*[ arpF arpG arpEm arpAm ] 3*rest arpRise
      2*[ arpAm arpF arpC arpG ] 2*[ arpAmHigh arpF arpC arpG ]
      4*rest)"),
};

}  // namespace song
