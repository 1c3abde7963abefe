#pragma once
// A renderable mesh, one file of the portal archive (ids 0x01xxxxxx).
//
// On disk:
//   id u32, flags u32, surfaces (compressed count + count × u32), vertex_array CVertexArray,
//   if flags 0x1: compressed count, count × (id u16, Polygon), physics tree (Physics BspNode)
//   reference_point Vector3,
//   if flags 0x2: compressed count, count × (id u16, Polygon), drawing tree (Drawing BspNode)
//   if flags 0x8: linked_id u32
// Other flag bits have no effect on decoding.

#include <cstdint>
#include <optional>
#include <unordered_map>
#include <vector>

#include "common/math.hpp"
#include "dat/cursor.hpp"
#include "dat/graphics.hpp"
#include "dat/physics.hpp"

namespace dat {

struct GfxObj {
  std::uint32_t id = 0;
  std::uint32_t flags = 0;
  std::vector<std::uint32_t> surfaces;  // Surface ids in file order, duplicates kept
  CVertexArray vertex_array;
  // Polygon maps: a later polygon with an id already seen replaces the earlier one.
  std::unordered_map<std::uint16_t, Polygon> physics_polygons;  // flags 0x1
  std::optional<BspNode> physics_bsp;                           // present exactly with 0x1
  common::Vector3 reference_point;
  std::unordered_map<std::uint16_t, Polygon> drawing_polygons;  // flags 0x2
  std::optional<BspNode> drawing_bsp;                           // present exactly with 0x2
  std::optional<std::uint32_t> linked_id;                       // present exactly with 0x8

  static ReadResult<GfxObj> unpack(RecordCursor& cur);
};

}  // namespace dat
