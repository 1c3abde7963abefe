#include "dat/landblock.hpp"

#include <gtest/gtest.h>

#include "record_test_support.hpp"
#include "writer/cell_records.hpp"
#include "writer/graphics_records.hpp"

namespace {

using namespace record_test;

std::optional<dat::ReadError> landblock_error(std::span<const std::uint8_t> bytes) {
  auto result = dat::LandblockInfo::unpack(bytes);
  if (result) return std::nullopt;
  const auto* bin_read = std::get_if<dat::DatError::BinRead>(&result.error().value);
  EXPECT_NE(bin_read, nullptr) << "landblock failures are BinRead";
  if (bin_read == nullptr) return dat::ReadError::invalid_data("not BinRead", 0);
  return bin_read->error;
}

// Every optional section: two objects, a building with an odd and an even stab list,
// a second building without portals, and a restriction table with a repeated key.
writer::LandblockInfoDesc full_landblock() {
  writer::LandblockInfoDesc d;
  d.id = 0xA9B4FFFF;
  d.num_cells = 5;
  d.objects = {{0x02000001, writer::frame_at(1, 2, 3)}, {0x01000002, writer::frame_at(4, 5, 6)}};
  d.pack_mask = 3;
  d.buildings = {
      {0x01000010,
       writer::frame_at(7, 8, 9),
       4,
       {{1, 0x100, 2, {10, 11, 12}}, {3, 0x101, 4, {13, 14}}}},
      {0x02000011, writer::frame_at(0, 0, 0), 0, {}},
  };
  d.restriction_table = {16, {{7, 70}, {8, 80}, {7, 71}}};
  return d;
}

TEST(LandblockInfo, DecodesEverySection) {
  const Bytes bytes = writer::encode_landblock_info(full_landblock());
  auto info = dat::LandblockInfo::unpack(bytes);
  ASSERT_TRUE(info.has_value()) << info.error().message();
  EXPECT_EQ(info->id, 0xA9B4FFFFu);
  EXPECT_EQ(info->num_cells, 5u);
  ASSERT_EQ(info->objects.size(), 2u);
  EXPECT_EQ(info->objects[1].id, 0x01000002u);
  EXPECT_EQ(info->objects[1].frame.origin.y, 5.0f);
  EXPECT_EQ(info->objects[1].frame.orientation.w, 1.0f);
  EXPECT_EQ(info->pack_mask, 3);
  ASSERT_EQ(info->buildings.size(), 2u);
  const auto& b = info->buildings[0];
  EXPECT_EQ(b.model_id, 0x01000010u);
  EXPECT_EQ(b.num_leaves, 4u);
  ASSERT_EQ(b.portals.size(), 2u);
  EXPECT_EQ(b.portals[0].other_cell_id, 0x100);
  EXPECT_EQ(b.portals[0].stab_list, (std::vector<std::uint16_t>{10, 11, 12}));
  // Read 2 bytes past the odd list's padding.
  EXPECT_EQ(b.portals[1].flags, 3);
  EXPECT_EQ(b.portals[1].stab_list, (std::vector<std::uint16_t>{13, 14}));
  EXPECT_EQ(info->buildings[1].model_id, 0x02000011u);
  ASSERT_TRUE(info->restriction_tables.has_value());
  const auto& tables = info->restriction_tables->tables;
  EXPECT_EQ(tables.size(), 2u);
  EXPECT_EQ(tables.at(7), 71u);  // the later pair wins
  EXPECT_EQ(tables.at(8), 80u);
}

TEST(LandblockInfo, SizeExamples) {
  writer::ByteWriter twelve;
  twelve.u32(1).u32(0).u32(0);
  auto short_record = landblock_error(twelve.view());
  ASSERT_TRUE(short_record.has_value());
  EXPECT_EQ(frames(*short_record), Frames{"While parsing field 'num_buildings' in LandblockInfo"});

  writer::ByteWriter sixteen = twelve;
  sixteen.u16(0).u16(0);
  auto empty = dat::LandblockInfo::unpack(sixteen.view());
  ASSERT_TRUE(empty.has_value());
  EXPECT_TRUE(empty->objects.empty());
  EXPECT_TRUE(empty->buildings.empty());
  EXPECT_FALSE(empty->restriction_tables.has_value());

  // Only bit 0 of pack_mask asks for the table; bytes after the record are ignored.
  for (std::uint16_t mask : {2, 3}) {
    writer::LandblockInfoDesc d;
    d.pack_mask = mask;
    d.restriction_table.pairs = {{1, 2}};
    Bytes bytes = writer::encode_landblock_info(d);
    bytes.resize(bytes.size() + 12, 0xEE);
    auto info = dat::LandblockInfo::unpack(bytes);
    ASSERT_TRUE(info.has_value()) << "pack_mask " << mask;
    EXPECT_EQ(info->restriction_tables.has_value(), mask == 3) << "pack_mask " << mask;
  }
}

TEST(PortalInternal, OddStabListsArePaddedToFourBytes) {
  struct Case {
    std::vector<std::uint16_t> stabs;
    std::uint64_t size;
  };
  for (const Case& c : {Case{{}, 8}, Case{{1}, 12}, Case{{1, 2}, 12}, Case{{1, 2, 3}, 16}}) {
    writer::ByteWriter w;
    writer::write_portal_internal(w, {0, 0, 0, c.stabs});
    w.u32(0xDDDDDDDD);
    dat::RecordCursor cur(w.view());
    auto portal = dat::PortalInternal::read(cur);
    ASSERT_TRUE(portal.has_value());
    EXPECT_EQ(portal->stab_list, c.stabs);
    EXPECT_EQ(cur.position(), c.size) << c.stabs.size() << " stabs";
  }
}

TEST(LandblockInfo, OddStabListMayEndTheDataWithoutPadding) {
  writer::LandblockInfoDesc d;
  d.buildings = {{0x01000010, writer::frame_at(0, 0, 0), 0, {{0, 0, 0, {5}}}}};
  Bytes bytes = writer::encode_landblock_info(d);
  bytes.resize(bytes.size() - 2);
  auto info = dat::LandblockInfo::unpack(bytes);
  ASSERT_TRUE(info.has_value());
  EXPECT_EQ(info->buildings.at(0).portals.at(0).stab_list, std::vector<std::uint16_t>{5});
}

TEST(LandblockInfo, EveryCutFailsWithItsFrames) {
  const Bytes bytes = writer::encode_landblock_info(full_landblock());
  expect_every_cut_fails(bytes, landblock_error);

  constexpr std::size_t kHead = 12, kStab = 32, kFrameAt = 4;
  constexpr std::size_t kBuildings = kHead + 2 * kStab + 4;
  constexpr std::size_t kFirstPortal = kBuildings + 4 + 28 + 8;
  constexpr std::size_t kTable = kFirstPortal + 16 + 12 + 4 + 28 + 8;
  struct Case {
    std::size_t cut;
    Frames frames;
  };
  const Case cases[] = {
      {2, {"While parsing field 'id' in LandblockInfo"}},
      {kHead + kStab + kFrameAt + 4 + 2,  // inside y of the second object's origin
       {"While parsing field 'y' in Vector3", "While parsing field 'origin' in Frame",
        "While parsing field 'frame' in Stab", "While parsing field 'objects' in LandblockInfo"}},
      {kHead + kStab + 1,
       {"While parsing field 'id' in Stab", "While parsing field 'objects' in LandblockInfo"}},
      {kHead + 2 * kStab + 3, {"While parsing field 'pack_mask' in LandblockInfo"}},
      {kBuildings + 4 + 12 + 1,  // inside w of the first building's orientation
       {"While parsing field 'w' in Quaternion", "While parsing field 'orientation' in Frame",
        "While parsing field 'frame' in BuildInfo",
        "While parsing field 'buildings' in LandblockInfo"}},
      {kBuildings + 4 + 28 + 6,
       {"While parsing field 'num_portals' in BuildInfo",
        "While parsing field 'buildings' in LandblockInfo"}},
      {kFirstPortal + 8 + 3,  // inside the second stab of the first portal
       {"While parsing field 'stab_list' in PortalInternal",
        "While parsing field 'portals' in BuildInfo",
        "While parsing field 'buildings' in LandblockInfo"}},
      {kFirstPortal + 16 + 3,
       {"While parsing field 'other_cell_id' in PortalInternal",
        "While parsing field 'portals' in BuildInfo",
        "While parsing field 'buildings' in LandblockInfo"}},
      {kTable + 3,
       {"While parsing field '_bucket_size' in RestrictionTable",
        "While parsing field 'restriction_tables' in LandblockInfo"}},
      {kTable + 4 + 8 + 6,
       {"While parsing field 'tables' in RestrictionTable",
        "While parsing field 'restriction_tables' in LandblockInfo"}},
  };
  for (const auto& c : cases) {
    auto error = landblock_error(prefix(bytes, c.cut));
    ASSERT_TRUE(error.has_value()) << "cut " << c.cut;
    EXPECT_EQ(frames(*error), c.frames) << "cut " << c.cut;
  }
  ASSERT_EQ(kTable + 4 + 3 * 8, bytes.size());

  auto whole = dat::LandblockInfo::unpack(prefix(bytes, 2));
  ASSERT_FALSE(whole.has_value());
  EXPECT_EQ(whole.error().message(),
            "Binary read error: failed to fill whole buffer\n"
            "While parsing field 'id' in LandblockInfo");
}

TEST(LandblockInfo, HugeObjectCountFailsAtTheEndOfTheData) {
  writer::ByteWriter w;
  w.u32(1).u32(0).u32(4'000'000'000u);
  for (int i = 0; i < 8; ++i) writer::write_stab(w, {0x01000000u + i, writer::frame_at(0, 0, 0)});
  auto error = landblock_error(w.view());
  ASSERT_TRUE(error.has_value());
  EXPECT_EQ(error->kind, dat::ReadErrorKind::EndOfData);
  EXPECT_EQ(frames(*error), (Frames{"While parsing field 'id' in Stab",
                                    "While parsing field 'objects' in LandblockInfo"}));
}

}  // namespace
