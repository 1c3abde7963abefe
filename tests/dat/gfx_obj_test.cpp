#include "dat/file_type/gfx_obj.hpp"

#include <gtest/gtest.h>

#include "record_test_support.hpp"
#include "writer/bsp_tree.hpp"
#include "writer/graphics_records.hpp"
#include "writer/model_records.hpp"

namespace {

using namespace record_test;
namespace bsp = writer::bsp;

dat::ReadResult<dat::GfxObj> decode(const Bytes& bytes, std::uint64_t* consumed = nullptr) {
  dat::RecordCursor cur(bytes);
  auto obj = dat::GfxObj::unpack(cur);
  if (consumed) *consumed = cur.position();
  return obj;
}

writer::GfxObjDesc empty_mesh(std::uint32_t flags) {
  writer::GfxObjDesc d;
  d.id = 0x01000001;
  d.flags = flags;
  d.reference_point = {1, 2, 3};
  d.linked_id = 0x01000099;
  return d;
}

TEST(GfxObj, SmallestRecordAndIgnoredFlags) {
  for (std::uint32_t flags : {0u, 0x4u}) {
    const Bytes bytes = writer::encode_gfx_obj(empty_mesh(flags));
    ASSERT_EQ(bytes.size(), 29u);
    auto obj = decode(bytes);
    ASSERT_TRUE(obj.has_value()) << obj.error().text();
    EXPECT_EQ(obj->flags, flags);
    EXPECT_TRUE(obj->surfaces.empty());
    EXPECT_EQ(obj->vertex_array.vertex_type, 1u);
    EXPECT_TRUE(obj->vertex_array.vertices.empty());
    EXPECT_TRUE(obj->physics_polygons.empty() && obj->drawing_polygons.empty());
    EXPECT_FALSE(obj->physics_bsp || obj->drawing_bsp || obj->linked_id);
    EXPECT_EQ(obj->reference_point.z, 3.0f);
  }
}

TEST(GfxObj, OnlyVertexTypeOneHasVertexRecords) {
  writer::GfxObjDesc d = empty_mesh(0x8);
  d.vertex_array.vertex_type = 2;
  d.vertex_array.vertices.resize(5);  // count 5, no records
  const Bytes bytes = writer::encode_gfx_obj(d);
  ASSERT_EQ(bytes.size(), 29u + 4);
  std::uint64_t consumed = 0;
  auto obj = decode(bytes, &consumed);
  ASSERT_TRUE(obj.has_value()) << obj.error().text();
  EXPECT_EQ(consumed, bytes.size());
  EXPECT_EQ(obj->vertex_array.vertex_type, 2u);
  EXPECT_TRUE(obj->vertex_array.vertices.empty());
  EXPECT_EQ(obj->reference_point.y, 2.0f);
  EXPECT_EQ(obj->linked_id, 0x01000099u);
}

TEST(GfxObj, TwoByteSurfaceCount) {
  writer::GfxObjDesc d = empty_mesh(0);
  for (std::uint32_t i = 0; i < 200; ++i) d.surfaces.push_back(0x08000000 + i);
  const Bytes bytes = writer::encode_gfx_obj(d);
  ASSERT_EQ(bytes[8], 0x80);  // 200 takes the two-byte form
  auto obj = decode(bytes);
  ASSERT_TRUE(obj.has_value());
  EXPECT_EQ(obj->surfaces, d.surfaces);
}

TEST(Polygon, IndexListsFollowFlagsAndSides) {
  struct Case {
    std::uint8_t flags;
    std::uint32_t sides;
    std::uint64_t size;
    bool pos;
    bool neg;
  };
  const Case cases[] = {
      {0x0, 2, 22, true, true},  {0x8, 2, 19, true, false}, {0x4, 1, 16, false, false},
      {0x0, 1, 19, true, false}, {0x4, 2, 19, false, true},
  };
  for (const auto& c : cases) {
    writer::ByteWriter w;
    writer::write_polygon(w, writer::make_polygon({4, 5, 6}, 7, c.flags, c.sides, 8));
    ASSERT_EQ(w.size(), c.size);
    w.u32(0xDDDDDDDD);
    dat::RecordCursor cur(w.view());
    auto p = dat::Polygon::read(cur);
    ASSERT_TRUE(p.has_value());
    EXPECT_EQ(cur.position(), c.size) << int(c.flags) << "/" << c.sides;
    EXPECT_EQ(p->num_vertices, 3);
    EXPECT_EQ(p->vertex_ids, (std::vector<std::uint16_t>{4, 5, 6}));
    EXPECT_EQ(p->pos_surface, 7);
    EXPECT_EQ(p->neg_surface, 8);
    EXPECT_EQ(p->pos_uv_indices.size(), c.pos ? 3u : 0u);
    EXPECT_EQ(p->neg_uv_indices.size(), c.neg ? 3u : 0u);
  }
}

TEST(GfxObj, RepeatedIdsKeepTheLaterEntry) {
  writer::GfxObjDesc d = empty_mesh(0x3);
  d.vertex_array.vertices = {{1, writer::make_vertex({1, 0, 0}, {})},
                             {1, writer::make_vertex({2, 0, 0}, {})}};
  d.physics_polygons = {{3, writer::make_polygon({0}, 10)}, {3, writer::make_polygon({0}, 11)}};
  d.drawing_polygons = {{4, writer::make_polygon({0}, 12)}, {4, writer::make_polygon({0}, 13)}};
  auto obj = decode(writer::encode_gfx_obj(d));
  ASSERT_TRUE(obj.has_value()) << obj.error().text();
  ASSERT_EQ(obj->vertex_array.vertices.size(), 1u);
  EXPECT_EQ(obj->vertex_array.vertices.at(1).origin.x, 2.0f);
  ASSERT_EQ(obj->physics_polygons.size(), 1u);
  EXPECT_EQ(obj->physics_polygons.at(3).pos_surface, 11);
  ASSERT_EQ(obj->drawing_polygons.size(), 1u);
  EXPECT_EQ(obj->drawing_polygons.at(4).pos_surface, 13);
}

TEST(GfxObj, SimpleMeshDecodes) {
  auto obj = decode(writer::encode_gfx_obj(
      writer::simple_mesh(0x01000007, {0x08000001, 0x08000002, 0x08000001})));
  ASSERT_TRUE(obj.has_value()) << obj.error().text();
  EXPECT_EQ(obj->surfaces, (std::vector<std::uint32_t>{0x08000001, 0x08000002, 0x08000001}));
  EXPECT_EQ(obj->vertex_array.vertices.size(), 3u);
  EXPECT_EQ(obj->drawing_polygons.size(), 3u);
  ASSERT_TRUE(obj->physics_bsp && obj->drawing_bsp);
  EXPECT_EQ(std::get<dat::InternalNode>(obj->drawing_bsp->value).polygon_ids,
            (std::vector<std::uint16_t>{0, 1, 2}));
}

// Every section: surfaces, vertices with uvs, both polygon maps and trees, linked_id.
writer::GfxObjDesc full_mesh() {
  writer::GfxObjDesc d = writer::simple_mesh(0x01000008, {0x08000010, 0x08000011});
  d.flags = 0xB;
  d.vertex_array.vertices[0].second =
      writer::make_vertex({1, 2, 3}, {4, 5, 6}, {{0.5f, 0.25f}, {1, 1}});
  d.linked_id = 0x01000042;
  return d;
}

TEST(GfxObj, EveryCutFailsWithItsFrames) {
  const Bytes bytes = writer::encode_gfx_obj(full_mesh());
  {
    auto obj = decode(bytes);
    ASSERT_TRUE(obj.has_value()) << obj.error().text();
    EXPECT_EQ(obj->linked_id, 0x01000042u);
    EXPECT_EQ(obj->vertex_array.vertices.at(0).uvs.size(), 2u);
  }
  expect_every_cut_fails(bytes, unpack_error<dat::GfxObj>);

  constexpr std::size_t kVertices = 8 + 1 + 8 + 8;     // head, surfaces, type and count
  constexpr std::size_t kFirstVertex = kVertices + 2;  // past its id
  constexpr std::size_t kSecondUv = kFirstVertex + 26 + 8;
  // Counted back from the end: linked_id, reference_point, the drawing tree and the drawing
  // polygons (a one-byte count and two of 2 + 19 bytes).
  const std::size_t reference_point =
      bytes.size() - 4 - 12 -
      bsp::encode_tree(bsp::small_tree({0, 1}), dat::BspTreeKind::Drawing).size() - 1 -
      2 * (2 + 19);
  const std::size_t physics_tree =
      reference_point - bsp::encode_tree(bsp::small_tree({0}), dat::BspTreeKind::Physics).size();
  struct Case {
    std::size_t cut;
    Frames frames;
  };
  const Case cases[] = {
      {6, {}},
      {9, {}},  // inside the surfaces
      {kVertices - 2, {}},
      {kFirstVertex + 1, {"While parsing field 'num_uvs' in SWVertex"}},
      {kFirstVertex + 2 + 12 + 5,
       {"While parsing field 'y' in Vector3", "While parsing field 'normal' in SWVertex"}},
      {kSecondUv + 5,
       {"While parsing field 'v' in Vec2Duv", "While parsing field 'uvs' in SWVertex"}},
      {physics_tree - 3, {}},  // inside a physics polygon
      {physics_tree + 4 + 10,
       {"While parsing field 'z' in Vector3", "While parsing field 'normal' in Plane"}},
      {reference_point + 1, {"While parsing field 'x' in Vector3"}},
      {bytes.size() - 2, {}},  // inside linked_id
  };
  for (const auto& c : cases) {
    auto error = unpack_error<dat::GfxObj>(prefix(bytes, c.cut));
    ASSERT_TRUE(error.has_value()) << "cut " << c.cut;
    EXPECT_EQ(frames(*error), c.frames) << "cut " << c.cut;
  }
}

TEST(GfxObj, HugeCountsFailAtTheEndOfTheData) {
  // A vertex count of 4,000,000,000 over two vertices.
  writer::ByteWriter vertices;
  vertices.u32(0x01000001).u32(0).u8(0).u32(1).u32(4'000'000'000u);
  for (std::uint16_t id = 0; id < 2; ++id) {
    vertices.u16(id);
    writer::write_sw_vertex(vertices, writer::make_vertex({}, {}));
  }
  // The largest compressed polygon count over one polygon.
  writer::ByteWriter polygons;
  polygons.u32(0x01000001).u32(1).u8(0).u32(1).u32(0).compressed_u32(0x3FFFFFFF).u16(0);
  writer::write_polygon(polygons, writer::make_polygon({0, 1, 2}, 0));
  // A uv count of 65,535 over one uv.
  writer::ByteWriter uvs;
  uvs.u32(0x01000001).u32(0).u8(0).u32(1).u32(1).u16(0).u16(0xFFFF).vector3({}).vector3({});
  writer::write_vec2duv(uvs, {});

  for (const auto* w : {&vertices, &polygons, &uvs}) {
    std::uint64_t consumed = 0;
    auto obj = decode(w->view(), &consumed);
    ASSERT_FALSE(obj.has_value());
    EXPECT_EQ(obj.error().kind, dat::ReadErrorKind::EndOfData);
    EXPECT_EQ(consumed, w->size());
  }
}

TEST(GfxObj, TooDeepTreeFailsTheMesh) {
  dat::BspNode tree = bsp::leaf(0);
  for (int level = 1; level < 257; ++level) {
    tree = bsp::internal(dat::bsp_code::BpnN, std::nullopt, std::move(tree));
  }
  writer::GfxObjDesc d = empty_mesh(0x2);
  d.drawing_bsp = std::move(tree);
  auto obj = decode(writer::encode_gfx_obj(d));
  ASSERT_FALSE(obj.has_value());
  EXPECT_EQ(obj.error().kind, dat::ReadErrorKind::InvalidData);
  EXPECT_EQ(obj.error().message, "BSP tree deeper than 256 levels");
  EXPECT_TRUE(obj.error().context.empty());
}

}  // namespace
