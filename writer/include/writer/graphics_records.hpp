#pragma once
// Encoders of the graphics records shared by the cell and model formats.
//
// Encoders produce well-formed records: every count written is the length of the list it
// counts (the num_uvs / num_vertices fields of the records are not consulted), and a list
// whose length another field fixes is padded with zeros or cut to that length. Malformed
// data is composed from these pieces with a ByteWriter.

#include <cstdint>
#include <vector>

#include "common/math.hpp"
#include "dat/graphics.hpp"
#include "writer/byte_writer.hpp"

namespace writer {

void write_frame(ByteWriter& w, const dat::Frame& frame);
void write_vec2duv(ByteWriter& w, const dat::Vec2Duv& uv);
void write_sw_vertex(ByteWriter& w, const dat::SWVertex& vertex);
// The index lists are written when the reader reads them: pos_uv_indices unless poly_flags
// 0x4, neg_uv_indices when poly_flags 0x8 is clear and sides_type is 2.
void write_polygon(ByteWriter& w, const dat::Polygon& polygon);

// A frame at `origin` with the identity orientation.
dat::Frame frame_at(float x, float y, float z);

// A vertex whose num_uvs matches its uvs.
dat::SWVertex make_vertex(common::Vector3 origin, common::Vector3 normal,
                          std::vector<dat::Vec2Duv> uvs = {});

// A polygon over `vertex_ids` whose index lists are present exactly as its flags and sides
// say, holding 0, 1, 2, ...
dat::Polygon make_polygon(std::vector<std::uint16_t> vertex_ids, std::uint16_t pos_surface,
                          std::uint8_t poly_flags = 0, std::uint32_t sides_type = 1,
                          std::uint16_t neg_surface = 0);

}  // namespace writer
