// Corrupt counts, lengths and sizes cost no more memory than the data that is there: each
// case runs in a child process whose peak resident memory is measured (ru_maxrss) and must
// stay below 64 MiB, and which cannot map more than 64 MiB beyond what it starts with (so
// memory reserved from a count but never touched fails too). The child starts as a copy of
// this test process, so the figure includes the test's own share: an upper bound.

#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "dat/database.hpp"
#include "dat/file_type/env_cell.hpp"
#include "dat/file_type/gfx_obj.hpp"
#include "dat/file_type/palette.hpp"
#include "dat/file_type/setup_model.hpp"
#include "dat/file_type/surface_texture.hpp"
#include "dat/file_type/texture.hpp"
#include "dat/landblock.hpp"
#include "dat/physics.hpp"
#include "dat/utils.hpp"
#include "support/child_process.hpp"
#include "support/temp_archive.hpp"
#include "writer/archive_image.hpp"
#include "writer/bsp_tree.hpp"
#include "writer/byte_writer.hpp"
#include "writer/graphics_records.hpp"

namespace {

using Bytes = std::vector<std::uint8_t>;
using writer::ByteWriter;

constexpr long kLimitKiB = 64 * 1024;
constexpr std::uint32_t kHuge = 4'000'000'000u;

// Whether the child's outcome was the expected one; 0 means yes.
int outcome(bool as_expected) { return as_expected ? 0 : 1; }

bool is_end_of_data(const dat::ReadError& e) { return e.kind == dat::ReadErrorKind::EndOfData; }
bool is_end_of_data(const dat::DatError& e) {
  const auto* bin = std::get_if<dat::DatError::BinRead>(&e.value);
  return bin != nullptr && is_end_of_data(bin->error);
}

struct Case {
  std::string name;
  std::function<int()> body;
};

#if defined(__SANITIZE_ADDRESS__)
// Resident memory under AddressSanitizer is mostly its shadow, and its reservations need
// the whole address space: the cases still run, for the sanitizers, but are not measured.
constexpr bool kMeasured = false;
#else
constexpr bool kMeasured = true;
#endif

void expect_bounded(const std::vector<Case>& cases) {
  if (kMeasured) {
    const auto idle = test_support::run_in_child([] { return 0; }, std::chrono::seconds(10));
    std::printf("[ peak RSS ] %-58s %7ld KiB\n", "(an idle copy of this test process)",
                idle.peak_rss_kib);
    // The measurement sees what a child touches: 80 MiB written must show.
    const auto control = test_support::run_in_child(
        [] {
          std::vector<std::uint8_t> block(80u << 20, 1);
          return block[12345] == 1 ? 0 : 1;
        },
        std::chrono::seconds(10));
    ASSERT_EQ(control.exit_status, 0);
    ASSERT_GE(control.peak_rss_kib, kLimitKiB) << "ru_maxrss does not see the child's memory";
  }
  for (const Case& c : cases) {
    // Nothing may even reserve beyond the limit: a vector sized from a count fails here.
    std::optional<std::size_t> cap;
    if (kMeasured) cap = std::size_t{kLimitKiB} * 1024;
    const auto o = test_support::run_in_child(c.body, std::chrono::seconds(60), cap);
    EXPECT_FALSE(o.timed_out) << c.name;
    EXPECT_EQ(o.exit_status, 0) << c.name << ": not the expected outcome";
    if (!kMeasured) continue;
    EXPECT_LT(o.peak_rss_kib, kLimitKiB) << c.name;
    std::printf("[ peak RSS ] %-58s %7ld KiB\n", c.name.c_str(), o.peak_rss_kib);
  }
}

// A few hundred bytes of plausible data after the corrupt field.
ByteWriter& filler(ByteWriter& w) { return w.zeros(300); }

dat::ReadResult<dat::GfxObj> read_mesh(const Bytes& b) {
  dat::RecordCursor cur(b);
  return dat::GfxObj::unpack(cur);
}

dat::ReadResult<dat::SetupModel> read_setup(const Bytes& b) {
  dat::RecordCursor cur(b);
  return dat::SetupModel::unpack(cur);
}

// A mesh head: id, flags, no surfaces, a vertex array of another type (no vertex bytes).
ByteWriter mesh_head(std::uint32_t flags) {
  ByteWriter w;
  w.u32(0x01000001).u32(flags).compressed_u32(0).u32(2).u32(0);
  return w;
}

TEST(MemoryBound, RecordReadersWithCorruptCounts) {
  std::vector<Case> cases;
  cases.push_back({"LandblockInfo num_objects 4e9", [] {
    ByteWriter w;
    filler(w.u32(1).u32(0).u32(kHuge));
    return outcome(is_end_of_data(dat::LandblockInfo::unpack(w.view()).error()));
  }});
  cases.push_back({"LandblockInfo num_portals 4e9", [] {
    ByteWriter w;
    w.u32(1).u32(0).u32(0).u16(1).u16(0);
    writer::write_frame(w.u32(0x01000001), writer::frame_at(0, 0, 0));
    filler(w.u32(0).u32(kHuge));
    return outcome(is_end_of_data(dat::LandblockInfo::unpack(w.view()).error()));
  }});
  cases.push_back({"EnvCell num_stabs 4e9", [] {
    ByteWriter w;
    w.u32(1).u32(2).u32(0).u8(0).u8(0).u16(0).u16(0).u16(0);
    writer::write_frame(w, writer::frame_at(0, 0, 0));
    filler(w.u32(kHuge));
    dat::RecordCursor cur(w.view());
    return outcome(is_end_of_data(dat::EnvCell::unpack(cur).error()));
  }});
  cases.push_back({"GfxObj surface count 0x3FFFFFFF", [] {
    ByteWriter w;
    filler(w.u32(0x01000001).u32(0).compressed_u32(0x3FFFFFFF));
    return outcome(is_end_of_data(read_mesh(w.view()).error()));
  }});
  cases.push_back({"GfxObj vertex count 4e9", [] {
    ByteWriter w;
    filler(w.u32(0x01000001).u32(0).compressed_u32(0).u32(1).u32(kHuge));
    return outcome(is_end_of_data(read_mesh(w.view()).error()));
  }});
  cases.push_back({"GfxObj polygon count 0x3FFFFFFF", [] {
    ByteWriter w = mesh_head(0x1);
    filler(w.compressed_u32(0x3FFFFFFF));
    return outcome(is_end_of_data(read_mesh(w.view()).error()));
  }});
  cases.push_back({"GfxObj physics tree 400 levels deep", [] {
    ByteWriter w = mesh_head(0x1);
    w.compressed_u32(0).bytes(writer::bsp::encode_chain(dat::BspTreeKind::Physics, 400));
    const auto mesh = read_mesh(w.view());
    return outcome(!mesh && mesh.error().message == "BSP tree deeper than 256 levels");
  }});
  cases.push_back({"GfxObj drawing tree 256 levels deep (the limit)", [] {
    ByteWriter w = mesh_head(0x2);
    w.vector3({}).compressed_u32(0).bytes(writer::bsp::encode_chain(dat::BspTreeKind::Drawing, 256));
    return outcome(read_mesh(w.view()).has_value());
  }});
  cases.push_back({"BSP polygon count 0xFFFFFFFF", [] {
    ByteWriter w;
    filler(w.u32(dat::bsp_code::LEAF).u32(0).u32(0).sphere({}).u32(0xFFFFFFFF));
    dat::RecordCursor cur(w.view());
    return outcome(is_end_of_data(dat::BspNode::read(cur, dat::BspTreeKind::Physics).error()));
  }});
  cases.push_back({"BSP portal count 4e9", [] {
    ByteWriter w;
    w.u32(dat::bsp_code::PORT).plane({});
    w.u32(dat::bsp_code::LEAF).u32(0).u32(dat::bsp_code::LEAF).u32(1);
    filler(w.sphere({}).u32(0).u32(kHuge));
    dat::RecordCursor cur(w.view());
    return outcome(is_end_of_data(dat::BspNode::read(cur, dat::BspTreeKind::Drawing).error()));
  }});
  cases.push_back({"SetupModel part count 4e9", [] {
    ByteWriter w;
    filler(w.u32(0x02000001).u32(0x3).u32(kHuge));
    return outcome(is_end_of_data(read_setup(w.view()).error()));
  }});
  cases.push_back({"SetupModel placement count 0x7FFFFFFF", [] {
    ByteWriter w;
    filler(w.u32(0x02000001).u32(0).u32(0).u32(0).u32(0).i32(0x7FFFFFFF));
    return outcome(is_end_of_data(read_setup(w.view()).error()));
  }});
  cases.push_back({"SetupModel hook count 4e9", [] {
    ByteWriter w;
    w.u32(0x02000001).u32(0).u32(0).u32(0).u32(0).i32(1).u32(7).u32(kHuge);
    for (int i = 0; i < 40; ++i) w.u32(17).u32(0);  // empty hooks, 8 bytes each
    return outcome(is_end_of_data(read_setup(w.view()).error()));
  }});
  cases.push_back({"SetupModel light count 4e9", [] {
    ByteWriter w;
    w.u32(0x02000001).u32(0).u32(0).u32(0).u32(0).i32(0).u32(0).u32(0);
    w.zeros(16 + 32).u32(kHuge);
    filler(w);
    return outcome(is_end_of_data(read_setup(w.view()).error()));
  }});
  cases.push_back({"SurfaceTexture count 0x7FFFFFFF", [] {
    ByteWriter w;
    filler(w.u32(1).u32(0).u8(0).i32(0x7FFFFFFF));
    return outcome(is_end_of_data(dat::SurfaceTexture::unpack(w.view()).error()));
  }});
  cases.push_back({"Palette count 0x7FFFFFFF", [] {
    ByteWriter w;
    filler(w.u32(1).i32(0x7FFFFFFF));
    return outcome(is_end_of_data(dat::Palette::unpack(w.view()).error()));
  }});
  cases.push_back({"Texture length 0x7FFFFFFF", [] {
    ByteWriter w;
    filler(w.u32(1).u32(0).i32(4).i32(4).u32(dat::format_code::A8R8G8B8).i32(0x7FFFFFFF));
    return outcome(is_end_of_data(dat::Texture::unpack(w.view()).error()));
  }});
  expect_bounded(cases);
}

TEST(MemoryBound, LrsOutputLengthIsBoundedByItsInput) {
  std::vector<Case> cases;
  cases.push_back({"decompress_lrs length 0xFFFFFFFF, 8 bytes in", [] {
    const Bytes in = {0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x61, 0x62, 0x63};
    return outcome(dat::decompress_lrs(in).size() == 3);
  }});
  cases.push_back({"decompress_lrs length 0xFFFFFFFF, 64 KiB of references", [] {
    ByteWriter w;
    w.u32(0xFFFFFFFF).u8(0x7F).u8(0x41);  // one literal, then seven references
    for (int i = 0; i < 7; ++i) w.u8(0x01).u8(0x0F);
    while (w.size() < 65536) {
      w.u8(0xFF);
      for (int i = 0; i < 8; ++i) w.u8(0x01).u8(0x0F);  // distance 1, count 17
    }
    const auto out = dat::decompress_lrs(w.view());
    return outcome(out.size() > 500'000 && out.size() <= 8 * w.size());
  }});
  expect_bounded(cases);
}

TEST(MemoryBound, TextureSizesBeyondThePixelBoundAllocateNothing) {
  namespace fc = dat::format_code;
  std::vector<Case> cases;
  const std::pair<std::int32_t, std::int32_t> sizes[] = {
      {8193, 8192}, {65536, 65536}, {INT_MAX, INT_MAX}, {-1, 2}, {2, INT_MIN}};
  for (const std::uint32_t format : {fc::R8G8B8, fc::A8R8G8B8, fc::A8, fc::P8, fc::Index16,
                                     fc::B8G8R8, fc::L8, fc::Dxt1, fc::Dxt3, fc::Dxt5}) {
    cases.push_back({"to_rgba8 format " + std::to_string(format) + ", five oversized shapes",
                     [format, &sizes] {
      for (const auto& [width, height] : sizes) {
        dat::Texture t;
        t.width = width;
        t.height = height;
        t.format_raw = format;
        t.source_data.assign(64, 0x11);
        t.default_palette_id = 0x04000001;
        const auto rgba = t.to_rgba8([](std::uint32_t) -> std::expected<dat::Palette, std::string> {
          return dat::Palette{1, std::vector<std::uint32_t>(256, 0xFF00FF00)};
        });
        if (rgba || !rgba.error().is<dat::TextureDecodeError::DimensionOverflow>()) return 1;
      }
      return 0;
    }});
  }
  expect_bounded(cases);
}

// Archives whose header, chains or directory are corrupt.
class MemoryBoundArchive : public ::testing::Test {
 protected:
  std::filesystem::path write(const Bytes& image) {
    std::string name = std::to_string(count_++);
    name += ".dat";
    return dir_.write(name, image);
  }
  // An archive of one leaf holding `entries`.
  std::filesystem::path with_entries(std::vector<dat::DatFileEntry> entries,
                                     std::uint32_t block_size = 1024) {
    writer::ArchiveImage image(block_size);
    writer::DirectoryNode leaf;
    leaf.entries = std::move(entries);
    image.header.root_offset = image.add_node(leaf);
    return write(std::move(image).bytes());
  }
  test_support::TempDir dir_;
  int count_ = 0;
};

TEST_F(MemoryBoundArchive, OpeningAndFetching) {
  const auto near_4gib = with_entries({{0, 0x01000001, 1024, 0xFFFFFFF0, 0, 0},
                                       {1, 0x01000002, 1024, 0xFFFFFF00, 0, 0}});

  writer::ArchiveImage lrs_image(1024);
  const Bytes lrs = {0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x61, 0x62, 0x63};
  const std::uint32_t lrs_at = lrs_image.add_chain(lrs);
  writer::DirectoryNode lrs_leaf;
  lrs_leaf.entries = {{1, 0x08000001, lrs_at, static_cast<std::uint32_t>(lrs.size()), 0, 0}};
  lrs_image.header.root_offset = lrs_image.add_node(lrs_leaf);
  const auto lrs_path = write(std::move(lrs_image).bytes());

  // Block size 4 carries no payload: the chain below loops on itself.
  const auto loop_path = [&] {
    writer::ArchiveImage image(4);
    const std::uint32_t block = image.reserve(8);
    image.write_u32_at(block, block);  // links to itself
    // The directory is laid out by hand: with 4-byte blocks a node is one link and then
    // its 1716 bytes read from the last block.
    const std::uint32_t node = image.reserve(4 + dat::kNodeSize);
    writer::DirectoryNode leaf;
    leaf.entries = {{0, 0x01000001, block, 1000, 0, 0}};
    image.write_at(node + 4, writer::encode_node(leaf));
    image.header.root_offset = node;
    return write(std::move(image).bytes());
  }();

  const auto self_loop = [&] {
    writer::ArchiveImage image(2048);
    const std::uint32_t node = image.add_node({});
    writer::DirectoryNode n;
    n.entries = {{0, 1, 0, 0, 0, 0}};
    n.branches[0] = node;
    n.branches[1] = node;
    image.write_at(node + 4, writer::encode_node(n));
    image.header.root_offset = node;
    return write(std::move(image).bytes());
  }();

  const auto count_path = [&] {
    writer::ArchiveImage image(1024);
    writer::DirectoryNode n;
    n.entry_count = kHuge;
    image.header.root_offset = image.add_node(n);
    image.header.file_size = 0xFFFFFFFF;
    return write(std::move(image).bytes());
  }();

  std::vector<Case> cases;
  cases.push_back({"get_file with sizes near 4 GiB", [near_4gib] {
    const auto db = dat::DatDatabase::open(near_4gib);
    if (!db) return 1;
    for (const std::uint32_t id : {0x01000001u, 0x01000002u}) {
      const auto f = db->get_file(id);
      if (f || f.error().message() != "IO error: failed to fill whole buffer") return 1;
    }
    return 0;
  }});
  cases.push_back({"get_file of LRS length 0xFFFFFFFF", [lrs_path] {
    const auto db = dat::DatDatabase::open(lrs_path);
    return outcome(db && db->get_file(0x08000001).value_or(Bytes{}).size() == 3);
  }});
  cases.push_back({"get_file of a chain looping with no payload", [loop_path] {
    const auto db = dat::DatDatabase::open(loop_path);
    return outcome(db && !db->get_file(0x01000001).has_value());
  }});
  cases.push_back({"open a directory that names itself twice", [self_loop] {
    const auto db = dat::DatDatabase::open(self_loop);
    return outcome(!db && db.error().message() ==
                              "Corruption detected: directory deeper than 64 levels");
  }});
  cases.push_back({"open a node with entry count 4e9", [count_path] {
    const auto db = dat::DatDatabase::open(count_path);
    return outcome(!db && is_end_of_data(db.error()));
  }});
  expect_bounded(cases);
}

}  // namespace
