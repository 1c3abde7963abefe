#pragma once
// Records of the graphics module shared by several formats.

#include <cstdint>
#include <unordered_map>
#include <vector>

#include "common/math.hpp"
#include "dat/cursor.hpp"

namespace dat {

// A position plus an orientation, 28 bytes on disk.
struct Frame {
  common::Vector3 origin;
  common::Quaternion orientation;
};

ReadResult<Frame> read_frame(RecordCursor& cur);

// A texture coordinate pair: u f32, v f32.
struct Vec2Duv {
  float u = 0.0f;
  float v = 0.0f;

  static ReadResult<Vec2Duv> read(RecordCursor& cur);
};

// One mesh vertex: num_uvs u16, origin Vector3, normal Vector3, uvs[num_uvs] Vec2Duv.
struct SWVertex {
  std::uint16_t num_uvs = 0;  // as read; the length of uvs
  common::Vector3 origin;
  common::Vector3 normal;
  std::vector<Vec2Duv> uvs;

  static ReadResult<SWVertex> read(RecordCursor& cur);
};

// vertex_type u32, count u32, then, only when vertex_type is 1, count × (id u16, SWVertex).
// For any other vertex_type the count is read and ignored.
struct CVertexArray {
  std::uint32_t vertex_type = 0;
  // A later vertex with an id already seen replaces the earlier one.
  std::unordered_map<std::uint16_t, SWVertex> vertices;

  static ReadResult<CVertexArray> read(RecordCursor& cur);
};

// num_vertices u8, poly_flags u8, sides_type u32, pos_surface u16, neg_surface u16,
// vertex_ids[n] u16, pos_uv_indices[n] u8 unless poly_flags 0x4,
// neg_uv_indices[n] u8 when poly_flags 0x8 is clear and sides_type is 2.
struct Polygon {
  std::uint8_t num_vertices = 0;  // as read; the length of vertex_ids and of each index list
  std::uint8_t poly_flags = 0;
  std::uint32_t sides_type = 0;
  std::uint16_t pos_surface = 0;
  std::uint16_t neg_surface = 0;
  std::vector<std::uint16_t> vertex_ids;
  std::vector<std::uint8_t> pos_uv_indices;
  std::vector<std::uint8_t> neg_uv_indices;

  static ReadResult<Polygon> read(RecordCursor& cur);
};

}  // namespace dat
