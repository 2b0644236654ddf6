#include "tools/png_file.h"

#include <png.h>

#include <cstdio>

bool writeRgbaPng(const std::string& path, const std::vector<std::uint8_t>& rgba, int width, int height,
                  const std::string& shownAs, std::string& error) {
  if (width <= 0 || height <= 0 ||
      rgba.size() != static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4) {
    error = "picture of the wrong size for " + shownAs;
    return false;
  }
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(width);
  image.height = static_cast<png_uint_32>(height);
  image.format = PNG_FORMAT_RGBA;
  if (png_image_write_to_file(&image, path.c_str(), 0, rgba.data(), 0, nullptr) == 0) {
    error = "cannot write " + shownAs + ": " + image.message;
    png_image_free(&image);
    return false;  // the caller's PendingOutput removes its temporary
  }
  return true;
}
