#pragma once
// RGBA8 pictures to PNG files, shared by the tool's picture commands.
#include <cstdint>
#include <string>
#include <vector>

// Writes width x height RGBA8 pixels (row 0 at the top, alpha as stored) to path. False with a
// message in error that names shownAs (the user's file when path is its temporary).
bool writeRgbaPng(const std::string& path, const std::vector<std::uint8_t>& rgba, int width, int height,
                  const std::string& shownAs, std::string& error);
