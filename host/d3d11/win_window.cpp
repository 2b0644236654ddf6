// The Win32 side of the Windows back end: the borderless window, the message boxes, the message
// pump, Escape and the end of the process.
#include <cstdio>

#include "host/d3d11/win_host.h"
#include "host/platform.h"

WinHost winHost;

namespace {

// The window is an "edit" control (no class of our own). Its own procedure would draw its text
// area and caret over the picture and type every key into itself once messages are dispatched, so
// the window gets the system's default handling instead; only a request to close is noted.
LRESULT CALLBACK introWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CLOSE) {
    winHost.closeRequested = true;
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

void pumpMessages() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      winHost.closeRequested = true;
      continue;
    }
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

namespace platform {

void showUsage(const char* caption, const char* text) {
  std::fprintf(stderr, "%s\n\n%s\n", caption, text);
  MessageBoxA(nullptr, text, caption, MB_OK);
}

void createWindow(int width, int height) {
  winHost.resolutionX = width;
  winHost.resolutionY = height;
  winHost.mainWindow = CreateWindowExA(0, "edit", nullptr, WS_POPUP | WS_VISIBLE, 0, 0, width, height, nullptr,
                                       nullptr, nullptr, nullptr);
  if (winHost.mainWindow != nullptr) {
    SetWindowLongPtrA(winHost.mainWindow, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&introWindowProcedure));
    // The edit control made a caret when it took the focus; the picture has none.
    DestroyCaret();
  }
  winHost.swapChainDesc.BufferDesc.Width = static_cast<UINT>(width);
  winHost.swapChainDesc.BufferDesc.Height = static_cast<UINT>(height);
  ShowCursor(FALSE);
  winHost.swapChainDesc.Windowed = TRUE;
  winHost.swapChainDesc.OutputWindow = winHost.mainWindow;
}

void showError(const char* caption, const char* text) {
  std::fprintf(stderr, "%s: %s\n", caption, text);
  MessageBoxA(winHost.mainWindow, text, caption, MB_OK);
}

bool escapePressed() {
  // Any nonzero state counts: down now, or pressed since the previous query.
  return GetAsyncKeyState(VK_ESCAPE) != 0 || winHost.closeRequested;
}

void exitProcess(int code) {
  std::fflush(nullptr);
  // At once: the render thread, the wave-out device and the GPU objects are left as they are.
  ExitProcess(static_cast<UINT>(code));
}

}  // namespace platform
