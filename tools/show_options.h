#pragma once
// Options that several commands share because they name the same things: a moment of the show and
// the compiler its shaders go through. One message each, whatever the command.
#include <optional>
#include <string_view>

#include "tools/option_values.h"
#include "tools/vkd3d_route.h"

// A music time from 0 to the end of the song.
OptionTake takeMusicTime(std::string_view name, double& time);
// The same, rounded once to the float the shaders are given (frame's --t).
OptionTake takeMusicTime(std::string_view name, std::optional<float>& time);

// --compiler: glslang or vkd3d.
OptionTake takeShaderRoute(ShaderRoute& route);
