#pragma once
// A multi-part object setup, one file of the portal archive (ids 0x02xxxxxx).
//
// On disk, with n the number of parts:
//   id u32, flags u32, n u32, parts[n] u32,
//   parent_indices[n] u32 (flags 0x1), part_scales[n] Vector3 (flags 0x2),
//   location_map_1 and location_map_2: count u32, count × (key u32, LocationType),
//   placements: count i32 (negative fails), count × (key u32, PlacementType of n frames),
//   cyl_spheres: count u32 + CylSphere[], spheres: count u32 + Sphere[],
//   scalars 4 × u32, sphere_1 Sphere, sphere_2 Sphere,
//   lights: count u32, count × (key u32, LightInfo), optional_ids 5 × u32 (0 = absent).
// In every map a later entry with a key already seen replaces the earlier one.

#include <array>
#include <cstdint>
#include <optional>
#include <unordered_map>
#include <vector>

#include "common/math.hpp"
#include "dat/cursor.hpp"
#include "dat/graphics.hpp"

namespace dat {

// part_id u32, frame Frame (32 bytes).
struct LocationType {
  std::uint32_t part_id = 0;
  Frame frame;

  static ReadResult<LocationType> read(RecordCursor& cur);
};

// origin Vector3, radius f32, height f32 (20 bytes).
struct CylSphere {
  common::Vector3 origin;
  float radius = 0.0f;
  float height = 0.0f;

  static ReadResult<CylSphere> read(RecordCursor& cur);
};

// viewer_space_location Frame, then four words kept as read (44 bytes).
struct LightInfo {
  Frame viewer_space_location;
  std::uint32_t color = 0;
  std::uint32_t intensity = 0;
  std::uint32_t falloff = 0;
  std::uint32_t cone_angle = 0;

  static ReadResult<LightInfo> read(RecordCursor& cur);
};

// hook_type u32 (0 .. 26), hook_param u32, then a payload whose size the type fixes. Type 5
// has a variable payload (u8, u16, and a second u16 when the first has its top bit set),
// padded to a multiple of 4 counted from the hook's first byte.
struct AnimationHook {
  std::uint32_t hook_type = 0;
  std::uint32_t hook_param = 0;
  std::vector<std::uint8_t> payload;  // as stored, padding included

  // Fails with InvalidData "Unsupported AnimationHook type: 0x{:08X}" for types above 26.
  static ReadResult<AnimationHook> read(RecordCursor& cur);
};

// num_parts × Frame, then hook count u32 and that many hooks.
struct PlacementType {
  std::vector<Frame> frames;  // one per part of the enclosing setup
  std::vector<AnimationHook> hooks;

  static ReadResult<PlacementType> read(RecordCursor& cur, std::uint32_t num_parts);
};

struct SetupModel {
  std::uint32_t id = 0;
  std::uint32_t flags = 0;
  std::vector<std::uint32_t> parts;           // GfxObj ids, one per part, duplicates kept
  std::vector<std::uint32_t> parent_indices;  // flags 0x1, else empty
  std::vector<common::Vector3> part_scales;   // flags 0x2, else empty
  std::unordered_map<std::uint32_t, LocationType> location_map_1;
  std::unordered_map<std::uint32_t, LocationType> location_map_2;
  std::unordered_map<std::uint32_t, PlacementType> placements;
  std::vector<CylSphere> cyl_spheres;
  std::vector<common::Sphere> spheres;
  std::array<std::uint32_t, 4> scalars{};
  common::Sphere sphere_1;
  common::Sphere sphere_2;
  std::unordered_map<std::uint32_t, LightInfo> lights;
  std::array<std::optional<std::uint32_t>, 5> optional_ids;  // a stored 0 is absent

  // Fails with InvalidData "SetupModel 0x{:08X} declared negative placement count {}" when
  // the placement count is negative.
  static ReadResult<SetupModel> unpack(RecordCursor& cur);
};

}  // namespace dat
