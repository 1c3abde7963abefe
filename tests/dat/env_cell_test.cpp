#include "dat/file_type/env_cell.hpp"

#include <gtest/gtest.h>

#include "record_test_support.hpp"
#include "writer/cell_records.hpp"
#include "writer/graphics_records.hpp"

namespace {

using namespace record_test;

dat::EnvCell cell_with_flags(std::uint32_t flags) {
  dat::EnvCell c;
  c.id = 0xA9B40100;
  c.flags = flags;
  c.position = writer::frame_at(1, 2, 3);
  return c;
}

// Every optional section, with odd u16 lists so that no padding is assumed.
dat::EnvCell full_cell() {
  dat::EnvCell c = cell_with_flags(10);
  c.aux_word = 0x11;
  c.surfaces = {0x0123, 0xFFFF, 0x0000};
  c.aux_a = 0x22;
  c.aux_b = 0x33;
  c.portals = {{1, 2, 3, 4}, {5, 6, 7, 8}};
  c.aux_values = {9, 10, 11};
  c.stabs = {{0x02000005, writer::frame_at(4, 5, 6)}, {0x01000006, writer::frame_at(7, 8, 9)}};
  c.trailer = 0x44;
  return c;
}

dat::ReadResult<dat::EnvCell> decode(std::span<const std::uint8_t> bytes) {
  dat::RecordCursor cur(bytes);
  return dat::EnvCell::unpack(cur);
}

TEST(EnvCell, DecodesEverySection) {
  auto cell = decode(writer::encode_env_cell(full_cell()));
  ASSERT_TRUE(cell.has_value()) << cell.error().text();
  EXPECT_EQ(cell->aux_word, 0x11u);
  EXPECT_EQ(cell->surfaces, (std::vector<std::uint16_t>{0x0123, 0xFFFF, 0x0000}));
  EXPECT_EQ(cell->aux_a, 0x22);
  EXPECT_EQ(cell->aux_b, 0x33);
  EXPECT_EQ(cell->position.origin.z, 3.0f);
  ASSERT_EQ(cell->portals.size(), 2u);
  EXPECT_EQ(cell->portals[1].polygon_id, 6);
  EXPECT_EQ(cell->portals[1].other_portal_id, 8);
  EXPECT_EQ(cell->aux_values, (std::vector<std::uint16_t>{9, 10, 11}));
  ASSERT_EQ(cell->stabs.size(), 2u);
  EXPECT_EQ(cell->stabs[0].stab_id, 0x02000005u);
  EXPECT_EQ(cell->stabs[1].position.origin.x, 7.0f);
  EXPECT_EQ(cell->trailer, 0x44u);
}

TEST(EnvCell, OptionalSectionsFollowTheFlags) {
  struct Case {
    std::uint32_t flags;
    std::size_t stabs;
    std::size_t size;  // bytes the record takes
    bool trailer;
  };
  const Case cases[] = {
      {0, 0, 48, false},
      {2, 0, 52, false},  // reading stops after num_stabs
      {8, 0, 52, true},   // trailer right after aux_values, no num_stabs
      {10, 1, 48 + 4 + 32 + 4, true},
      {0xF5, 0, 48, false},  // bits other than 1 and 3 mean nothing
  };
  for (const auto& c : cases) {
    dat::EnvCell desc = cell_with_flags(c.flags);
    desc.stabs.resize(c.stabs);
    desc.trailer = 0x77;
    Bytes bytes = writer::encode_env_cell(desc);
    ASSERT_EQ(bytes.size(), c.size) << "flags " << c.flags;
    bytes.resize(bytes.size() + 8, 0xEE);  // ignored
    dat::RecordCursor cur(bytes);
    auto cell = dat::EnvCell::unpack(cur);
    ASSERT_TRUE(cell.has_value()) << "flags " << c.flags;
    EXPECT_EQ(cur.position(), c.size) << "flags " << c.flags;
    EXPECT_EQ(cell->stabs.size(), c.stabs) << "flags " << c.flags;
    EXPECT_EQ(cell->trailer.has_value(), c.trailer) << "flags " << c.flags;
  }
}

TEST(EnvCell, EveryCutFailsWithItsFrames) {
  const Bytes bytes = writer::encode_env_cell(full_cell());
  expect_every_cut_fails(bytes, unpack_error<dat::EnvCell>);

  constexpr std::size_t kPosition = 16 + 6 + 4;
  constexpr std::size_t kPortals = kPosition + 28;
  constexpr std::size_t kStabs = kPortals + 16 + 6 + 4;
  struct Case {
    std::size_t cut;
    Frames frames;
  };
  const Case cases[] = {
      {14, {}},      // the cell's own fields add no frames
      {16 + 3, {}},  // inside the surfaces
      {kPosition + 1,
       {"While parsing field 'x' in Vector3", "While parsing field 'origin' in Frame"}},
      {kPortals + 8 + 5, {"While parsing field 'other_cell_id' in CellPortal"}},
      {kPortals + 16 + 3, {}},  // inside aux_values
      {kStabs - 1, {}},         // inside num_stabs
      {kStabs + 32 + 2, {"While parsing field 'stab_id' in Stab"}},
      {kStabs + 32 + 4 + 12 + 9,
       {"While parsing field 'y' in Quaternion", "While parsing field 'orientation' in Frame",
        "While parsing field 'position' in Stab"}},
      {kStabs + 64 + 2, {}},  // inside the trailer
  };
  for (const auto& c : cases) {
    auto error = unpack_error<dat::EnvCell>(prefix(bytes, c.cut));
    ASSERT_TRUE(error.has_value()) << "cut " << c.cut;
    EXPECT_EQ(frames(*error), c.frames) << "cut " << c.cut;
  }
  ASSERT_EQ(kStabs + 64 + 4, bytes.size());
}

TEST(EnvCell, HugeStabCountFailsAtTheEndOfTheData) {
  writer::ByteWriter w;
  w.u32(1).u32(2).u32(0).u8(0).u8(0).u16(0).u16(0).u16(0);
  writer::write_frame(w, writer::frame_at(0, 0, 0));
  w.u32(4'000'000'000u);
  for (int i = 0; i < 3; ++i) writer::write_env_cell_stab(w, {1, writer::frame_at(0, 0, 0)});
  dat::RecordCursor cur(w.view());
  auto cell = dat::EnvCell::unpack(cur);
  ASSERT_FALSE(cell.has_value());
  EXPECT_EQ(cell.error().kind, dat::ReadErrorKind::EndOfData);
  EXPECT_EQ(frames(cell.error()), Frames{"While parsing field 'stab_id' in Stab"});
  EXPECT_EQ(cur.position(), w.size());  // every stab present was read
}

}  // namespace
