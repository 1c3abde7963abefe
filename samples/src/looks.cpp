#include "looks.hpp"

#include <algorithm>
#include <cmath>

#include "noise.hpp"

namespace sample {

namespace {

struct Stop {
  double at;
  Rgb colour;
};

struct Sample {
  double tone = 0;
  double coverage = 1;
};

// Paints with isotropic coordinates: the longer side spans [0, 1), so a non-square
// texture shows part of the pattern rather than a stretched one.
template <class F>
Field paint_with(std::uint32_t width, std::uint32_t height, F&& f) {
  Field field;
  field.width = width;
  field.height = height;
  const std::size_t n = static_cast<std::size_t>(width) * height;
  field.tone.reserve(n);
  field.coverage.reserve(n);
  const double side = std::max(width, height);
  for (std::uint32_t y = 0; y < height; ++y) {
    for (std::uint32_t x = 0; x < width; ++x) {
      const Sample s = f((x + 0.5) / side, (y + 0.5) / side, x, y);
      field.tone.push_back(clamp01(s.tone));
      field.coverage.push_back(clamp01(s.coverage));
    }
  }
  return field;
}

// Blades: streaks narrow across and long down the texture, over darker and lighter clumps.
Field grass(std::uint32_t w, std::uint32_t h, std::uint32_t seed) {
  return paint_with(w, h, [seed](double u, double v, auto, auto) {
    const double sway = 0.6 * fbm(u * 3, v * 3, seed + 7, 3);
    const double blades = value_noise((u + 0.08 * sway) * 44, v * 4, seed);
    const double clumps = fbm(u * 5, v * 5, seed + 1, 4);
    return Sample{0.62 * blades + 0.5 * clumps - 0.08};
  });
}

// Overlapping leaves (one per cell, each its own shade, lighter towards its middle) with
// gaps of sky between them.
Field leaves(std::uint32_t w, std::uint32_t h, std::uint32_t seed) {
  return paint_with(w, h, [seed](double u, double v, auto, auto) {
    const Cells c = cells(u * 7, v * 7, seed);
    const double own = static_cast<double>(c.id % 1000) / 1000.0;
    const double body = 1.0 - c.f1 / 0.55;
    const double vein = smoothstep(0.0, 0.05, c.f2 - c.f1);
    return Sample{(0.25 + 0.35 * own + 0.4 * body) * (0.55 + 0.45 * vein), c.f1 < 0.5 ? 1.0 : 0.0};
  });
}

// Soft cushions of moss with fine speckle.
Field moss(std::uint32_t w, std::uint32_t h, std::uint32_t seed) {
  return paint_with(w, h, [seed](double u, double v, auto, auto) {
    const double cushions = fbm(u * 6, v * 6, seed, 5);
    const double speckle = value_noise(u * 48, v * 48, seed + 3);
    return Sample{0.75 * cushions + 0.35 * speckle - 0.1};
  });
}

// Crusty rosettes of lichen on a grey rock.
Field lichen(std::uint32_t w, std::uint32_t h, std::uint32_t seed) {
  return paint_with(w, h, [seed](double u, double v, auto, auto) {
    const Cells c = cells(u * 5, v * 5, seed);
    const double rosette = 1.0 - smoothstep(0.15, 0.45, c.f1);
    const double grain = fbm(u * 20, v * 20, seed + 5, 3);
    return Sample{0.55 * rosette + 0.45 * grain};
  });
}

// Swells of deeper and lighter water under a wavering net of caustic light.
Field water(std::uint32_t w, std::uint32_t h, std::uint32_t seed) {
  return paint_with(w, h, [seed](double u, double v, auto, auto) {
    const double depth = fbm(u * 3, v * 3, seed, 4);
    const double wu = u + 0.08 * (fbm(u * 4, v * 4, seed + 1, 3) - 0.5);
    const double wv = v + 0.08 * (fbm(u * 4 + 7, v * 4, seed + 2, 3) - 0.5);
    const Cells c = cells(wu * 6, wv * 6, seed + 3);
    const double caustic = 1.0 - smoothstep(0.0, 0.2, c.f2 - c.f1);
    const double swell = wave(v * 3 + 0.8 * depth);
    return Sample{0.08 + 0.3 * depth + 0.15 * swell + 0.45 * caustic * caustic};
  });
}

// Glowing seams between plates of dark crust, with hot spots welling up.
Field lava(std::uint32_t w, std::uint32_t h, std::uint32_t seed) {
  return paint_with(w, h, [seed](double u, double v, auto, auto) {
    const Cells c = cells(u * 5, v * 5, seed);
    const double seam = 1.0 - smoothstep(0.0, 0.16, c.f2 - c.f1);
    const double crust = fbm(u * 9, v * 9, seed + 11, 4);
    const double swell = fbm(u * 2.5, v * 2.5, seed + 17, 3);
    return Sample{std::max(0.18 + 0.3 * crust + 0.25 * swell, 0.35 + 0.65 * seam)};
  });
}

// Wind ripples across the sand, fine grains over them.
Field sand(std::uint32_t w, std::uint32_t h, std::uint32_t seed) {
  return paint_with(w, h, [seed](double u, double v, auto, auto) {
    const double bend = fbm(u * 2, v * 2, seed, 3);
    const double ripple = wave(v * 9 + u * 1.5 + 1.6 * bend);
    const double grains = value_noise(u * 70, v * 70, seed + 9);
    return Sample{0.15 + 0.45 * ripple + 0.3 * grains + 0.1 * bend};
  });
}

// Four planks laid across the texture: growth lines bent by noise, dark seams, one butt
// joint per plank.
Field wood_planks(std::uint32_t w, std::uint32_t h, std::uint32_t seed) {
  return paint_with(w, h, [seed](double u, double v, auto, auto) {
    const double row = std::floor(v * 4);
    const auto plank = static_cast<std::int32_t>(row);
    const double shift = lattice(plank, 0, seed);
    const double local = v * 4 - row;
    const double lines =
        wave(local * 5 + 1.8 * fbm(u * 1.5 + shift * 10, local * 2, seed + 3, 3) + shift * 7);
    const double fibre = value_noise(u * 40, v * 140, seed + 5);
    double tone = 0.25 + 0.5 * lines + 0.2 * fibre + 0.1 * shift;
    const double joint = fract(u + shift);
    if (local < 0.06 || joint < 0.015) tone = 0.02;
    return Sample{tone};
  });
}

// The end of a log: rings around an off-centre pith, and a drying crack.
Field end_grain(std::uint32_t w, std::uint32_t h, std::uint32_t seed) {
  return paint_with(w, h, [seed](double u, double v, auto, auto) {
    const double cu = u - 0.46;
    const double cv = v - 0.54;
    const double r = std::sqrt(cu * cu + cv * cv);
    const double rings = wave(r * 13 + 0.9 * fbm(u * 4, v * 4, seed, 3));
    const double crack = std::fabs(cu * 0.8 - cv * 0.3) < 0.012 && r < 0.38 ? 0.0 : 1.0;
    const double bark = r > 0.47 ? 0.35 : 1.0;
    return Sample{(0.2 + 0.6 * rings + 0.2 * value_noise(u * 50, v * 50, seed + 1)) * crack * bark};
  });
}

// Deep vertical furrows of bark.
Field bark(std::uint32_t w, std::uint32_t h, std::uint32_t seed) {
  return paint_with(w, h, [seed](double u, double v, auto, auto) {
    const double furrow = wave(u * 9 + 2.2 * fbm(u * 2, v * 0.8, seed, 4));
    const double flakes = value_noise(u * 24, v * 5, seed + 2);
    return Sample{0.7 * furrow * furrow + 0.35 * flakes};
  });
}

// Earth with clods and small pale pebbles.
Field dirt(std::uint32_t w, std::uint32_t h, std::uint32_t seed) {
  return paint_with(w, h, [seed](double u, double v, auto, auto) {
    const double clods = fbm(u * 6, v * 6, seed, 5);
    const double crumbs = value_noise(u * 45, v * 45, seed + 4);
    const Cells c = cells(u * 11, v * 11, seed + 8);
    const bool pebble = c.f1 < 0.2 && c.id % 3 == 0;
    double tone = 0.6 * clods + 0.3 * crumbs;
    if (pebble) tone = 0.85 + 0.15 * (1.0 - c.f1 / 0.2);
    return Sample{tone};
  });
}

// A dirt road with two wheel ruts running down it.
Field cart_track(std::uint32_t w, std::uint32_t h, std::uint32_t seed) {
  return paint_with(w, h, [seed](double u, double v, auto, auto) {
    const double wobble = 0.04 * (fbm(v * 3, 0.5, seed + 2, 3) - 0.5);
    const double a = std::fabs(u - 0.3 - wobble);
    const double b = std::fabs(u - 0.7 - wobble);
    const double rut = 1.0 - smoothstep(0.03, 0.08, std::min(a, b));
    const double ground =
        0.55 * fbm(u * 6, v * 6, seed, 5) + 0.35 * value_noise(u * 40, v * 40, seed + 1);
    return Sample{ground + 0.12 - 0.45 * rut};
  });
}

// Fine horizontal brushing marks with a broad sheen.
Field brushed_metal(std::uint32_t w, std::uint32_t h, std::uint32_t seed) {
  return paint_with(w, h, [seed](double u, double v, auto, auto) {
    const double strokes = value_noise(u * 3, v * 90, seed);
    const double fine = value_noise(u * 12, v * 200, seed + 1);
    const double sheen = 1.0 - std::fabs(u + 0.3 * v - 0.65);
    return Sample{0.2 + 0.3 * strokes + 0.15 * fine + 0.35 * sheen};
  });
}

// Four plates with dark seams, a rivet near every corner.
Field riveted_plates(std::uint32_t w, std::uint32_t h, std::uint32_t seed) {
  return paint_with(w, h, [seed](double u, double v, auto, auto) {
    const double pu = fract(u * 2);
    const double pv = fract(v * 2);
    double tone =
        0.45 + 0.25 * value_noise(u * 3, v * 60, seed) +
        0.1 * lattice(static_cast<std::int32_t>(u * 2), static_cast<std::int32_t>(v * 2), seed + 1);
    for (const double ru : {0.12, 0.88}) {
      for (const double rv : {0.12, 0.88}) {
        const double d = std::sqrt((pu - ru) * (pu - ru) + (pv - rv) * (pv - rv));
        if (d < 0.05)
          tone = 0.95 - 6.0 * d;
        else if (d < 0.065)
          tone = 0.2;
      }
    }
    if (pu < 0.02 || pv < 0.02) tone = 0.05;
    return Sample{tone};
  });
}

// Soft drifts with a few sparkling crystals.
Field snow(std::uint32_t w, std::uint32_t h, std::uint32_t seed) {
  return paint_with(w, h, [seed](double u, double v, auto x, auto y) {
    const double drift = fbm(u * 4, v * 4, seed, 5);
    const double ridge = wave(v * 3 + 1.5 * drift);
    double tone = 0.35 + 0.4 * drift + 0.25 * ridge;
    if (hash2(static_cast<std::int32_t>(x), static_cast<std::int32_t>(y), seed + 99) % 97 == 0)
      tone = 1.0;
    return Sample{tone};
  });
}

// Blue-grey slate slabs of slightly different shades, narrow joints between them.
Field slate(std::uint32_t w, std::uint32_t h, std::uint32_t seed) {
  return paint_with(w, h, [seed](double u, double v, auto, auto) {
    const Cells c = cells(u * 5, v * 5, seed);
    const double own = static_cast<double>(c.id % 1000) / 1000.0;
    const double joint = smoothstep(0.0, 0.07, c.f2 - c.f1);
    const double cleft = value_noise(u * 6, v * 30, seed + 2);
    return Sample{(0.35 + 0.3 * own + 0.25 * cleft) * (0.45 + 0.55 * joint)};
  });
}

// Rectangular flagstones in running bond with mortar joints.
Field flagstones(std::uint32_t w, std::uint32_t h, std::uint32_t seed) {
  return paint_with(w, h, [seed](double u, double v, auto, auto) {
    const double row = std::floor(v * 4);
    const double offset = static_cast<std::int32_t>(row) % 2 == 0 ? 0.0 : 0.5;
    const double col = std::floor(u * 2.5 + offset);
    const double lu = fract(u * 2.5 + offset);
    const double lv = v * 4 - row;
    const double own =
        lattice(static_cast<std::int32_t>(col), static_cast<std::int32_t>(row), seed);
    double tone = 0.4 + 0.25 * own + 0.25 * fbm(u * 10, v * 10, seed + 1, 3);
    if (lu < 0.04 || lv < 0.06) tone = 0.15;
    return Sample{tone};
  });
}

// Coarse black and white crystals: granite.
Field granite(std::uint32_t w, std::uint32_t h, std::uint32_t seed) {
  return paint_with(w, h, [seed](double u, double v, auto, auto) {
    const Cells c = cells(u * 22, v * 22, seed);
    const double crystal = static_cast<double>(c.id % 1000) / 1000.0;
    const double mottle = fbm(u * 4, v * 4, seed + 3, 3);
    const double edge = smoothstep(0.0, 0.08, c.f2 - c.f1);
    return Sample{(1.0 * crystal + 0.3 * mottle - 0.15) * (0.55 + 0.45 * edge)};
  });
}

// A cliff of sedimentary layers, each its own shade, bent by noise and split by cracks.
Field rock_face(std::uint32_t w, std::uint32_t h, std::uint32_t seed) {
  return paint_with(w, h, [seed](double u, double v, auto, auto) {
    const double warp = fbm(u * 2.5, v * 2.5, seed, 4);
    const double depth = v * 6 + 1.3 * warp;
    const double layer = lattice(static_cast<std::int32_t>(std::floor(depth)), 0, seed + 1);
    const double bedding = smoothstep(0.0, 0.08, fract(depth));
    const double rough = fbm(u * 14, v * 14, seed + 2, 4);
    const Cells c = cells(u * 4, v * 4, seed + 5);
    const double crack = smoothstep(0.0, 0.04, c.f2 - c.f1);
    return Sample{(0.08 + 0.85 * layer + 0.35 * (rough - 0.5)) * (0.4 + 0.6 * bedding) *
                  (0.2 + 0.8 * crack)};
  });
}

// Broken boulders of many shades, each rounded off and cracked apart from its neighbours.
Field rubble(std::uint32_t w, std::uint32_t h, std::uint32_t seed) {
  return paint_with(w, h, [seed](double u, double v, auto, auto) {
    const Cells c = cells(u * 6, v * 6, seed);
    const double shade = static_cast<double>(c.id % 1000) / 1000.0;
    const double rounded = 1.0 - 0.5 * smoothstep(0.15, 0.65, c.f1);
    const double gap = smoothstep(0.0, 0.1, c.f2 - c.f1);
    const double grit = value_noise(u * 50, v * 50, seed + 1);
    return Sample{(0.05 + 1.0 * shade + 0.15 * grit) * rounded * (0.1 + 0.9 * gap)};
  });
}

// A plain weave: threads over and under in a checker, each thread shaded across.
Field purple_cloth(std::uint32_t w, std::uint32_t h, std::uint32_t seed) {
  return paint_with(w, h, [seed](double u, double v, auto, auto) {
    const double n = 28;
    const bool warp_on_top = (static_cast<std::int64_t>(std::floor(u * n)) +
                              static_cast<std::int64_t>(std::floor(v * n))) %
                                 2 ==
                             0;
    const double across = warp_on_top ? fract(u * n) : fract(v * n);
    const double thread = 1.0 - std::fabs(across - 0.5) * 2.0;
    const double fold = fbm(u * 2, v * 2, seed, 3);
    return Sample{0.15 + 0.5 * thread + 0.45 * fold - 0.1};
  });
}

// Rows of round-ended roof tiles, each row laid half a tile across from the one above; the
// tiles below show in the corners between two rounded ends, in shadow.
Field roof_tiles(std::uint32_t w, std::uint32_t h, std::uint32_t seed) {
  return paint_with(w, h, [seed](double u, double v, auto, auto) {
    const double rows = 6;
    const double row = std::floor(v * rows);
    const double offset = static_cast<std::int32_t>(row) % 2 == 0 ? 0.0 : 0.5;
    const double lu = fract(u * 5 + offset) - 0.5;
    const double lv = v * rows - row;
    const double own = lattice(static_cast<std::int32_t>(std::floor(u * 5 + offset)),
                               static_cast<std::int32_t>(row), seed);
    const double curve = 1.0 - 0.5 * std::fabs(lu) * 2.0;
    double tone = (0.55 + 0.35 * curve - 0.25 * lv) + 0.12 * own;
    const double end = 0.45 + 0.55 * std::sqrt(std::max(0.0, 1.0 - 4.0 * lu * lu));
    if (lv > end) tone = 0.25 + 0.2 * (lv - end);
    if (std::fabs(lu) > 0.48) tone = 0.08;
    tone += 0.1 * (value_noise(u * 40, v * 40, seed + 1) - 0.5);
    return Sample{tone};
  });
}

// Square glazed tiles in light grout, each with a glossy streak.
Field glazed_tiles(std::uint32_t w, std::uint32_t h, std::uint32_t seed) {
  return paint_with(w, h, [seed](double u, double v, auto, auto) {
    const double n = 4;
    const double lu = fract(u * n);
    const double lv = fract(v * n);
    const double own =
        lattice(static_cast<std::int32_t>(u * n), static_cast<std::int32_t>(v * n), seed);
    double tone = 0.3 + 0.35 * (1.0 - lv) + 0.15 * own;
    if (std::fabs(lu - lv - 0.2) < 0.06) tone = 0.85;
    if (lu < 0.05 || lv < 0.05) tone = 1.0;
    return Sample{tone};
  });
}

// A dark sky with a faint glow near the horizon and scattered stars.
Field night_sky(std::uint32_t w, std::uint32_t h, std::uint32_t seed) {
  return paint_with(w, h, [seed](double u, double v, auto x, auto y) {
    double tone = 0.05 + 0.12 * v * v + 0.08 * fbm(u * 3, v * 3, seed, 4);
    const std::uint32_t star =
        hash2(static_cast<std::int32_t>(x), static_cast<std::int32_t>(y), seed + 5);
    if (star % 61 == 0) tone = 0.55 + 0.45 * static_cast<double>(star % 1000) / 1000.0;
    return Sample{tone};
  });
}

struct LookDef {
  std::string_view name;
  Field (*painter)(std::uint32_t, std::uint32_t, std::uint32_t);
  std::vector<Stop> ramp;
};

const std::vector<LookDef>& looks() {
  static const std::vector<LookDef> defs = {
      {"grass",
       grass,
       {{0.0, {16, 46, 10}}, {0.45, {48, 112, 26}}, {0.8, {92, 160, 42}}, {1.0, {156, 196, 68}}}},
      {"leaves", leaves, {{0.0, {14, 44, 12}}, {0.5, {52, 122, 30}}, {1.0, {132, 190, 62}}}},
      {"moss", moss, {{0.0, {70, 78, 56}}, {0.5, {108, 120, 90}}, {1.0, {148, 158, 122}}}},
      {"lichen", lichen, {{0.0, {92, 96, 86}}, {0.5, {118, 128, 100}}, {1.0, {160, 170, 112}}}},
      {"water",
       water,
       {{0.0, {6, 30, 78}}, {0.35, {18, 70, 140}}, {0.7, {52, 130, 190}}, {1.0, {196, 232, 250}}}},
      {"lava",
       lava,
       {{0.0, {30, 5, 2}},
        {0.3, {118, 20, 6}},
        {0.6, {218, 66, 8}},
        {0.85, {255, 148, 22}},
        {1.0, {255, 228, 110}}}},
      {"sand", sand, {{0.0, {176, 144, 92}}, {0.5, {212, 182, 124}}, {1.0, {240, 216, 162}}}},
      {"wood planks",
       wood_planks,
       {{0.0, {36, 20, 9}}, {0.35, {86, 50, 24}}, {0.7, {124, 78, 40}}, {1.0, {152, 102, 56}}}},
      {"end grain", end_grain, {{0.0, {36, 20, 10}}, {0.4, {110, 70, 36}}, {1.0, {176, 124, 72}}}},
      {"bark", bark, {{0.0, {28, 20, 14}}, {0.5, {74, 52, 34}}, {1.0, {116, 86, 60}}}},
      {"dirt",
       dirt,
       {{0.0, {78, 52, 32}}, {0.45, {128, 92, 60}}, {0.8, {168, 130, 92}}, {1.0, {200, 180, 150}}}},
      {"cart track",
       cart_track,
       {{0.0, {62, 42, 26}}, {0.5, {132, 96, 62}}, {1.0, {180, 146, 108}}}},
      {"brushed metal",
       brushed_metal,
       {{0.0, {110, 114, 120}}, {0.5, {166, 171, 178}}, {1.0, {218, 222, 228}}}},
      {"riveted plates",
       riveted_plates,
       {{0.0, {60, 62, 66}}, {0.5, {150, 154, 160}}, {1.0, {225, 228, 232}}}},
      {"snow", snow, {{0.0, {196, 208, 226}}, {0.6, {232, 238, 247}}, {1.0, {255, 255, 255}}}},
      {"slate", slate, {{0.0, {34, 37, 44}}, {0.5, {88, 94, 106}}, {1.0, {132, 138, 150}}}},
      {"flagstones",
       flagstones,
       {{0.0, {40, 40, 42}}, {0.5, {98, 98, 100}}, {1.0, {140, 140, 142}}}},
      {"granite", granite, {{0.0, {18, 18, 20}}, {0.5, {128, 128, 130}}, {1.0, {240, 238, 236}}}},
      {"rock face",
       rock_face,
       {{0.0, {26, 26, 28}}, {0.5, {120, 119, 118}}, {1.0, {222, 220, 216}}}},
      {"rubble", rubble, {{0.0, {20, 20, 22}}, {0.5, {118, 116, 114}}, {1.0, {226, 224, 220}}}},
      {"purple cloth",
       purple_cloth,
       {{0.0, {36, 10, 52}}, {0.5, {98, 38, 132}}, {1.0, {170, 100, 204}}}},
      {"roof tiles", roof_tiles, {{0.0, {40, 9, 8}}, {0.5, {140, 34, 28}}, {1.0, {204, 64, 56}}}},
      {"glazed tiles",
       glazed_tiles,
       {{0.0, {16, 60, 120}},
        {0.6, {50, 120, 196}},
        {0.9, {170, 210, 240}},
        {1.0, {214, 216, 220}}}},
      {"night sky", night_sky, {{0.0, {0, 0, 0}}, {0.3, {40, 40, 40}}, {1.0, {255, 255, 255}}}},
  };
  return defs;
}

const LookDef& def(Look look) { return looks().at(static_cast<std::size_t>(look)); }

std::uint8_t to_byte(double x) {
  return static_cast<std::uint8_t>(std::clamp(std::floor(x + 0.5), 0.0, 255.0));
}

}  // namespace

std::string_view look_name(Look look) { return def(look).name; }

Field paint(Look look, std::uint32_t width, std::uint32_t height, std::uint32_t seed) {
  return def(look).painter(width, height, seed);
}

Rgb ramp_colour(Look look, double t) {
  const std::vector<Stop>& ramp = def(look).ramp;
  t = clamp01(t);
  if (t <= ramp.front().at) return ramp.front().colour;
  for (std::size_t i = 1; i < ramp.size(); ++i) {
    if (t <= ramp[i].at) {
      const Stop& a = ramp[i - 1];
      const Stop& b = ramp[i];
      const double k = (t - a.at) / (b.at - a.at);
      return {to_byte(a.colour.r + (b.colour.r - a.colour.r) * k),
              to_byte(a.colour.g + (b.colour.g - a.colour.g) * k),
              to_byte(a.colour.b + (b.colour.b - a.colour.b) * k)};
    }
  }
  return ramp.back().colour;
}

std::uint8_t grey_of(Rgb c) { return to_byte(0.299 * c.r + 0.587 * c.g + 0.114 * c.b); }

}  // namespace sample
