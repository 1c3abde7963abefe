#pragma once
// Encoders of the portal archive's model records: meshes and object setups. Like every
// encoder here they produce well-formed records (see graphics_records.hpp); keyed
// collections are lists of entries written in order, so a repeated key can be written.

#include <array>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "common/math.hpp"
#include "dat/file_type/gfx_obj.hpp"
#include "dat/file_type/setup_model.hpp"
#include "writer/byte_writer.hpp"

namespace writer {

template <class K, class V>
using Entries = std::vector<std::pair<K, V>>;

struct CVertexArrayDesc {
  std::uint32_t vertex_type = 1;
  // The count is the number of entries; the entries themselves are written only when
  // vertex_type is 1 (for other types the reader skips nothing after the count).
  Entries<std::uint16_t, dat::SWVertex> vertices;
};

struct GfxObjDesc {
  std::uint32_t id = 0;
  std::uint32_t flags = 0;
  std::vector<std::uint32_t> surfaces;
  CVertexArrayDesc vertex_array;
  Entries<std::uint16_t, dat::Polygon> physics_polygons;  // written with flags 0x1
  std::optional<dat::BspNode> physics_bsp;  // written with flags 0x1; a lone leaf if absent
  common::Vector3 reference_point;
  Entries<std::uint16_t, dat::Polygon> drawing_polygons;  // written with flags 0x2
  std::optional<dat::BspNode> drawing_bsp;  // written with flags 0x2; a lone leaf if absent
  std::uint32_t linked_id = 0;              // written with flags 0x8
};

void write_vertex_array(ByteWriter& w, const CVertexArrayDesc& vertex_array);
std::vector<std::uint8_t> encode_gfx_obj(const GfxObjDesc& mesh);

// A valid mesh (flags 0x3) that uses `surfaces`: three vertices, one physics polygon under
// a small physics tree, and one drawing polygon per surface (polygon i has pos_surface i)
// under a small drawing tree.
GfxObjDesc simple_mesh(std::uint32_t id, std::vector<std::uint32_t> surfaces);

// Payload bytes after the 8-byte head of every hook type but 5 (whose payload is 4 or 8
// bytes); 0 for types above 26.
std::size_t fixed_hook_payload_size(std::uint32_t hook_type);
// A hook of any type 0 .. 26 with a payload of the right size holding 1, 2, 3, ...; type 5
// gets the short form (first byte 0, word 0) and its padding byte.
dat::AnimationHook make_hook(std::uint32_t hook_type, std::uint32_t hook_param = 0);
// A type 5 hook: `first`, `word`, and `second_word` only when `word` has its top bit set,
// then zero padding to the 4-byte boundary counted from the hook's first byte.
dat::AnimationHook make_type5_hook(std::uint32_t hook_param, std::uint8_t first, std::uint16_t word,
                                   std::uint16_t second_word = 0);

void write_hook(ByteWriter& w, const dat::AnimationHook& hook);  // payload as held
// Writes exactly `num_parts` frames (identity frames past the end of `frames`), then hooks.
void write_placement(ByteWriter& w, const dat::PlacementType& placement, std::uint32_t num_parts);
void write_location(ByteWriter& w, const dat::LocationType& location);
void write_cyl_sphere(ByteWriter& w, const dat::CylSphere& cyl_sphere);
void write_light(ByteWriter& w, const dat::LightInfo& light);

struct SetupModelDesc {
  std::uint32_t id = 0;
  std::uint32_t flags = 0;
  std::vector<std::uint32_t> parts;
  std::vector<std::uint32_t> parent_indices;  // with flags 0x1: one per part (zero-filled)
  std::vector<common::Vector3> part_scales;   // with flags 0x2: one per part (zero-filled)
  Entries<std::uint32_t, dat::LocationType> location_map_1;
  Entries<std::uint32_t, dat::LocationType> location_map_2;
  Entries<std::uint32_t, dat::PlacementType> placements;  // one frame per part each
  std::vector<dat::CylSphere> cyl_spheres;
  std::vector<common::Sphere> spheres;
  std::array<std::uint32_t, 4> scalars{};
  common::Sphere sphere_1;
  common::Sphere sphere_2;
  Entries<std::uint32_t, dat::LightInfo> lights;
  std::array<std::uint32_t, 5> optional_ids{};  // 0 reads back as absent
};

std::vector<std::uint8_t> encode_setup_model(const SetupModelDesc& setup);

// A valid setup made of `parts`, with one placement (key 0, a frame per part, no hooks).
SetupModelDesc simple_setup(std::uint32_t id, std::vector<std::uint32_t> parts);

}  // namespace writer
