// Scenes Z3 (corridor), Z4 (ribbed glass tunnel), Z5 (tiled cylinder) and Z6 (tiled hall) on the
// software Vulkan driver, at small sizes, with the validation layer on. Only the scene pass runs
// (no final pass), so the pixels are exactly what the scene stores.
//
// Where a test needs a ray that meets nothing, it traces the primary rays as straight lines on the
// CPU and takes the pixel whose ray keeps the widest berth from every surface of the scene.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "gpu_fixture.h"

namespace {

constexpr int sizeX = 80;
constexpr int sizeY = 45;

using gpu_test::Picture;
using Colour = std::array<double, 3>;

struct Pixel {
  int x = 0;
  int y = 0;
};

// The palette of the shader text: hue a, whiteness b, intensity c.
Colour palette(double a, double b, double c) {
  Colour out{};
  for (int k = 0; k < 3; ++k) {
    double f = a + (k + 1) / 3.0;
    f -= std::floor(f);
    double v = std::clamp(std::abs(f * 6 - 3) - 1, 0.0, 1.0);
    out[k] = (v + (1 - v) * b) * c;
  }
  return out;
}

// Turns the pair (p1, p2) by the angle a from its first axis toward its second.
void turn(double& p1, double& p2, double a) {
  double q1 = p1 * std::cos(a) - p2 * std::sin(a);
  double q2 = p2 * std::cos(a) + p1 * std::sin(a);
  p1 = q1;
  p2 = q2;
}

using Vec = std::array<double, 3>;

// A scene's camera: origin, the turns of the primary ray in order (plane 0 xz, 1 yz, 2 xy) and
// whether the scene negates u.y.
struct Camera {
  Vec origin{};
  std::vector<std::pair<int, double>> turns;
  bool upIsPositiveY = false;
};

// Unit direction of the primary ray of pixel p, as the scenes compute it.
Vec rayOf(const Camera& camera, Pixel p) {
  double ux = double(p.x) / sizeX - .5, uy = double(p.y) / sizeY - .5;
  Vec r{ux / (double(sizeY) / sizeX), camera.upIsPositiveY ? -uy : uy, 1};
  for (auto [plane, angle] : camera.turns) {
    if (plane == 0) turn(r[0], r[2], angle);
    if (plane == 1) turn(r[1], r[2], angle);
    if (plane == 2) turn(r[0], r[1], angle);
  }
  double n = std::hypot(r[0], r[1], r[2]);
  return {r[0] / n, r[1] / n, r[2] / n};
}

// The pixel whose straight ray keeps the largest clearance over its first `length` units, by
// the scene's clearance at a point (positive in open space, a lower bound of the distance to
// any surface). Returns the pixel and that clearance.
template <typename Clearance>
std::pair<Pixel, double> clearestPixel(const Camera& camera, double length, double step,
                                       Clearance clearance) {
  std::pair<Pixel, double> best{{0, 0}, -1e30};
  for (int y = 0; y < sizeY; ++y)
    for (int x = 0; x < sizeX; ++x) {
      Vec r = rayOf(camera, {x, y});
      double least = 1e30;
      for (double s = 0; s <= length && least > best.second; s += step) {
        Vec q{camera.origin[0] + r[0] * s, camera.origin[1] + r[1] * s, camera.origin[2] + r[2] * s};
        least = std::min(least, clearance(q));
      }
      if (least > best.second) best = {{x, y}, least};
    }
  return best;
}

std::array<int, 3> at(const Picture& picture, Pixel p) {
  std::size_t i = (std::size_t(p.y) * sizeX + p.x) * 4;
  return {picture[i], picture[i + 1], picture[i + 2]};
}

// The store's quantisation of a colour channel after the gamma step pow(c, .45).
double stored(double c) { return 255 * std::pow(std::clamp(c, 0.0, 1.0), .45); }

class ScenesZ3ToZ6 : public gpu_test::GpuTest {
 protected:
  ScenesZ3ToZ6() : GpuTest(sizeX, sizeY) {}

