#include "dat/graphics.hpp"

#include "dat/shared_records.hpp"
#include "graphics_detail.hpp"
#include "list_reader.hpp"

namespace dat {

ReadResult<Vec2Duv> Vec2Duv::read(RecordCursor& cur) {
  Vec2Duv uv;
  DAT_TRY_SET(uv.u, in_field(cur.read_f32(), "u", "Vec2Duv"));
  DAT_TRY_SET(uv.v, in_field(cur.read_f32(), "v", "Vec2Duv"));
  return uv;
}

ReadResult<SWVertex> SWVertex::read(RecordCursor& cur) {
  SWVertex v;
  DAT_TRY_SET(v.num_uvs, in_field(cur.read_u16(), "num_uvs", "SWVertex"));
  DAT_TRY_SET(v.origin, in_field(read_vector3(cur), "origin", "SWVertex"));
  DAT_TRY_SET(v.normal, in_field(read_vector3(cur), "normal", "SWVertex"));
  DAT_TRY_SET(v.uvs, in_field(detail::read_list<Vec2Duv>(cur, v.num_uvs, &Vec2Duv::read), "uvs",
                              "SWVertex"));
  return v;
}

// Adds no context frames of its own: only SWVertex does.
ReadResult<void> detail::read_vertex_array_into(RecordCursor& cur, CVertexArray& out) {
  DAT_TRY_SET(out.vertex_type, cur.read_u32());
  DAT_TRY(count, cur.read_u32());
  // Only type 1 has vertex records; for the others the count means nothing.
  if (out.vertex_type != 1) return {};
  return detail::read_map_into(
      cur, count, [](RecordCursor& c) { return c.read_u16(); }, &SWVertex::read, out.vertices);
}

ReadResult<CVertexArray> CVertexArray::read(RecordCursor& cur) {
  CVertexArray va;
  DAT_TRY_VOID(detail::read_vertex_array_into(cur, va));
  return va;
}

// Adds no context frames of its own.
ReadResult<Polygon> Polygon::read(RecordCursor& cur) {
  Polygon p;
  DAT_TRY_SET(p.num_vertices, cur.read_u8());
  DAT_TRY_SET(p.poly_flags, cur.read_u8());
  DAT_TRY_SET(p.sides_type, cur.read_u32());
  DAT_TRY_SET(p.pos_surface, cur.read_u16());
  DAT_TRY_SET(p.neg_surface, cur.read_u16());
  const std::uint8_t n = p.num_vertices;
  DAT_TRY_SET(p.vertex_ids, detail::read_u16_list(cur, n, n));
  if ((p.poly_flags & 0x4) == 0) DAT_TRY_SET(p.pos_uv_indices, detail::read_u8_list(cur, n, n));
  if ((p.poly_flags & 0x8) == 0 && p.sides_type == 2) {
    DAT_TRY_SET(p.neg_uv_indices, detail::read_u8_list(cur, n, n));
  }
  return p;
}

}  // namespace dat
