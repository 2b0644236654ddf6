// Looks at what an X server shows, for the window tests.
//
//   screen_probe wait X Y W H TIMEOUT_MS   waits until a pixel of the rectangle is not black;
//                                          prints the milliseconds it waited; exit 1 on timeout
//   screen_probe count X Y W H             prints how many pixels of the rectangle are not black
//                                          and how many distinct colours they have
//   screen_probe dump X Y W H FILE         writes the rectangle to FILE as raw RGB, 3 bytes a
//                                          pixel, row by row from the top
//
// The display comes from DISPLAY. The rectangle must lie on the screen.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <thread>

namespace {

struct Rect {
  int x, y, w, h;
};

struct Counts {
  long nonBlack = 0;
  long colours = 0;
};

bool grab(Display* display, const Rect& r, Counts& counts, bool countColours) {
  XImage* image = XGetImage(display, DefaultRootWindow(display), r.x, r.y, static_cast<unsigned>(r.w),
                            static_cast<unsigned>(r.h), AllPlanes, ZPixmap);
  if (image == nullptr) return false;
  std::set<unsigned long> seen;
  counts = {};
  for (int y = 0; y < r.h; ++y)
    for (int x = 0; x < r.w; ++x) {
      const unsigned long pixel = XGetPixel(image, x, y) & 0xffffffu;
      if (pixel != 0) ++counts.nonBlack;
      if (countColours && seen.size() < 100000) seen.insert(pixel);
    }
  counts.colours = static_cast<long>(seen.size());
  XDestroyImage(image);
  return true;
}

bool dump(Display* display, const Rect& r, const char* path) {
  XImage* image = XGetImage(display, DefaultRootWindow(display), r.x, r.y, static_cast<unsigned>(r.w),
                            static_cast<unsigned>(r.h), AllPlanes, ZPixmap);
  if (image == nullptr) return false;
  std::FILE* file = std::fopen(path, "wb");
  bool ok = file != nullptr;
  for (int y = 0; ok && y < r.h; ++y)
    for (int x = 0; ok && x < r.w; ++x) {
      const unsigned long pixel = XGetPixel(image, x, y);
      const unsigned char rgb[3] = {static_cast<unsigned char>(pixel >> 16), static_cast<unsigned char>(pixel >> 8),
                                    static_cast<unsigned char>(pixel)};
      ok = std::fwrite(rgb, 1, 3, file) == 3;
    }
  if (file != nullptr && std::fclose(file) != 0) ok = false;
  XDestroyImage(image);
  return ok;
}

int usage() {
  std::fprintf(stderr, "usage: screen_probe wait X Y W H TIMEOUT_MS | count X Y W H | dump X Y W H FILE\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 6) return usage();
  const bool wait = std::strcmp(argv[1], "wait") == 0;
  const bool dumping = std::strcmp(argv[1], "dump") == 0;
  if (!wait && !dumping && std::strcmp(argv[1], "count") != 0) return usage();
  if ((wait || dumping) && argc < 7) return usage();
  const Rect rect{std::atoi(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]), std::atoi(argv[5])};
  if (rect.w <= 0 || rect.h <= 0) return usage();

  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    std::fprintf(stderr, "screen_probe: cannot open the display\n");
    return 2;
  }
  if (dumping) {
    if (dump(display, rect, argv[6])) return 0;
    std::fprintf(stderr, "screen_probe: cannot read the screen or write %s\n", argv[6]);
    return 2;
  }
  Counts counts;
  if (!wait) {
    if (!grab(display, rect, counts, true)) {
      std::fprintf(stderr, "screen_probe: cannot read the screen\n");
      return 2;
    }
    std::printf("nonblack %ld colours %ld\n", counts.nonBlack, counts.colours);
    return 0;
  }

  const auto start = std::chrono::steady_clock::now();
  const auto limit = std::chrono::milliseconds(std::atoi(argv[6]));
  for (;;) {
    const auto now = std::chrono::steady_clock::now();
    if (grab(display, rect, counts, false) && counts.nonBlack > 0) {
      std::printf("%.0f\n", std::chrono::duration<double, std::milli>(now - start).count());
      return 0;
    }
    if (now - start > limit) return 1;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}
