#pragma once
// RGBA8 pictures to PNG files, shared by the tool's picture commands.
#include <cstdint>
#include <string>
#include <vector>

// Writes width x height RGBA8 pixels (row 0 at the top, alpha as stored) to path. False with a
// message in error; a file that could not be finished is removed.
bool writeRgbaPng(const std::string& path, const std::vector<std::uint8_t>& rgba, int width, int height,
                  std::string& error);
