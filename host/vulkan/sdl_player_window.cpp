// The preview player's window on SDL2 (player_backend.h): the intro's window with a frame and a
// title, and its keys turned into the player's own.
#include <SDL.h>

#include <algorithm>
#include <cstring>

#include "host/vulkan/sdl_window.h"
#include "player/player_backend.h"

namespace {

constexpr int keyQueueSize = 64;

struct PlayerWindowState {
  bool watching = false;
  // Key presses since the player last took them; the oldest are dropped when it falls behind.
  Key keys[keyQueueSize] = {};
  int keyCount = 0;
  bool exposed = false;  // uncovered since the player last looked
};
PlayerWindowState state;

void queueKey(Key key) {
  if (state.keyCount == keyQueueSize) {
    std::memmove(state.keys, state.keys + 1, sizeof state.keys - sizeof state.keys[0]);
    --state.keyCount;
  }
  state.keys[state.keyCount++] = key;
}

bool keyOf(SDL_Keycode code, Key& key) {
  switch (code) {
    case SDLK_SPACE: key = Key::space; return true;
    case SDLK_LEFT: key = Key::left; return true;
    case SDLK_RIGHT: key = Key::right; return true;
    case SDLK_PAGEUP: key = Key::pageUp; return true;
    case SDLK_PAGEDOWN: key = Key::pageDown; return true;
    case SDLK_HOME: key = Key::home; return true;
    case SDLK_COMMA: key = Key::comma; return true;
    case SDLK_PERIOD: key = Key::period; return true;
    case SDLK_ESCAPE: key = Key::escape; return true;
    default: return false;
  }
}

// Runs inside SDL_PumpEvents for every event, beside the intro's own watch.
int watchPlayerEvents(void*, SDL_Event* event) {
  Key key{};
  if (event->type == SDL_KEYDOWN) {
    if (keyOf(event->key.keysym.sym, key)) queueKey(key);
  } else if (event->type == SDL_QUIT) {
    queueKey(Key::escape);
  } else if (event->type == SDL_WINDOWEVENT && (event->window.event == SDL_WINDOWEVENT_EXPOSED ||
                                                event->window.event == SDL_WINDOWEVENT_SIZE_CHANGED)) {
    state.exposed = true;
  }
  return 0;
}

}  // namespace

namespace player_backend {

bool takeWindow() {
  SDL_Window* window = sdlWindow();
  if (window == nullptr) return false;
  SDL_SetWindowBordered(window, SDL_TRUE);
  SDL_SetWindowPosition(window, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
  SDL_ShowCursor(SDL_ENABLE);
  if (!state.watching) SDL_AddEventWatch(watchPlayerEvents, nullptr);
  state.watching = true;
  return true;
}

void setWindowTitle(const char* title) {
  if (sdlWindow() != nullptr) SDL_SetWindowTitle(sdlWindow(), title);
}

int windowRefreshRate() {
  SDL_DisplayMode mode{};
  if (sdlWindow() == nullptr || SDL_GetWindowDisplayMode(sdlWindow(), &mode) != 0 || mode.refresh_rate <= 0) return 60;
  return mode.refresh_rate;
}

int takeKeys(Key* keys, int max) {
  if (!state.watching) return 0;
  SDL_PumpEvents();
  // Nothing reads the queue; the watches have seen every event already.
  SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
  const int count = std::min(max, state.keyCount);
  std::copy(state.keys, state.keys + count, keys);
  std::copy(state.keys + count, state.keys + state.keyCount, state.keys);
  state.keyCount -= count;
  return count;
}

bool takeWindowExposed() {
  const bool exposed = state.exposed;
  state.exposed = false;
  return exposed;
}

}  // namespace player_backend
