#include "dat/file_type/setup_model.hpp"

#include <gtest/gtest.h>

#include "record_test_support.hpp"
#include "writer/graphics_records.hpp"
#include "writer/model_records.hpp"

namespace {

using namespace record_test;

dat::ReadResult<dat::SetupModel> decode(std::span<const std::uint8_t> bytes,
                                        std::uint64_t* consumed = nullptr) {
  dat::RecordCursor cur(bytes);
  auto setup = dat::SetupModel::unpack(cur);
  if (consumed) *consumed = cur.position();
  return setup;
}

dat::LightInfo light(std::uint32_t color) {
  return dat::LightInfo{writer::frame_at(0, 0, 1), color, 2, 3, 4};
}

TEST(SetupModel, SmallestRecord) {
  const Bytes bytes = writer::encode_setup_model({});
  ASSERT_EQ(bytes.size(), 104u);
  auto setup = decode(bytes);
  ASSERT_TRUE(setup.has_value()) << setup.error().text();
  EXPECT_TRUE(setup->parts.empty() && setup->parent_indices.empty() && setup->part_scales.empty());
  EXPECT_TRUE(setup->location_map_1.empty() && setup->location_map_2.empty());
  EXPECT_TRUE(setup->placements.empty() && setup->lights.empty());
  EXPECT_TRUE(setup->cyl_spheres.empty() && setup->spheres.empty());
  EXPECT_EQ(setup->scalars, (std::array<std::uint32_t, 4>{}));
  for (const auto& id : setup->optional_ids) EXPECT_FALSE(id.has_value());
}

TEST(SetupModel, PartListsFollowTheFlags) {
  struct Case {
    std::uint32_t flags;
    std::size_t size;
    std::size_t parents;
    std::size_t scales;
  };
  for (const Case& c : {Case{0x3, 104 + 8 + 8 + 24, 2, 2}, Case{0x4, 104 + 8, 0, 0},
                        Case{0x1, 104 + 8 + 8, 2, 0}, Case{0x2, 104 + 8 + 24, 0, 2}}) {
    writer::SetupModelDesc d;
    d.flags = c.flags;
    d.parts = {0x01000001, 0x01000001};
    d.parent_indices = {7, 8};
    d.part_scales = {{1, 1, 1}, {2, 2, 2}};
    const Bytes bytes = writer::encode_setup_model(d);
    ASSERT_EQ(bytes.size(), c.size) << "flags " << c.flags;
    auto setup = decode(bytes);
    ASSERT_TRUE(setup.has_value()) << setup.error().text();
    EXPECT_EQ(setup->parts, d.parts);  // duplicates kept
    EXPECT_EQ(setup->parent_indices.size(), c.parents);
    ASSERT_EQ(setup->part_scales.size(), c.scales);
    if (c.scales) {
      EXPECT_EQ(setup->part_scales[1].y, 2.0f);
    }
  }
}

TEST(SetupModel, NegativePlacementCountIsRejected) {
  writer::ByteWriter w;
  w.u32(0x0200ABCD).u32(0).u32(0).u32(0).u32(0).u32(0xFFFFFFFF).zeros(80);
  auto setup = decode(w.view());
  ASSERT_FALSE(setup.has_value());
  EXPECT_EQ(setup.error().kind, dat::ReadErrorKind::InvalidData);
  EXPECT_EQ(setup.error().text(),
            "SetupModel 0x0200ABCD declared negative placement count -1 at 0x18");

  writer::ByteWriter big;
  big.u32(0x0200ABCD).u32(0).u32(0).u32(0).u32(0).u32(0x7FFFFFFF).zeros(40);
  auto huge = decode(big.view());
  ASSERT_FALSE(huge.has_value());
  EXPECT_EQ(huge.error().kind, dat::ReadErrorKind::EndOfData);
}

TEST(PlacementType, TakesOneFramePerPart) {
  writer::ByteWriter w;
  writer::write_placement(w, {}, 3);
  ASSERT_EQ(w.size(), 84u + 4);
  dat::RecordCursor cur(w.view());
  auto placement = dat::PlacementType::read(cur, 3);
  ASSERT_TRUE(placement.has_value());
  EXPECT_EQ(placement->frames.size(), 3u);
  EXPECT_EQ(cur.position(), 88u);
}

TEST(AnimationHook, EveryTypeTakesItsPayload) {
  const std::size_t payload_sizes[27] = {0, 4, 4, 28, 0, 4, 4,  16, 12, 16, 12, 16, 8, 40,
                                         4, 4, 4, 0,  4, 8, 12, 16, 12, 8,  12, 4,  40};
  for (std::uint32_t type = 0; type < 27; ++type) {
    writer::ByteWriter w;
    writer::write_hook(w, writer::make_hook(type, 0x1234));
    ASSERT_EQ(w.size(), 8 + payload_sizes[type]) << "type " << type;
    w.u32(0xDDDDDDDD);
    dat::RecordCursor cur(w.view());
    auto hook = dat::AnimationHook::read(cur);
    ASSERT_TRUE(hook.has_value()) << "type " << type;
    EXPECT_EQ(cur.position(), 8 + payload_sizes[type]) << "type " << type;
    EXPECT_EQ(hook->hook_type, type);
    EXPECT_EQ(hook->hook_param, 0x1234u);
    EXPECT_EQ(hook->payload, writer::make_hook(type).payload) << "type " << type;
  }

  writer::ByteWriter w;
  w.u32(27).u32(0).zeros(8);
  dat::RecordCursor cur(w.view());
  auto hook = dat::AnimationHook::read(cur);
  ASSERT_FALSE(hook.has_value());
  EXPECT_EQ(hook.error().text(), "Unsupported AnimationHook type: 0x0000001B at 0x8");
}

TEST(AnimationHook, TypeFivePadsFromItsOwnFirstByte) {
  struct Case {
    Bytes payload;  // as stored after the head; padding included
    Bytes built;    // what make_type5_hook writes for the same values
    std::uint16_t word;
    std::uint16_t second;
  };
  const Case cases[] = {
      {{0x07, 0x34, 0x12, 0xAA}, {0x07, 0x34, 0x12, 0x00}, 0x1234, 0},
      {{0x07, 0x34, 0x92, 0x78, 0x56, 0xAA, 0xBB, 0xCC},
       {0x07, 0x34, 0x92, 0x78, 0x56, 0, 0, 0},
       0x9234,
       0x5678},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(writer::make_type5_hook(9, 0x07, c.word, c.second).payload, c.built);
    // One leading byte puts the hook at an odd file offset: the padding still counts from
    // the hook's first byte.
    for (std::size_t lead : {0u, 1u, 3u}) {
      writer::ByteWriter w;
      w.zeros(lead).u32(5).u32(9).bytes(c.payload).u32(0xDDDDDDDD);
      dat::RecordCursor cur(w.view());
      cur.skip(lead);
      auto hook = dat::AnimationHook::read(cur);
      ASSERT_TRUE(hook.has_value());
      EXPECT_EQ(hook->payload, c.payload) << "lead " << lead;
      EXPECT_EQ(cur.position(), lead + 8 + c.payload.size()) << "lead " << lead;
    }
  }
}

TEST(SetupModel, RepeatedKeysKeepTheLaterEntry) {
  writer::SetupModelDesc d = writer::simple_setup(0x02000001, {0x01000001});
  d.location_map_1 = {{1, {10, writer::frame_at(0, 0, 0)}}, {1, {11, writer::frame_at(0, 0, 0)}}};
  d.location_map_2 = {{2, {20, writer::frame_at(0, 0, 0)}},
                      {3, {30, writer::frame_at(0, 0, 0)}},
                      {2, {21, writer::frame_at(0, 0, 0)}}};
  d.placements = {{0, {{writer::frame_at(1, 0, 0)}, {}}}, {0, {{writer::frame_at(2, 0, 0)}, {}}}};
  d.lights = {{5, light(100)}, {5, light(101)}};
  auto setup = decode(writer::encode_setup_model(d));
  ASSERT_TRUE(setup.has_value()) << setup.error().text();
  ASSERT_EQ(setup->location_map_1.size(), 1u);
  EXPECT_EQ(setup->location_map_1.at(1).part_id, 11u);
  ASSERT_EQ(setup->location_map_2.size(), 2u);
  EXPECT_EQ(setup->location_map_2.at(2).part_id, 21u);
  ASSERT_EQ(setup->placements.size(), 1u);
  EXPECT_EQ(setup->placements.at(0).frames.at(0).origin.x, 2.0f);
  ASSERT_EQ(setup->lights.size(), 1u);
  EXPECT_EQ(setup->lights.at(5).color, 101u);
}

// Every section, with hooks of both type 5 forms among others.
writer::SetupModelDesc full_setup() {
  writer::SetupModelDesc d = writer::simple_setup(0x02000010, {0x01000001, 0x01000002});
  d.flags = 0x3;
  d.parent_indices = {0xFFFFFFFF, 0};
  d.part_scales = {{1, 1, 1}, {0.5f, 0.5f, 0.5f}};
  d.location_map_1 = {{1, {0, writer::frame_at(1, 1, 1)}}};
  d.location_map_2 = {{2, {1, writer::frame_at(2, 2, 2)}}};
  d.placements[0].second.hooks = {writer::make_type5_hook(0, 1, 2), writer::make_hook(13),
                                  writer::make_type5_hook(0, 1, 0x8002, 3)};
  d.placements.emplace_back(7, dat::PlacementType{{}, {writer::make_hook(17)}});
  d.cyl_spheres = {{{1, 2, 3}, 4, 5}};
  d.spheres = {{{1, 1, 1}, 2}};
  d.scalars = {1, 2, 3, 4};
  d.sphere_1 = {{0, 0, 0}, 10};
  d.sphere_2 = {{0, 0, 0}, 20};
  d.lights = {{9, light(0xFF00FF)}};
  d.optional_ids = {0, 1, 0, 0x02000001, 0};
  return d;
}

TEST(SetupModel, EveryCutFailsWithItsFrames) {
  const Bytes bytes = writer::encode_setup_model(full_setup());
  {
    auto setup = decode(bytes);
    ASSERT_TRUE(setup.has_value()) << setup.error().text();
    EXPECT_EQ(setup->parts, (std::vector<std::uint32_t>{0x01000001, 0x01000002}));
    const auto& hooks = setup->placements.at(0).hooks;
    ASSERT_EQ(hooks.size(), 3u);
    EXPECT_EQ(hooks[0].payload.size(), 4u);
    EXPECT_EQ(hooks[2].payload.size(), 8u);
    EXPECT_EQ(setup->placements.at(7).hooks.at(0).hook_type, 17u);
    EXPECT_EQ(setup->placements.at(7).frames.size(), 2u);
    EXPECT_EQ(setup->cyl_spheres.at(0).height, 5.0f);
    EXPECT_EQ(setup->scalars, (std::array<std::uint32_t, 4>{1, 2, 3, 4}));
    EXPECT_EQ(setup->sphere_2.radius, 20.0f);
    EXPECT_EQ(setup->lights.at(9).color, 0xFF00FFu);
    const std::array<std::optional<std::uint32_t>, 5> ids = {std::nullopt, 1, std::nullopt,
                                                             0x02000001, std::nullopt};
    EXPECT_EQ(setup->optional_ids, ids);
  }
  expect_every_cut_fails(bytes, unpack_error<dat::SetupModel>);

  constexpr std::size_t kScales = 12 + 8 + 8;
  constexpr std::size_t kLocations = kScales + 24;
  constexpr std::size_t kPlacements = kLocations + 2 * (4 + 4 + 32);
  constexpr std::size_t kHooks = kPlacements + 4 + 4 + 56 + 4;
  constexpr std::size_t kSecondPlacement = kHooks + (8 + 4) + (8 + 40) + (8 + 8);
  constexpr std::size_t kCylSpheres = kSecondPlacement + 4 + 56 + 4 + 8;
  constexpr std::size_t kLights = kCylSpheres + 4 + 20 + 4 + 16 + 16 + 32;
  struct Case {
    std::size_t cut;
    Frames frames;
  };
  const Case cases[] = {
      {10, {}},
      {kScales - 1, {}},  // inside parent_indices
      {kScales + 12 + 9, {"While parsing field 'z' in Vector3"}},
      {kLocations + 4 + 4 + 2, {"While parsing field 'part_id' in LocationType"}},
      {kLocations + 4 + 4 + 4 + 5,  // inside y of the first location's origin
       {"While parsing field 'y' in Vector3", "While parsing field 'origin' in Frame",
        "While parsing field 'frame' in LocationType"}},
      {kPlacements + 2, {}},
      {kPlacements + 4 + 4 + 28 + 12 + 5,  // inside x of the second frame's orientation
       {"While parsing field 'x' in Quaternion", "While parsing field 'orientation' in Frame"}},
      {kHooks + 6, {}},            // inside a hook head
      {kHooks + 8 + 3, {}},        // inside the type 5 padding
      {kHooks + 12 + 8 + 20, {}},  // inside a fixed payload
      {kCylSpheres + 4 + 18, {"While parsing field 'height' in CylSphere"}},
      {kCylSpheres + 4 + 20 + 4 + 14, {"While parsing field 'radius' in Sphere"}},
      {kLights - 2, {"While parsing field 'radius' in Sphere"}},  // sphere_2
      {kLights + 4 + 4 + 28 + 1, {"While parsing field 'color' in LightInfo"}},
      {kLights + 4 + 4 + 28 + 14, {"While parsing field 'cone_angle' in LightInfo"}},
      {kLights + 4 + 4 + 44 + 18, {}},  // inside optional_ids
  };
  for (const auto& c : cases) {
    auto error = unpack_error<dat::SetupModel>(prefix(bytes, c.cut));
    ASSERT_TRUE(error.has_value()) << "cut " << c.cut;
    EXPECT_EQ(frames(*error), c.frames) << "cut " << c.cut;
  }
  ASSERT_EQ(kLights + 4 + 4 + 44 + 20, bytes.size());
}

TEST(SetupModel, HugePartCountFailsAtTheEndOfTheData) {
  writer::ByteWriter w;
  w.u32(0x02000001).u32(0).u32(4'000'000'000u);
  for (std::uint32_t i = 0; i < 10; ++i) w.u32(0x01000000 + i);
  std::uint64_t consumed = 0;
  auto setup = decode(w.view(), &consumed);
  ASSERT_FALSE(setup.has_value());
  EXPECT_EQ(setup.error().text(), "failed to fill whole buffer");
  EXPECT_EQ(consumed, w.size());
}

}  // namespace
