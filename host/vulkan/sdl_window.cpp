// The SDL side of the Linux back end: the window, message boxes, full screen, Escape and the end
// of the process.
#include "host/vulkan/sdl_window.h"

#include <SDL.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <iterator>

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

// The usage box's process group while the box is open, 0 otherwise.
volatile sig_atomic_t usageBoxGroup = 0;

constexpr int endingSignals[] = {SIGINT, SIGTERM, SIGHUP};

// A signal that ends the intro while its usage box is open takes the box along, then ends the
// intro as it would have without the box.
void endWithUsageBox(int signal) {
  if (usageBoxGroup > 0) ::kill(-static_cast<pid_t>(usageBoxGroup), SIGKILL);
  ::signal(signal, SIG_DFL);
  ::raise(signal);  // delivered when this handler returns
}

}  // namespace

SDL_Window* sdlWindow() { return state.window; }

namespace platform {

void showUsage(const char* caption, const char* text) {
  std::fprintf(stderr, "%s\n\n%s\n", caption, text);
  std::fflush(nullptr);
  // Shown only where there is a display; the box needs no initialised video subsystem. SDL shows
  // it from a process of its own, which a signal that ends the intro would leave on the screen:
  // so the box is opened from a child in a process group of its own, which such a signal ends
  // first. Signals the intro was started to ignore stay ignored.
  sigset_t ending;
  sigset_t before;
  sigemptyset(&ending);
  for (int signal : endingSignals) sigaddset(&ending, signal);
  sigprocmask(SIG_BLOCK, &ending, &before);
  const pid_t box = ::fork();
  if (box == 0) {
    ::setpgid(0, 0);
    sigprocmask(SIG_SETMASK, &before, nullptr);
    SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_INFORMATION, caption, text, nullptr);
    _exit(0);
  }
  if (box < 0) {
    sigprocmask(SIG_SETMASK, &before, nullptr);
    SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_INFORMATION, caption, text, nullptr);
    return;
  }
  ::setpgid(box, box);
  usageBoxGroup = box;
  struct sigaction previous[std::size(endingSignals)] = {};
  for (std::size_t i = 0; i < std::size(endingSignals); ++i) {
    sigaction(endingSignals[i], nullptr, &previous[i]);
    if (previous[i].sa_handler == SIG_IGN) continue;
    struct sigaction action {};
    action.sa_handler = endWithUsageBox;
    sigemptyset(&action.sa_mask);
    sigaction(endingSignals[i], &action, nullptr);
  }
  sigprocmask(SIG_SETMASK, &before, nullptr);
  while (::waitpid(box, nullptr, 0) < 0 && errno == EINTR) {
  }
  sigprocmask(SIG_BLOCK, &ending, nullptr);
  for (std::size_t i = 0; i < std::size(endingSignals); ++i) sigaction(endingSignals[i], &previous[i], nullptr);
  usageBoxGroup = 0;
  sigprocmask(SIG_SETMASK, &before, nullptr);
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
