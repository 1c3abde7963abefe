#pragma once
// The procedural looks of the sample's textures: each is a tone field (a pattern in [0, 1],
// plus coverage for textures with holes) and a colour ramp that the tone is read through.
// Keeping tone and colour apart lets one look feed every pixel format: direct colour, a
// palette sampled from the ramp, or grey.

#include <cstdint>
#include <string_view>
#include <vector>

namespace sample {

enum class Look : std::uint8_t {
  Grass,
  Leaves,
  Moss,
  Lichen,
  Water,
  Lava,
  Sand,
  WoodPlanks,
  EndGrain,
  Bark,
  Dirt,
  CartTrack,
  BrushedMetal,
  RivetedPlates,
  Snow,
  Slate,
  Flagstones,
  Granite,
  RockFace,
  Rubble,
  PurpleCloth,
  RoofTiles,
  GlazedTiles,
  NightSky,
};

struct Field {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::vector<double> tone;      // per pixel, row-major, in [0, 1]
  std::vector<double> coverage;  // per pixel, 1 opaque, 0 a hole
};

struct Rgb {
  std::uint8_t r = 0;
  std::uint8_t g = 0;
  std::uint8_t b = 0;
};

std::string_view look_name(Look look);

Field paint(Look look, std::uint32_t width, std::uint32_t height, std::uint32_t seed);

// The look's colour at tone t (clamped to [0, 1]), interpolated between its ramp stops and
// rounded to bytes.
Rgb ramp_colour(Look look, double t);

// Eight-bit grey of a colour by the usual luminance weights, for the grey pixel formats.
std::uint8_t grey_of(Rgb c);

}  // namespace sample
