#include "tools/show_options.h"

#include <cstdio>
#include <string>

#include "host/music_time.h"

namespace {

std::string musicTimeRefused(std::string_view name, std::string_view value) {
  char range[48];
  std::snprintf(range, sizeof range, " wants a music time from 0 to %g, not ", lastMusicTime);
  return std::string(name) + range + quotedValue(value);
}

}  // namespace

OptionTake takeMusicTime(std::string_view name, double& time) {
  return [name, &time](std::string_view value) {
    const std::optional<double> t = parseDecimal(value);
    if (!t || *t < 0.0 || *t > lastMusicTime) return musicTimeRefused(name, value);
    time = *t;
    return std::string();
  };
}

OptionTake takeMusicTime(std::string_view name, std::optional<float>& time) {
  return [name, &time](std::string_view value) {
    const std::optional<float> t = parseDecimalFloat(value);
    if (!t || *t < 0.0f || *t > lastMusicTime) return musicTimeRefused(name, value);
    time = *t;
    return std::string();
  };
}

OptionTake takeShaderRoute(ShaderRoute& route) {
  return [&route](std::string_view value) {
    if (parseShaderRoute(std::string(value), route)) return std::string();
    return "--compiler wants glslang or vkd3d, not " + quotedValue(value);
  };
}
