#pragma once
// The player's keys: the few a back end reports (its own key codes stay in the back end), and
// what each one does.

// A key pressed in the player's window; other keys are not reported.
enum class Key {
  space,
  left,
  right,
  pageUp,
  pageDown,
  home,
  comma,
  period,
  escape,  // also the window's close button
};

enum class PlayKey {
  none,
  pause,          // Space: pause or resume
  patternBack,    // Left: one pattern (2.5 in t) back
  patternAhead,   // Right: one pattern ahead
  previousScene,  // Page Up: the start of the scene before this one
  nextScene,      // Page Down: the start of the next scene
  home,           // Home: back to 0
  frameBack,      // comma: one frame back (while paused)
  frameAhead,     // period: one frame ahead (while paused)
  quit,           // Escape, or the window closed
};

constexpr PlayKey playKeyOf(Key key) {
  switch (key) {
    case Key::space: return PlayKey::pause;
    case Key::left: return PlayKey::patternBack;
    case Key::right: return PlayKey::patternAhead;
    case Key::pageUp: return PlayKey::previousScene;
    case Key::pageDown: return PlayKey::nextScene;
    case Key::home: return PlayKey::home;
    case Key::comma: return PlayKey::frameBack;
    case Key::period: return PlayKey::frameAhead;
    case Key::escape: return PlayKey::quit;
  }
  return PlayKey::none;
}