  // scene: 3..6, which is also its pipeline index.
  Picture render(int scene, float t, float e = 0, float e2 = 0, float e3 = 0) {
    return this->scene(scene, t, e, e2, e3);
  }
};

// Z3: a ray that escapes down the corridor to the distance limit 222 shows the haze alone:
// pow(.75 V(.2, .5, .7) / exp((1 - z/222) 2) / 3, .45), with z (the start of the last step) at
// least 222 and at most one step (under 10 units here) beyond it. The camera's e is chosen so
// that it is near the corridor's centre line with the ball out of the way; the ray tested is
// the one that keeps the widest berth from walls, light bars and ball.
TEST_F(ScenesZ3ToZ6, Z3EscapingRayShowsTheHazeTeal) {
  Colour haze = palette(.2, .5, .7);
  EXPECT_NEAR(haze[0], .35, 1e-6);
  EXPECT_NEAR(haze[1], .7, 1e-6);
  EXPECT_NEAR(haze[2], .63, 1e-6);
  for (double t : {170.0, 190.0}) {
    double e = 0;
    Vec ball{};
    for (; e < 4; e += .001) {
      ball = {3 * std::cos(t + e * 1.3), std::abs(5 * std::sin(t * 3 + e * 1.7)) - 4.5,
              t * 6 + e * 99 + 77 + 66 * std::sin(t * .5 + e * 1.5)};
      double cx = 4 * std::sin(t * .17 + e * 13), cy = 3 * std::cos(t * .13 + e * 9);
      if (std::abs(cx) < 1 && std::abs(cy) < 1 && std::hypot(ball[0] - cx, ball[1] - cy) > 4) break;
    }
    ASSERT_LT(e, 4) << "no clear camera at t " << t;
    Camera camera{{4 * std::sin(t * .17 + e * 13), 3 * std::cos(t * .13 + e * 9), t * 6 + e * 99},
                  {{0, .6 * std::sin(t * .43 + e * 1.7)}, {1, .2 * std::cos(t * .57 + e * 1.3)}},
                  true};
    auto [p, clearance] = clearestPixel(camera, 232, .25, [&](const Vec& q) {
      double ballGap = std::hypot(q[0] - ball[0], q[1] - ball[1], q[2] - ball[2]) - 1 / .7;
      return std::min({5 - std::abs(q[0]), 4.5 - std::abs(q[1]), ballGap});
    });
    ASSERT_GT(clearance, 1.5) << "t " << t << " e " << e;
    Picture picture = render(3, float(t), float(e));
    std::array<int, 3> got = at(picture, p);
    for (int k = 0; k < 3; ++k) {
      double low = stored(.75 * haze[k] / 3);
      double high = stored(.75 * haze[k] * std::exp(2 * (232.0 / 222 - 1)) / 3);
      EXPECT_GE(got[k], std::floor(low) - 1) << "t " << t << " channel " << k;
      EXPECT_LE(got[k], std::ceil(high) + 1) << "t " << t << " channel " << k;
    }
    // The rest of the picture is the corridor, not a flat fill.
    std::set<std::array<int, 3>> colours;
    for (int y = 0; y < sizeY; ++y)
      for (int x = 0; x < sizeX; ++x) colours.insert(at(picture, {x, y}));
    EXPECT_GT(colours.size(), 200u) << "t " << t;
  }
}

// Z3: e3 only strengthens the glow term, so no pixel gets darker and the lit ones get brighter.
TEST_F(ScenesZ3ToZ6, Z3FlashOnlyBrightens) {
  Picture calm = render(3, 185, 0, 0, 0), flash = render(3, 185, 0, 0, 1);
  int brighter = 0;
  for (std::size_t i = 0; i < calm.size(); ++i) {
    if (i % 4 == 3) continue;
    ASSERT_GE(flash[i] + 1, calm[i]) << "byte " << i;
    brighter += flash[i] > calm[i] + 2;
  }
  EXPECT_GT(brighter, int(calm.size() / 8));
}

// Z4: e2 adds to the triangles' base colour only (the geometry does not depend on it).
TEST_F(ScenesZ3ToZ6, Z4FlashWhitensWithoutDarkening) {
  Picture calm = render(4, 215, 0, 0, 0), flash = render(4, 215, 0, 1, 0);
  int brighter = 0;
  for (std::size_t i = 0; i < calm.size(); ++i) {
    if (i % 4 == 3) continue;
    ASSERT_GE(flash[i] + 1, calm[i]) << "byte " << i;
    brighter += flash[i] > calm[i] + 8;
  }
  EXPECT_GT(brighter, 20);
}

// Z5: the camera circles at radius 6, outside the bars (at most 5.9 from the axis) and inside
// the tiles (at least 8.25), so a ray that stays between those radii for the 99 units of the
// march meets nothing: its colour, multiplied by the glow sum, is black. Most of the picture is
// not.
TEST_F(ScenesZ3ToZ6, Z5RayThatHitsNothingIsBlack) {
  for (double t : {245.0, 265.0, 279.0}) {
    Camera camera{{6 * std::cos(t * .5), 6 * std::sin(t * .5), t * 9},
                  {{0, .3 * std::sin(t * .4)}, {1, .3 * std::cos(t * .3)}, {2, t * .5}},
                  false};
    auto [p, clearance] = clearestPixel(camera, 143, .25, [](const Vec& q) {
      double radius = std::hypot(q[0], q[1]);
      return std::min(radius - 5.9, 8.25 - radius);
    });
    ASSERT_GT(clearance, .02) << "t " << t;
    Picture picture = render(5, float(t));
    std::array<int, 3> got = at(picture, p);
    EXPECT_EQ(got, (std::array<int, 3>{0, 0, 0})) << "t " << t;
    int lit = 0;
    for (std::size_t i = 0; i < picture.size(); i += 4) lit += picture[i] + picture[i + 1] + picture[i + 2] > 0;
    EXPECT_GT(lit, sizeX * sizeY * 3 / 4) << "t " << t;
  }
}

// Z5: tile colours are V(k .09 - .6, .1, 22) for k = 0..5. The tone steps act on each channel
// alone (c -> pow(.2 c + .8 c^9, .45), monotone), so undoing them recovers the linear colour up
// to a common factor. At e2 = 0 the tiles fill most of the picture: every one of the six hues
// must show up, and together they must account for a large share of the well-exposed pixels.
TEST_F(ScenesZ3ToZ6, Z5TileColoursComeFromTheSixHues) {
  std::array<Colour, 6> hues{};
  for (int k = 0; k < 6; ++k) {
    Colour c = palette(k * .09 - .6, .1, 1);
    double m = std::max({c[0], c[1], c[2]});
    for (double& v : c) v /= m;
    hues[k] = c;
  }
  // Spot checks of the palette: yellow-green first, magenta last.
  EXPECT_NEAR(hues[0][1], 1, 1e-9);
  EXPECT_NEAR(hues[0][2], .1, 1e-9);
  EXPECT_NEAR(hues[5][2], 1, 1e-9);
  EXPECT_NEAR(hues[5][1], .1, 1e-9);

  auto linear = [](int s) {
    double target = std::pow(s / 255.0, 1 / .45), low = 0, high = 1.2;
    for (int k = 0; k < 40; ++k) {
      double m = (low + high) / 2;
      (.2 * m + .8 * std::pow(m, 9) < target ? low : high) = m;
    }
    return (low + high) / 2;
  };
  for (float t : {250.f, 279.f}) {
    Picture picture = render(5, t);
    int exposed = 0, matched = 0;
    std::array<int, 6> perHue{};
    for (int y = 0; y < sizeY; ++y)
      for (int x = 0; x < sizeX; ++x) {
        std::array<int, 3> s = at(picture, {x, y});
        int top = std::max({s[0], s[1], s[2]});
        if (top < 40 || top > 250) continue;
        ++exposed;
        Colour c{linear(s[0]), linear(s[1]), linear(s[2])};
        double m = std::max({c[0], c[1], c[2]});
        for (double& v : c) v /= m;
        for (int k = 0; k < 6; ++k) {
          double d = std::hypot(c[0] - hues[k][0], c[1] - hues[k][1], c[2] - hues[k][2]);
          if (d < .1) {
            ++matched;
            ++perHue[k];
            break;
          }
        }
      }
    ASSERT_GT(exposed, sizeX * sizeY / 6) << "t " << t;
    EXPECT_GT(matched, exposed / 4) << "t " << t;
    for (int k = 0; k < 6; ++k) EXPECT_GE(perHue[k], exposed / 200 + 1) << "t " << t << " hue " << k;
  }
}

// Z6: a ray that runs along the hall, well clear of tiles (their tops at least 36.3 from the
// middle) and columns, meets nothing and stops once z reaches 1666, within one step (at most
// about 60 units) beyond it. With no colour gathered, the fog step gives the fog colour
// V(t .1, .2, .1) times (z/1666)^3, then contrast: c/2 + c^9/2.
TEST_F(ScenesZ3ToZ6, Z6FarEndOfTheHallShowsTheFog) {
  for (double t : {285.0, 300.0, 315.0}) {
    Camera camera{{66 * std::cos(t * .4), 15 * std::sin(t * .3), t * 66},
                  {{0, .5 * std::sin(t * .4)}, {1, .3 * std::cos(t * .3)}, {2, .5 * std::cos(t * .4)}},
                  false};
    auto [p, clearance] = clearestPixel(camera, 1726, 2, [](const Vec& q) {
      return std::min(36.3 - std::abs(q[1]), .6 * (84 - std::abs(q[0])));
    });
    ASSERT_GT(clearance, 12) << "t " << t;
    Picture picture = render(6, float(t));
    std::array<int, 3> got = at(picture, p);
    Colour fog = palette(t * .1, .2, .1);
    for (int k = 0; k < 3; ++k) {
      auto toned = [&](double weight) {
        double c = fog[k] * weight;
        return stored(.5 * c + .5 * std::pow(c, 9));
      };
      EXPECT_GE(got[k], std::floor(toned(1)) - 1) << "t " << t << " channel " << k;
      EXPECT_LE(got[k], std::ceil(toned(std::pow(1726.0 / 1666, 3))) + 1) << "t " << t << " channel " << k;
    }
  }
}

TEST_F(ScenesZ3ToZ6, SameFrameTwiceGivesTheSameBytes) {
  const std::array<std::array<float, 5>, 4> frames{{{3, 187.5f, 3.25f, .5f, .75f},
                                                     {4, 231, 7.5f, .25f, 0},
                                                     {5, 266, 11, .6f, 0},
                                                     {6, 305.5f, 13.5f, 1, 0}}};
  for (const auto& f : frames) {
    Picture first = render(int(f[0]), f[1], f[2], f[3], f[4]);
    Picture second = render(int(f[0]), f[1], f[2], f[3], f[4]);
    ASSERT_EQ(first.size(), std::size_t(sizeX) * sizeY * 4);
    EXPECT_TRUE(first == second) << "scene Z" << f[0];
    // Every scene stores alpha 1.
    for (std::size_t i = 3; i < first.size(); i += 4) ASSERT_EQ(first[i], 255) << "scene Z" << f[0];
  }
}

// The fixture checks the validation layer after every test; this one runs all four scenes at
// the start of their windows, with flashes, and looks at the messages itself as well.
TEST_F(ScenesZ3ToZ6, ValidationLayerIsSilent) {
  for (int scene = 3; scene <= 6; ++scene) {
    Picture picture = render(scene, 120 + 40.f * scene, 1, 1, 1);
    EXPECT_EQ(picture.size(), std::size_t(sizeX) * sizeY * 4);
  }
  const std::vector<std::string>& errors = renderer.validationErrors();
  EXPECT_TRUE(errors.empty()) << errors.size() << " messages, first: " << (errors.empty() ? "" : errors[0]);
}

// Frame time per scene at 320 x 180: a benchmark that prints figures (run it with
// --gtest_also_run_disabled_tests --gtest_filter='*FrameTime*').
class ScenesZ3ToZ6FrameTime : public gpu_test::GpuTest {
 protected:
  ScenesZ3ToZ6FrameTime() : GpuTest(320, 180) {}
};

TEST_F(ScenesZ3ToZ6FrameTime, DISABLED_Report) {
  std::printf("device: %s\n", renderer.deviceName());
  for (int scene = 3; scene <= 6; ++scene) {
    const float start = 40.f * (scene + 1);
    double total = 0, best = 1e30;
    const int frames = 5;
    for (int k = 0; k < frames; ++k) {
      const auto begin = std::chrono::steady_clock::now();
      const Picture picture = frame(scene, start + 4 + 8 * k, 5);
      const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begin).count();
      ASSERT_EQ(picture.size(), std::size_t(320 * 180 * 4));
      total += ms;
      best = std::min(best, ms);
    }
    std::printf("Z%d at 320x180: mean %.0f ms, best %.0f ms per frame (scene, copy, final pass, read-back)\n", scene,
                total / frames, best);
  }
}

}  // namespace
