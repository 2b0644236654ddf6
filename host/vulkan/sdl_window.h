#pragma once
// The intro's one SDL window, shared by the SDL side (window, keys, boxes, audio) and the
// Vulkan side (surface, swap chain). Created by platform::createWindow with
// SDL_WINDOW_VULKAN | SDL_WINDOW_BORDERLESS at 0,0; null before that.
#include <cstdint>

struct SDL_Window;

SDL_Window* sdlWindow();

// For the preview player (intro-tool play), beyond what the intro needs.

// The window as a tool window: a frame with its title, centred on its screen.
void showSdlWindowFrame();

// Keys pressed (SDL key codes, auto-repeats included) since the last call, oldest first, at most
// max; the window's close button counts as Escape. Reads the window's events.
int takeSdlKeyPresses(std::int32_t* keys, int max);

// Whether the window was uncovered (its picture may be lost) since the last call.
bool takeSdlWindowExposed();

// The window's title (the player's status line).
void setSdlWindowTitle(const char* title);

// The refresh rate of the window's screen in frames per second; 60 when the screen does not say.
int sdlWindowRefreshRate();
