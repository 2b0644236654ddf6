#pragma once
// Option values of intro-tool frame, capture and sheet.
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <optional>

// A finite decimal number, the whole of text.
inline std::optional<double> parseNumber(const char* text) {
  if (text == nullptr || *text == '\0') return std::nullopt;
  char* end = nullptr;
  errno = 0;
  const double value = std::strtod(text, &end);
  if (end == text || *end != '\0' || errno == ERANGE || !std::isfinite(value)) return std::nullopt;
  return value;
}

// A whole number from 1 to largest, digits only.
inline std::optional<int> parseCount(const char* text, int largest) {
  if (text == nullptr || *text == '\0' || std::strlen(text) > 6) return std::nullopt;
  int value = 0;
  for (const char* c = text; *c != '\0'; ++c) {
    if (*c < '0' || *c > '9') return std::nullopt;
    value = value * 10 + (*c - '0');
  }
  if (value < 1 || value > largest) return std::nullopt;
  return value;
}

// WIDTHxHEIGHT, each side 1 to largest.
inline bool parseSize(const char* text, int largest, int& width, int& height) {
  const char* x = text != nullptr ? std::strchr(text, 'x') : nullptr;
  if (x == nullptr || x == text || std::strlen(x) > 7 || x - text > 6) return false;
  char left[8] = {};
  std::memcpy(left, text, static_cast<std::size_t>(x - text));
  const std::optional<int> w = parseCount(left, largest);
  const std::optional<int> h = parseCount(x + 1, largest);
  if (!w || !h) return false;
  width = *w;
  height = *h;
  return true;
}
