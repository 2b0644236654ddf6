#pragma once

// The intro's HLSL text, zero-terminated; shaderSourceLength excludes the terminator.
extern const char shaderSource[];
extern const unsigned shaderSourceLength;

// The files of shaders/ the text is joined from, in their order (names only, no folders).
extern const char* const shaderFileNames[];
extern const unsigned shaderFileCount;

// Entry points in compile order; index in this list + 1 is the pipeline index of the
// scenes, and "ZZ" (last) is pipeline 0.
inline constexpr const char* shaderEntryPoints[12] = {
    "Z1", "Z2", "Z3", "Z4", "Z5", "Z6", "Z7", "Z8", "Z9", "ZA", "ZB", "ZZ"};
