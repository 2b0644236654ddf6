// Mirrors the helpers of shaders/frame.hlsl; a change to one meant to change the picture updates this file.
#pragma once
//
// The frame's types and helpers in C++ under the shader's own names, shared by the mirrors of the
// scenes beside this file. 32-bit float, as the shaders compute; the few forms that differ on
// purpose (double for the tests' own geometry, a saturate that keeps a NaN) say so in their names.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>

namespace reference {

inline constexpr float PI = 3.14159265358979f;  // acos(-1.) in float
inline constexpr float NAND = std::numeric_limits<float>::quiet_NaN();
inline constexpr float INFD = std::numeric_limits<float>::infinity();

struct float3 {
  float x = 0, y = 0, z = 0;
  float& operator[](int k) { return k == 0 ? x : (k == 1 ? y : z); }
  float operator[](int k) const { return k == 0 ? x : (k == 1 ? y : z); }
};
struct float4 {
  float x = 0, y = 0, z = 0, w = 0;
  float& operator[](int k) { return k == 0 ? x : (k == 1 ? y : (k == 2 ? z : w)); }
  float operator[](int k) const { return k == 0 ? x : (k == 1 ? y : (k == 2 ? z : w)); }
};
using double3 = std::array<double, 3>;

inline float3 operator+(float3 a, float3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline float3 operator-(float3 a, float3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline float3 operator*(float3 a, float s) { return {a.x * s, a.y * s, a.z * s}; }
inline float3 operator+(float3 a, float s) { return {a.x + s, a.y + s, a.z + s}; }
inline float dot(float3 a, float3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline float length(float3 a) { return std::sqrt(dot(a, a)); }
inline float3 normalize(float3 a) { return a * (1 / length(a)); }
inline float3 abs(float3 a) { return {std::abs(a.x), std::abs(a.y), std::abs(a.z)}; }
inline float frac(float v) { return v - std::floor(v); }
inline float lerp(float a, float b, float s) { return a + s * (b - a); }
inline float3 lerp(float3 a, float3 b, float s) { return {lerp(a.x, b.x, s), lerp(a.y, b.y, s), lerp(a.z, b.z, s)}; }
// NaN -> 0, as the shaders' saturate.
inline float saturate(float v) { return v > 1 ? 1 : (v > 0 ? v : 0); }
// std::clamp to [0, 1]: a NaN stays NaN. The ZA mirror's lighting terms use it, so that a NaN
// normal poisons the colour (stored 0) instead of adding nothing.
inline float clamp01(float v) { return std::clamp(v, 0.f, 1.f); }
inline float3 reflect(float3 i, float3 n) { return i - n * (2 * dot(n, i)); }
inline float3 refract(float3 i, float3 n, float eta) {
  float d = dot(n, i), k = 1 - eta * eta * (1 - d * d);
  return k < 0 ? float3{} : i * eta - n * (eta * d + std::sqrt(k));
}

inline float fmodD(float a, float b) { return a - b * std::trunc(a / b); }
inline float powD(float a, float b) {
  if (b == 2) return a * a;
  if (std::isnan(a) || std::isnan(b) || a < 0) return NAND;
  if (a == 0) return b > 0 ? 0 : (b < 0 ? INFD : NAND);
  return std::exp2(b * std::log2(a));
}
inline float3 powD3(float3 a, float3 b) { return {powD(a.x, b.x), powD(a.y, b.y), powD(a.z, b.z)}; }
// A scalar exponent widened to every component, as HLSL does.
inline float3 powD3(float3 a, float b) { return powD3(a, {b, b, b}); }
inline int signD(float a) { return (a > 0) - (a < 0); }

// W(p, a) on the pair (p1, p2): turns it by a from its first axis toward its second.
inline void turn(float& p1, float& p2, float a) {
  float c = std::cos(a), s = std::sin(a);
  float n1 = c * p1 - s * p2, n2 = c * p2 + s * p1;
  p1 = n1;
  p2 = n2;
}
// The same turn in double, for the tests' own geometry (cameras, expected distances).
inline void turn(double& p1, double& p2, double a) {
  double q1 = p1 * std::cos(a) - p2 * std::sin(a);
  double q2 = p2 * std::cos(a) + p1 * std::sin(a);
  p1 = q1;
  p2 = q2;
}

// The frame's shape macros.
inline float S(float a, float b, float c) { return -std::log(std::exp(-c * a) + std::exp(-c * b)) / c; }
inline float C(float3 p, float3 a) {
  return std::max(std::max(std::abs(p.x) - a.x, std::abs(p.y) - a.y), std::abs(p.z) - a.z);
}
inline float H(float3 p, float a, float b) {
  return std::max(std::max(std::abs(p.x) + std::abs(p.y) * .5f, std::abs(p.y)) - a, std::abs(p.z) - b);
}

// The palette V(a, b, c): hue a, whiteness b, intensity c.
inline float3 V(float a, float b, float c) {
  auto ch = [&](float k) { return lerp(saturate(std::abs(frac(a + k / 3) * 6 - 3) - 1), 1, b) * c; };
  return {ch(1), ch(2), ch(3)};
}
// The palette in double, for expected colours free of float rounding.
inline double3 Vdouble(double a, double b, double c) {
  double3 out{};
  for (int k = 0; k < 3; ++k) {
    double f = a + (k + 1) / 3.0;
    f -= std::floor(f);
    double v = std::clamp(std::abs(f * 6 - 3) - 1, 0.0, 1.0);
    out[k] = (v + (1 - v) * b) * c;
  }
  return out;
}

// Value noise N and fractal noise O.
inline float N(float3 p) {
  float3 c{std::floor(p.x), std::floor(p.y), std::floor(p.z)};
  float3 b{std::cos((p.x - c.x) * PI) * -.5f + .5f, std::cos((p.y - c.y) * PI) * -.5f + .5f,
           std::cos((p.z - c.z) * PI) * -.5f + .5f};
  float n = c.x + c.y * 57 + c.z * 21;
  float a[4] = {n, n + 57, n + 21, n + 78};
  for (float& m : a) m = lerp(std::sin(std::cos(m) * m), std::sin(std::cos(1 + m) * (1 + m)), b.x);
  return lerp(lerp(a[0], a[1], b.y), lerp(a[2], a[3], b.y), b.z);
}
inline float O(float3 p) {
  float s = 0, m = 1;
  for (int k = 0; k < 3; ++k, p = p * 2, m /= 2) s += (N(p) + 1) * m;
  return saturate(s / 4);
}

// The 8-bit store of storeW: NaN -> 0, saturated, rounded.
inline int unorm8(float v) { return std::isnan(v) ? 0 : static_cast<int>(std::lround(saturate(v) * 255)); }
inline std::array<int, 3> unorm8(float3 c) { return {unorm8(c.x), unorm8(c.y), unorm8(c.z)}; }

// The parameters b0 (e, e2, e3, t, x, y) and a march's statics: D starts at 9 in every component.
struct Params {
  float e = 0, e2 = 0, e3 = 0, t = 0, x = 0, y = 0;
};
struct State {
  Params q;
  float4 D{9, 9, 9, 9};
};
// The nearest of D.x, D.y and D.z, by index (a tie goes to the later one).
inline int threeWay(const State& s) { return s.D[0] < s.D[1] && s.D[0] < s.D[2] ? 0 : (s.D[1] < s.D[2] ? 1 : 2); }
// The normal the scenes take at a hit: one-sided differences of the distance m, times the side f.
inline float3 normalOf(State& s, float (*m)(State&, float3), float3 p, float h, int f) {
  float3 g{m(s, p + float3{h, 0, 0}), m(s, p + float3{0, h, 0}), m(s, p + float3{0, 0, h})};
  return normalize(g + -m(s, p)) * float(f);
}

// A text texture (T1..T5) as the mirrors read it.
struct Text {
  int width = 0;
  int height = 0;
  const std::uint8_t* rgba = nullptr;
  bool inked(int x, int y) const { return rgba[(static_cast<std::size_t>(y) * width + x) * 4] != 0; }
};
// LOADT's first channel: truncation toward zero, 0 outside.
inline float texel(const Text& text, float px, float py) {
  if (!(px > -1 && py > -1 && px < text.width && py < text.height)) return 0;
  return text.inked(static_cast<int>(px), static_cast<int>(py)) ? 1.f : 0.f;
}

}  // namespace reference
