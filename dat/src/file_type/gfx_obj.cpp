#include "dat/file_type/gfx_obj.hpp"

#include "../graphics_detail.hpp"
#include "../list_reader.hpp"
#include "dat/shared_records.hpp"
#include "dat/utils.hpp"

namespace dat {

namespace {

ReadResult<void> read_polygon_map(RecordCursor& cur,
                                  std::unordered_map<std::uint16_t, Polygon>& out) {
  DAT_TRY(count, read_compressed_u32(cur));
  return detail::read_map_into(
      cur, count, [](RecordCursor& c) { return c.read_u16(); }, &Polygon::read, out);
}

}  // namespace

// Adds no context frames of its own; nested field-by-field records bring theirs.
ReadResult<GfxObj> GfxObj::unpack(RecordCursor& cur) {
  GfxObj obj;
  DAT_TRY_SET(obj.id, cur.read_u32());
  DAT_TRY_SET(obj.flags, cur.read_u32());
  DAT_TRY_SET(obj.surfaces, read_smart_vec(cur));
  DAT_TRY_VOID(detail::read_vertex_array_into(cur, obj.vertex_array));
  if (obj.flags & 0x1) {
    DAT_TRY_VOID(read_polygon_map(cur, obj.physics_polygons));
    DAT_TRY_SET(obj.physics_bsp, BspNode::read(cur, BspTreeKind::Physics));
  }
  DAT_TRY_SET(obj.reference_point, read_vector3(cur));
  if (obj.flags & 0x2) {
    DAT_TRY_VOID(read_polygon_map(cur, obj.drawing_polygons));
    DAT_TRY_SET(obj.drawing_bsp, BspNode::read(cur, BspTreeKind::Drawing));
  }
  if (obj.flags & 0x8) DAT_TRY_SET(obj.linked_id, cur.read_u32());
  return obj;
}

}  // namespace dat
