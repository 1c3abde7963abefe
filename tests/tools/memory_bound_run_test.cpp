// Whole runs of the binary over hostile archives: corrupt counts in every record kind,
// lengths near 4 GiB, LRS lengths of 0xFFFFFFFF, textures beyond the pixel bound, trees
// nested hundreds of levels deep, chains and directories that loop. Each run must end with
// its defined outcome, in time, below 64 MiB of resident memory (the child's ru_maxrss),
// and within 128 MiB of address space, libraries and all, so that nothing is reserved
// from a corrupt count either.

#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "../support/child_process.hpp"
#include "run_tool.hpp"
#include "writer/archive_builder.hpp"
#include "writer/archive_image.hpp"
#include "writer/bsp_tree.hpp"
#include "writer/byte_writer.hpp"
#include "writer/cell_records.hpp"
#include "writer/graphics_records.hpp"
#include "writer/model_records.hpp"
#include "writer/texture_records.hpp"

namespace {

using Bytes = std::vector<std::uint8_t>;
using testing_support::TempDir;
using writer::ArchiveFile;
using writer::ByteWriter;

constexpr long kLimitKiB = 64 * 1024;
constexpr std::uint32_t kHuge = 4'000'000'000u;
constexpr std::uint16_t kKey = 0xA9B4;
constexpr std::uint32_t kCells = std::uint32_t{kKey} << 16;

namespace fc = dat::format_code;

Bytes texture(std::uint32_t format, std::int32_t width, std::int32_t height, Bytes data,
              std::optional<std::uint32_t> palette = std::nullopt) {
  dat::Texture t;
  t.width = width;
  t.height = height;
  t.format_raw = format;
  t.source_data = std::move(data);
  t.default_palette_id = palette;
  return writer::encode_texture(t);
}

Bytes texture_list(std::vector<std::uint32_t> ids) {
  return writer::encode_surface_texture(dat::SurfaceTexture{0x05000000, 0, 0, std::move(ids)});
}

Bytes textured(std::uint32_t list) {
  return writer::encode_surface(writer::textured_surface(list));
}

// A mesh head with no surfaces and no vertex bytes, then `rest`.
Bytes mesh(std::uint32_t flags, std::uint32_t surface, const Bytes& rest) {
  ByteWriter w;
  w.u32(0x01000000).u32(flags).compressed_u32(1).u32(surface).u32(2).u32(0);
  w.bytes(rest);
  return w.take();
}

// The portal archive: every model, surface, texture list, texture and palette is damaged in
// one way, next to a few sound ones so that the audit has something to write.
std::vector<ArchiveFile> portal_files() {
  std::vector<ArchiveFile> f;
  const auto add = [&f](std::uint32_t id, Bytes data, std::uint32_t flags = 0) {
    f.push_back(ArchiveFile{id, std::move(data), false, flags});
  };
  {
    ByteWriter w;
    w.u32(0x02000001).u32(3).u32(kHuge).zeros(200);  // part count 4e9
    add(0x02000001, w.take());
  }
  add(0x02000002, writer::encode_setup_model(writer::simple_setup(
                      0x02000002, {0x01000001, 0x01000002, 0x01000003, 0x01000004, 0x01000010})));
  {
    ByteWriter w;
    w.u32(0x01000001).u32(0).compressed_u32(0x3FFFFFFF).zeros(200);
    add(0x01000001, w.take());
  }
  {
    ByteWriter w;
    w.compressed_u32(0).bytes(writer::bsp::encode_chain(dat::BspTreeKind::Physics, 400));
    add(0x01000002, mesh(0x1, 0x08000011, w.view()));  // deeper than 256 levels: no surfaces
  }
  {
    ByteWriter w;
    w.u32(0x01000003).u32(0).compressed_u32(0).u32(1).u32(kHuge).zeros(200);  // 4e9 vertices
    add(0x01000003, w.take());
  }
  {
    ByteWriter w;
    w.vector3({}).compressed_u32(0).bytes(writer::bsp::encode_chain(dat::BspTreeKind::Drawing, 256));
    add(0x01000004, mesh(0x2, 0x08000006, w.view()));  // at the depth limit: read
  }
  add(0x01000010, writer::encode_gfx_obj(writer::simple_mesh(
                      0x01000010, {0x08000001, 0x08000002, 0x08000003, 0x08000004, 0x08000005,
                                   0x08000008, 0x08000009, 0x0800000A})));

  {
    ByteWriter w;
    w.u32(0x05000001).u32(0).u8(0).i32(0x7FFFFFFF).zeros(200);
    add(0x05000001, w.take());
  }
  add(0x08000001, textured(0x05000001));
  add(0x08000002, textured(0x05000002));
  add(0x05000002, texture_list({0x06000001}));
  add(0x06000001, texture(fc::Dxt1, 8193, 8192, Bytes(64, 0)));
  add(0x08000003, textured(0x05000003));
  add(0x05000003, texture_list({0x06000002}));
  {
    ByteWriter w;
    w.u32(0x06000002).u32(0).i32(4).i32(4).u32(fc::A8R8G8B8).i32(0x7FFFFFFF).zeros(200);
    add(0x06000002, w.take());
  }
  add(0x08000004, textured(0x05000004));
  add(0x05000004, texture_list({0x06000003}));
  add(0x06000003, texture(fc::P8, 4, 4, Bytes(16, 0), 0x04000001));
  {
    ByteWriter w;
    w.u32(0x04000001).i32(0x7FFFFFFF).zeros(200);
    add(0x04000001, w.take());
  }
  add(0x08000005, textured(0x05000005));
  add(0x05000005, texture_list({0x06000004}));
  add(0x06000004, texture(fc::R8G8B8, 65536, 65536, Bytes(64, 0)));
  add(0x08000006, writer::encode_surface(writer::solid_surface(0xFF336699)));
  {
    // A solid surface stored as LRS with a declared length of 0xFFFFFFFF: literals only.
    const Bytes plain = writer::encode_surface(writer::solid_surface(0xFF102030));
    ByteWriter w;
    w.u32(0xFFFFFFFF);
    for (std::size_t i = 0; i < plain.size(); i += 8) {
      w.u8(0);
      for (std::size_t k = i; k < plain.size() && k < i + 8; ++k) w.u8(plain[k]);
    }
    add(0x08000007, w.take(), 1);
  }
  add(0x08000008, textured(0x05000008));
  add(0x05000008, texture_list({0x06000005}));
  add(0x06000005, texture(fc::Dxt5, -1, 2, Bytes(64, 0)));
  add(0x08000009, textured(0x05000009));
  add(0x05000009, texture_list({0x06000004, 0x06000001, 0x06000006}));
  add(0x06000006, texture(fc::Dxt3, INT_MAX, INT_MAX, Bytes(64, 0)));
  add(0x0800000A, textured(0x0500000A));
  add(0x0500000A, texture_list({0x06000007}));
  add(0x06000007, texture(fc::A8, 16, 16, Bytes(256, 0x80)));
  return f;
}

Bytes env_cell(std::vector<std::uint16_t> surfaces, std::vector<std::uint32_t> stabs) {
  dat::EnvCell c;
  c.flags = 2;
  c.surfaces = std::move(surfaces);
  for (const auto id : stabs) c.stabs.push_back({id, writer::frame_at(0, 0, 0)});
  return writer::encode_env_cell(c);
}

std::vector<ArchiveFile> cell_files() {
  std::vector<ArchiveFile> f;
  {
    ByteWriter w;
    w.u32(kCells | 0xFFFE).u32(0).u32(kHuge).zeros(300);  // 4e9 objects
    f.push_back({kCells | 0xFFFE, w.take(), false, 0});
  }
  f.push_back({kCells | 0x0100, env_cell({0x0006, 0x0007}, {0x02000001, 0x02000002, 0x01000001}), false, 0});
  {
    ByteWriter w;
    w.u32(kCells | 0x0101).u32(2).u32(0).u8(0).u8(0).u16(0).u16(0).u16(0);
    writer::write_frame(w, writer::frame_at(0, 0, 0));
    w.u32(kHuge).zeros(300);  // 4e9 stabs
    f.push_back({kCells | 0x0101, w.take(), false, 0});
  }
  // The next landblock's record is sound and names the same models.
  writer::LandblockInfoDesc lb;
  lb.objects = {dat::Stab{0x02000002, writer::frame_at(0, 0, 0)},
                dat::Stab{0x01000002, writer::frame_at(0, 0, 0)}};
  f.push_back({((kCells >> 16) + 1) << 16 | 0xFFFE, writer::encode_landblock_info(lb), false, 0});
  return f;
}

// An archive whose directory is damaged: a leaf whose node names itself from two branches.
Bytes self_naming_directory() {
  writer::ArchiveImage image(2048);
  const std::uint32_t node = image.add_node({});
  writer::DirectoryNode n;
  n.entries = {{0, kCells | 0xFFFE, 0, 0, 0, 0}};
  n.branches[0] = node;
  n.branches[1] = node;
  image.write_at(node + 4, writer::encode_node(n));
  image.header.root_offset = node;
  return std::move(image).bytes();
}

// Forty nodes, each naming the next from two branches: 2^40 paths to the last.
Bytes doubling_directory() {
  writer::ArchiveImage image(2048);
  std::vector<std::uint32_t> nodes;
  for (int i = 0; i < 40; ++i) nodes.push_back(image.add_node({}));
  for (int i = 0; i < 40; ++i) {
    writer::DirectoryNode n;
    n.entries = {{0, kCells | static_cast<std::uint32_t>(0x200 + i), 0, 0, 0, 0}};
    if (i + 1 < 40) n.branches[0] = n.branches[1] = nodes[static_cast<std::size_t>(i) + 1];
    image.write_at(nodes[static_cast<std::size_t>(i)] + 4, writer::encode_node(n));
  }
  image.header.root_offset = nodes[0];
  return std::move(image).bytes();
}

// Cell archive entries that cannot be read: sizes near 4 GiB, and (with 4-byte blocks,
// which carry no payload) a chain that links to itself.
Bytes unreadable_entries() {
  writer::ArchiveImage image(4);
  const std::uint32_t block = image.reserve(8);
  image.write_u32_at(block, block);
  const std::uint32_t node = image.reserve(4 + dat::kNodeSize);
  writer::DirectoryNode leaf;
  leaf.entries = {{0, kCells | 0xFFFE, block, 1000, 0, 0},
                  {0, kCells | 0x0001, block, 0xFFFFFFF0, 0, 0},
                  {1, kCells | 0x0002, block, 0xFFFFFF00, 0, 0}};
  image.write_at(node + 4, writer::encode_node(leaf));
  image.header.root_offset = node;
  return std::move(image).bytes();
}

// A portal archive whose root declares 4e9 entries, and a header whose sizes say 4 GiB.
Bytes overfull_root() {
  writer::ArchiveImage image(1024);
  writer::DirectoryNode n;
  n.entry_count = kHuge;
  image.header.root_offset = image.add_node(n);
  image.header.file_size = 0xFFFFFFFF;
  return std::move(image).bytes();
}

#if defined(__SANITIZE_ADDRESS__)
// Resident memory under AddressSanitizer is mostly its shadow, and its reservations need
// the whole address space: the runs still happen, for the sanitizers, but are not measured.
constexpr bool kMeasured = false;
#else
constexpr bool kMeasured = true;
#endif

struct ToolCase {
  std::string name;
  std::vector<std::string> args;
  int expected_status;
};

TEST(MemoryBoundRun, HostileArchivesStayBelow64MiB) {
  TempDir dir;
  const auto save = [&dir](const std::string& name, const Bytes& bytes) {
    const std::string path = (dir.path() / name).string();
    EXPECT_TRUE(writer::write_file(path, bytes));
    return path;
  };
  const std::string portal = save("portal.dat", writer::build_archive(portal_files()));
  const std::string cell = save("cell.dat", writer::build_archive(cell_files()));
  const std::string looped = save("looped.dat", self_naming_directory());
  const std::string doubling = save("doubling.dat", doubling_directory());
  const std::string unreadable = save("unreadable.dat", unreadable_entries());
  const std::string overfull = save("overfull.dat", overfull_root());
  const std::string out = (dir.path() / "out" / "audit.json").string();
  const std::string sheet = (dir.path() / "out" / "sheet.ppm").string();
  const std::string tool = QV_TOOL_BINARY;
  const auto args = [&](const std::string& p, const std::string& c, const std::string& key) {
    return std::vector<std::string>{tool, "--portal-dat", p, "--cell-dat", c,
                                    "--landblock", key, "--out", out};
  };

  std::vector<ToolCase> runs = {
      {"cells and models with corrupt counts", args(portal, cell, "A9B4"), 0},
      {"a sound landblock naming damaged models", args(portal, cell, "A9B5"), 0},
      {"entries near 4 GiB and a looping chain", args(portal, unreadable, "A9B4"), 0},
      {"a directory naming itself", args(portal, looped, "A9B4"), 1},
      {"a directory of 2^40 paths", args(portal, doubling, "A9B4"), 0},
      {"a root declaring 4e9 entries", args(overfull, cell, "A9B4"), 1},
  };
  runs.push_back({"with a contact sheet", args(portal, cell, "A9B4"), 0});
  runs.back().args.insert(runs.back().args.end(), {"--contact-sheet", sheet});

  if (kMeasured) {
    const auto idle = test_support::run_program({"/bin/true"}, std::chrono::seconds(10));
    std::printf("[ peak RSS ] %-45s %7ld KiB\n", "(/bin/true started the same way)",
                idle.peak_rss_kib);
  }
  for (const ToolCase& run : runs) {
    // The whole program, libraries included, may not map more than twice the limit.
    std::optional<std::size_t> cap;
    if (kMeasured) cap = std::size_t{2 * kLimitKiB} * 1024;
    const auto o = test_support::run_program(run.args, std::chrono::seconds(120), cap);
    EXPECT_FALSE(o.timed_out) << run.name;
    EXPECT_EQ(o.exit_status, run.expected_status) << run.name;
    if (!kMeasured) continue;
    EXPECT_LT(o.peak_rss_kib, kLimitKiB) << run.name;
    std::printf("[ peak RSS ] %-45s %7ld KiB  %.2f s\n", run.name.c_str(), o.peak_rss_kib,
                o.seconds);
  }

  // The first run's audit: the sound surfaces decoded, every damaged one left out.
  const auto r = testing_support::run_tool(
      {"--portal-dat", portal, "--cell-dat", cell, "--landblock", "A9B4", "--out", out});
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.err.find("  found 10 unique surface DIDs\n"), std::string::npos) << r.err;
  for (const char* warned : {"0x08000001", "0x08000002", "0x08000003", "0x08000004",
                             "0x08000005", "0x08000008", "0x08000009"}) {
    EXPECT_NE(r.err.find(std::string("  warn: surface ") + warned + " failed to decode"),
              std::string::npos)
        << warned;
  }
  const std::string json = testing_support::slurp(out);
  EXPECT_NE(json.find("\"total_surfaces\": 3,"), std::string::npos) << json;
}

