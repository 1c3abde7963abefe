#include "writer/graphics_records.hpp"

#include <algorithm>

namespace writer {

namespace {

// Writes exactly `count` bytes from `list`, zero-filled past its end.
void write_u8_exactly(ByteWriter& w, const std::vector<std::uint8_t>& list, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) w.u8(i < list.size() ? list[i] : 0);
}

bool has_pos_uvs(std::uint8_t poly_flags) { return (poly_flags & 0x4) == 0; }
bool has_neg_uvs(std::uint8_t poly_flags, std::uint32_t sides_type) {
  return (poly_flags & 0x8) == 0 && sides_type == 2;
}

}  // namespace

void write_frame(ByteWriter& w, const dat::Frame& frame) {
  w.vector3(frame.origin).quaternion(frame.orientation);
}

void write_vec2duv(ByteWriter& w, const dat::Vec2Duv& uv) { w.f32(uv.u).f32(uv.v); }

void write_sw_vertex(ByteWriter& w, const dat::SWVertex& vertex) {
  const std::size_t n = std::min<std::size_t>(vertex.uvs.size(), 0xFFFF);
  w.u16(static_cast<std::uint16_t>(n)).vector3(vertex.origin).vector3(vertex.normal);
  for (std::size_t i = 0; i < n; ++i) write_vec2duv(w, vertex.uvs[i]);
}

void write_polygon(ByteWriter& w, const dat::Polygon& polygon) {
  const std::size_t n = std::min<std::size_t>(polygon.vertex_ids.size(), 0xFF);
  w.u8(static_cast<std::uint8_t>(n)).u8(polygon.poly_flags).u32(polygon.sides_type);
  w.u16(polygon.pos_surface).u16(polygon.neg_surface);
  for (std::size_t i = 0; i < n; ++i) w.u16(polygon.vertex_ids[i]);
  if (has_pos_uvs(polygon.poly_flags)) write_u8_exactly(w, polygon.pos_uv_indices, n);
  if (has_neg_uvs(polygon.poly_flags, polygon.sides_type)) {
    write_u8_exactly(w, polygon.neg_uv_indices, n);
  }
}

dat::Frame frame_at(float x, float y, float z) {
  return dat::Frame{common::Vector3{x, y, z}, common::Quaternion{1.0f, 0.0f, 0.0f, 0.0f}};
}

dat::SWVertex make_vertex(common::Vector3 origin, common::Vector3 normal,
                          std::vector<dat::Vec2Duv> uvs) {
  dat::SWVertex v;
  v.num_uvs = static_cast<std::uint16_t>(uvs.size());
  v.origin = origin;
  v.normal = normal;
  v.uvs = std::move(uvs);
  return v;
}

dat::Polygon make_polygon(std::vector<std::uint16_t> vertex_ids, std::uint16_t pos_surface,
                          std::uint8_t poly_flags, std::uint32_t sides_type,
                          std::uint16_t neg_surface) {
  dat::Polygon p;
  p.num_vertices = static_cast<std::uint8_t>(vertex_ids.size());
  p.poly_flags = poly_flags;
  p.sides_type = sides_type;
  p.pos_surface = pos_surface;
  p.neg_surface = neg_surface;
  std::vector<std::uint8_t> indices(p.num_vertices);
  for (std::size_t i = 0; i < indices.size(); ++i) indices[i] = static_cast<std::uint8_t>(i);
  if (has_pos_uvs(poly_flags)) p.pos_uv_indices = indices;
  if (has_neg_uvs(poly_flags, sides_type)) p.neg_uv_indices = indices;
  p.vertex_ids = std::move(vertex_ids);
  return p;
}

}  // namespace writer
