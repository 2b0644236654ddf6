#pragma once
// The intro's one SDL window, shared by the SDL side (window, keys, boxes, audio), the Vulkan
// side (surface, swap chain) and the preview player's back end. Created by platform::createWindow
// with SDL_WINDOW_VULKAN | SDL_WINDOW_BORDERLESS at 0,0; null before that.
struct SDL_Window;

SDL_Window* sdlWindow();
