// The SDL side of the Linux back end: the window, message boxes, full screen, Escape and the end
// of the process.
#include "sdl_window.h"

#include <SDL.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform.h"

namespace {

constexpr int keyQueueSize = 64;

struct WindowState {
  SDL_Window* window = nullptr;
  bool videoReady = false;
  bool escapeSeen = false;  // an Escape press since the last query
  // Key presses since the player last took them; the oldest are dropped when it falls behind.
  std::int32_t keys[keyQueueSize] = {};
  int keyCount = 0;
  bool exposed = false;  // uncovered since the player last looked
};
WindowState state;

void queueKey(std::int32_t key) {
  if (state.keyCount == keyQueueSize) {
    std::memmove(state.keys, state.keys + 1, sizeof state.keys - sizeof state.keys[0]);
    --state.keyCount;
  }
  state.keys[state.keyCount++] = key;
}

// Runs inside SDL_PumpEvents for every event; remembers an Escape press even when the key is
// released again before the frame loop looks.
int watchEscape(void*, SDL_Event* event) {
  if (event->type == SDL_KEYDOWN) {
    if (event->key.keysym.scancode == SDL_SCANCODE_ESCAPE) state.escapeSeen = true;
    queueKey(event->key.keysym.sym);
  } else if (event->type == SDL_QUIT) {
    queueKey(SDLK_ESCAPE);
  } else if (event->type == SDL_WINDOWEVENT && (event->window.event == SDL_WINDOWEVENT_EXPOSED ||
                                                event->window.event == SDL_WINDOWEVENT_SIZE_CHANGED)) {
    state.exposed = true;
  }
  return 0;
}

bool initVideo() {
  if (state.videoReady) return true;
  // Interrupt and terminate signals end the process as usual instead of queueing a quit event.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    std::fprintf(stderr, "intro: no display: %s\n", SDL_GetError());
    return false;
  }
  SDL_AddEventWatch(watchEscape, nullptr);
  state.videoReady = true;
  return true;
}

}  // namespace

SDL_Window* sdlWindow() { return state.window; }

void showSdlWindowFrame() {
  if (state.window == nullptr) return;
  SDL_SetWindowBordered(state.window, SDL_TRUE);
  SDL_SetWindowPosition(state.window, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
  SDL_ShowCursor(SDL_ENABLE);
}

int takeSdlKeyPresses(std::int32_t* keys, int max) {
  if (!state.videoReady) return 0;
  SDL_PumpEvents();
  SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
  const int count = std::min(max, state.keyCount);
  std::memcpy(keys, state.keys, sizeof(std::int32_t) * static_cast<std::size_t>(count));
  std::memmove(state.keys, state.keys + count, sizeof(std::int32_t) * static_cast<std::size_t>(state.keyCount - count));
  state.keyCount -= count;
  state.escapeSeen = false;
  return count;
}

int sdlWindowRefreshRate() {
  SDL_DisplayMode mode{};
  if (state.window == nullptr || SDL_GetWindowDisplayMode(state.window, &mode) != 0 || mode.refresh_rate <= 0) return 60;
  return mode.refresh_rate;
}

bool takeSdlWindowExposed() {
  const bool exposed = state.exposed;
  state.exposed = false;
  return exposed;
}

void setSdlWindowTitle(const char* title) {
  if (state.window != nullptr) SDL_SetWindowTitle(state.window, title);
}

namespace platform {

void showUsage(const char* caption, const char* text) {
  std::fprintf(stderr, "%s\n\n%s\n", caption, text);
  // Shown only where there is a display; the box needs no initialised video subsystem.
  SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_INFORMATION, caption, text, nullptr);
}

void createWindow(int width, int height) {
  if (!initVideo()) return;
  state.window = SDL_CreateWindow("intro", 0, 0, width, height, SDL_WINDOW_VULKAN | SDL_WINDOW_BORDERLESS);
  if (state.window == nullptr) {
    std::fprintf(stderr, "intro: cannot create a %dx%d window: %s\n", width, height, SDL_GetError());
    return;
  }
  // The intro takes the keyboard (Escape) from the start.
  SDL_RaiseWindow(state.window);
  SDL_ShowCursor(SDL_DISABLE);
}

void showError(const char* caption, const char* text) {
  std::fprintf(stderr, "%s: %s\n", caption, text);
  SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, caption, text, state.window);
}

void setFullscreen() {
  // Desktop full screen keeps the screen's own mode: the process ends without undoing anything,
  // and a changed video mode would outlive it on X11. The Vulkan side follows the new window size.
  if (state.window != nullptr) SDL_SetWindowFullscreen(state.window, SDL_WINDOW_FULLSCREEN_DESKTOP);
}

bool escapePressed() {
  if (!state.videoReady) return false;
  SDL_PumpEvents();
  // Nothing reads the queue; the watch has seen every event already.
  SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
  const Uint8* keys = SDL_GetKeyboardState(nullptr);
  const bool pressed = state.escapeSeen || keys[SDL_SCANCODE_ESCAPE] != 0;
  state.escapeSeen = false;
  return pressed;
}

void exitProcess(int code) {
  std::fflush(nullptr);
  // At once: the render thread, the audio device and the GPU objects are left as they are.
  _exit(code);
}

}  // namespace platform