TEST(MemoryBoundRun, MeasurementSeesATextureAtThePixelBound) {
  if (!kMeasured) GTEST_SKIP() << "nothing is measured under AddressSanitizer";
  // 8192 x 8192 is the largest image decoded: its 256 MiB of RGBA must show in the figure,
  // or the bound above would prove nothing.
  TempDir dir;
  const std::string portal = (dir.path() / "portal.dat").string();
  const std::string cell = (dir.path() / "cell.dat").string();
  std::vector<ArchiveFile> files;
  files.push_back({0x01000010, writer::encode_gfx_obj(writer::simple_mesh(0x01000010, {0x08000002})), false, 0});
  files.push_back({0x08000002, textured(0x05000002), false, 0});
  files.push_back({0x05000002, texture_list({0x06000001}), false, 0});
  files.push_back({0x06000001, texture(fc::Dxt1, 8192, 8192, Bytes(64, 0)), false, 0});
  ASSERT_TRUE(writer::write_file(portal, writer::build_archive(files)));
  ASSERT_TRUE(writer::write_file(
      cell, writer::build_archive({{kCells | 0x0100, env_cell({}, {0x01000010}), false, 0}})));
  const auto o = test_support::run_program(
      {QV_TOOL_BINARY, "--portal-dat", portal, "--cell-dat", cell, "--landblock", "A9B4", "--out",
       (dir.path() / "a.json").string()},
      std::chrono::seconds(60));
  EXPECT_EQ(o.exit_status, 0);
  EXPECT_GT(o.peak_rss_kib, 256 * 1024);
  std::printf("[ peak RSS ] %-45s %7ld KiB  %.2f s\n", "one 8192 x 8192 texture (control)",
              o.peak_rss_kib, o.seconds);
}

}  // namespace
