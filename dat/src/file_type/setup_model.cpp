#include "dat/file_type/setup_model.hpp"

#include <fmt/format.h>

#include "../list_reader.hpp"
#include "dat/shared_records.hpp"

namespace dat {

ReadResult<LocationType> LocationType::read(RecordCursor& cur) {
  LocationType l;
  DAT_TRY_SET(l.part_id, in_field(cur.read_u32(), "part_id", "LocationType"));
  DAT_TRY_SET(l.frame, in_field(read_frame(cur), "frame", "LocationType"));
  return l;
}

ReadResult<CylSphere> CylSphere::read(RecordCursor& cur) {
  CylSphere c;
  DAT_TRY_SET(c.origin, in_field(read_vector3(cur), "origin", "CylSphere"));
  DAT_TRY_SET(c.radius, in_field(cur.read_f32(), "radius", "CylSphere"));
  DAT_TRY_SET(c.height, in_field(cur.read_f32(), "height", "CylSphere"));
  return c;
}

ReadResult<LightInfo> LightInfo::read(RecordCursor& cur) {
  LightInfo l;
  DAT_TRY_SET(l.viewer_space_location,
              in_field(read_frame(cur), "viewer_space_location", "LightInfo"));
  DAT_TRY_SET(l.color, in_field(cur.read_u32(), "color", "LightInfo"));
  DAT_TRY_SET(l.intensity, in_field(cur.read_u32(), "intensity", "LightInfo"));
  DAT_TRY_SET(l.falloff, in_field(cur.read_u32(), "falloff", "LightInfo"));
  DAT_TRY_SET(l.cone_angle, in_field(cur.read_u32(), "cone_angle", "LightInfo"));
  return l;
}

namespace {

// Payload bytes after the 8-byte head, by hook type; type 5 is variable and handled apart.
// clang-format off
constexpr std::array<std::uint8_t, 27> kHookPayloadSize = {
    0, 4, 4, 28, 0, 0, 4, 16, 12, 16, 12, 16, 8, 40,
    4, 4, 4, 0,  4, 8, 12, 16, 12, 8, 12, 4, 40,
};
// clang-format on
constexpr std::uint32_t kVariableHookType = 5;

// Reads `count` raw bytes one value at a time, so a short read is the plain end-of-data
// failure rather than the raw-run one.
ReadResult<void> append_bytes(RecordCursor& cur, std::size_t count,
                              std::vector<std::uint8_t>& out) {
  for (std::size_t i = 0; i < count; ++i) {
    DAT_TRY(b, cur.read_u8());
    out.push_back(b);
  }
  return {};
}

void append_u16(std::vector<std::uint8_t>& out, std::uint16_t v) {
  out.push_back(static_cast<std::uint8_t>(v & 0xFF));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}

}  // namespace

ReadResult<AnimationHook> AnimationHook::read(RecordCursor& cur) {
  const std::uint64_t start = cur.position();
  AnimationHook h;
  DAT_TRY_SET(h.hook_type, cur.read_u32());
  DAT_TRY_SET(h.hook_param, cur.read_u32());
  if (h.hook_type >= kHookPayloadSize.size()) {
    return std::unexpected(ReadError::invalid_data(
        fmt::format("Unsupported AnimationHook type: 0x{:08X}", h.hook_type), cur.position()));
  }
  if (h.hook_type != kVariableHookType) {
    DAT_TRY_VOID(append_bytes(cur, kHookPayloadSize[h.hook_type], h.payload));
    return h;
  }
  DAT_TRY(first, cur.read_u8());
  h.payload.push_back(first);
  DAT_TRY(word, cur.read_u16());
  append_u16(h.payload, word);
  if (word & 0x8000) {
    DAT_TRY(second, cur.read_u16());
    append_u16(h.payload, second);
  }
  // The padding is measured from the hook's own first byte, not from the file's.
  const std::uint64_t misalignment = (cur.position() - start) % 4;
  if (misalignment != 0) {
    DAT_TRY_VOID(append_bytes(cur, 4 - misalignment, h.payload));
  }
  return h;
}

// Adds no context frames of its own.
ReadResult<PlacementType> PlacementType::read(RecordCursor& cur, std::uint32_t num_parts) {
  PlacementType p;
  DAT_TRY_SET(p.frames, detail::read_list<Frame>(cur, num_parts, &read_frame));
  DAT_TRY(num_hooks, cur.read_u32());
  DAT_TRY_SET(p.hooks, detail::read_list<AnimationHook>(cur, num_hooks, &AnimationHook::read));
  return p;
}

namespace {

ReadResult<std::uint32_t> read_key(RecordCursor& cur) { return cur.read_u32(); }

// A u32 count, then that many entries of a u32 key followed by a value.
template <class T, class ReadValue>
ReadResult<void> read_counted_map(RecordCursor& cur, ReadValue&& read_value,
                                  std::unordered_map<std::uint32_t, T>& out) {
  DAT_TRY(count, cur.read_u32());
  return detail::read_map_into(cur, count, &read_key, read_value, out);
}

}  // namespace

// Adds no context frames of its own; nested field-by-field records bring theirs.
ReadResult<SetupModel> SetupModel::unpack(RecordCursor& cur) {
  SetupModel s;
  DAT_TRY_SET(s.id, cur.read_u32());
  DAT_TRY_SET(s.flags, cur.read_u32());
  DAT_TRY(num_parts, cur.read_u32());
  DAT_TRY_SET(s.parts, detail::read_u32_list(cur, num_parts));
  if (s.flags & 0x1) DAT_TRY_SET(s.parent_indices, detail::read_u32_list(cur, num_parts));
  if (s.flags & 0x2) {
    DAT_TRY_SET(s.part_scales, detail::read_list<common::Vector3>(cur, num_parts, &read_vector3));
  }
  DAT_TRY_VOID(read_counted_map(cur, &LocationType::read, s.location_map_1));
  DAT_TRY_VOID(read_counted_map(cur, &LocationType::read, s.location_map_2));

  DAT_TRY(num_placements, cur.read_i32());
  if (num_placements < 0) {
    return std::unexpected(ReadError::invalid_data(
        fmt::format("SetupModel 0x{:08X} declared negative placement count {}", s.id,
                    num_placements),
        cur.position()));
  }
  DAT_TRY_VOID(detail::read_map_into(
      cur, static_cast<std::uint64_t>(num_placements), &read_key,
      [num_parts](RecordCursor& c) { return PlacementType::read(c, num_parts); }, s.placements));

  DAT_TRY(num_cyl_spheres, cur.read_u32());
  DAT_TRY_SET(s.cyl_spheres, detail::read_list<CylSphere>(cur, num_cyl_spheres, &CylSphere::read));
  DAT_TRY(num_spheres, cur.read_u32());
  DAT_TRY_SET(s.spheres, detail::read_list<common::Sphere>(cur, num_spheres, &read_sphere));
  for (auto& word : s.scalars) DAT_TRY_SET(word, cur.read_u32());
  DAT_TRY_SET(s.sphere_1, read_sphere(cur));
  DAT_TRY_SET(s.sphere_2, read_sphere(cur));
  DAT_TRY_VOID(read_counted_map(cur, &LightInfo::read, s.lights));
  for (auto& slot : s.optional_ids) {
    DAT_TRY(value, cur.read_u32());
    if (value != 0) slot = value;
  }
  return s;
}

}  // namespace dat
