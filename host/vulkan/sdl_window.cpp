// The SDL side of the Linux back end: the window, message boxes, full screen, Escape and the end
// of the process.
#include "host/vulkan/sdl_window.h"

#include <SDL.h>
#include <unistd.h>

#include <cstdio>

#include "host/platform.h"

namespace {

struct WindowState {
  SDL_Window* window = nullptr;
  bool videoReady = false;
  bool escapeSeen = false;  // an Escape press since the last query
};
WindowState state;

// Runs inside SDL_PumpEvents for every event; remembers an Escape press even when the key is
// released again before the frame loop looks.
int watchEscape(void*, SDL_Event* event) {
  if (event->type == SDL_KEYDOWN && event->key.keysym.scancode == SDL_SCANCODE_ESCAPE) state.escapeSeen = true;
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
