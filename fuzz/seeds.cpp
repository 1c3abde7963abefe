// Writes the seed corpus of every fuzz target, built with the writer library: well-formed
// records and archives that reach each reader's main paths, so that mutations start from
// inputs that get past the first few fields.
//
// Usage: qv_fuzz_seeds <directory>; writes <directory>/<target>/<seed> and replaces what
// was there.

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "writer/archive_builder.hpp"
#include "writer/archive_image.hpp"
#include "writer/bsp_tree.hpp"
#include "writer/byte_writer.hpp"
#include "writer/cell_records.hpp"
#include "writer/dxt_encoder.hpp"
#include "writer/graphics_records.hpp"
#include "writer/lrs.hpp"
#include "writer/model_records.hpp"
#include "writer/texture_records.hpp"

namespace {

using Bytes = std::vector<std::uint8_t>;
namespace fs = std::filesystem;
namespace fc = dat::format_code;

class Corpus {
 public:
  explicit Corpus(fs::path root) : root_(std::move(root)) {}

  void add(const std::string& target, const std::string& name, const Bytes& bytes) {
    const fs::path dir = root_ / target;
    fs::create_directories(dir);
    if (!writer::write_file(dir / name, bytes)) {
      std::fprintf(stderr, "cannot write %s\n", (dir / name).c_str());
      ok_ = false;
    }
  }
  bool ok() const { return ok_; }

 private:
  fs::path root_;
  bool ok_ = true;
};

Bytes text_bytes(const std::string& s) { return Bytes(s.begin(), s.end()); }

// A gradient image, so that textures and statistics see varied pixels.
Bytes gradient_rgba(std::uint32_t width, std::uint32_t height) {
  Bytes px;
  for (std::uint32_t y = 0; y < height; ++y) {
    for (std::uint32_t x = 0; x < width; ++x) {
      px.push_back(static_cast<std::uint8_t>(x * 255 / (width > 1 ? width - 1 : 1)));
      px.push_back(static_cast<std::uint8_t>(y * 255 / (height > 1 ? height - 1 : 1)));
      px.push_back(static_cast<std::uint8_t>((x + y) * 16));
      px.push_back(static_cast<std::uint8_t>(255 - x * 8));
    }
  }
  return px;
}

dat::Stab stab(std::uint32_t id, float x) { return dat::Stab{id, writer::frame_at(x, 1, 2)}; }

Bytes landblock_info(bool with_table) {
  writer::LandblockInfoDesc d;
  d.id = 0xA9B4FFFE;
  d.num_cells = 3;
  d.objects = {stab(0x02000001, 1), stab(0x01000002, 2)};
  dat::BuildInfo b;
  b.model_id = 0x01000003;
  b.frame = writer::frame_at(3, 4, 5);
  b.num_leaves = 2;
  b.portals.push_back(dat::PortalInternal{1, 0x0100, 2, {7, 8, 9}});  // odd: padded
  b.portals.push_back(dat::PortalInternal{0, 0x0101, 3, {4, 5}});
  d.buildings.push_back(std::move(b));
  if (with_table) {
    d.pack_mask = 1;
    d.restriction_table.bucket_size = 8;
    d.restriction_table.pairs = {{1, 10}, {2, 20}, {1, 30}};
  }
  return writer::encode_landblock_info(d);
}

Bytes env_cell(std::uint32_t flags) {
  dat::EnvCell c;
  c.id = 0xA9B40100;
  c.flags = flags;
  c.surfaces = {0x0123, 0x0456, 0};
  c.position = writer::frame_at(10, 20, 30);
  c.portals = {dat::CellPortal{1, 2, 0x0101, 4}};
  c.aux_values = {5, 6, 7};
  c.stabs = {dat::env_cell::Stab{0x01000010, writer::frame_at(1, 1, 1)},
             dat::env_cell::Stab{0x02000011, writer::frame_at(2, 2, 2)}};
  c.trailer = 0xDEADBEEF;
  return writer::encode_env_cell(c);
}

Bytes setup_model(bool rich) {
  writer::SetupModelDesc s = writer::simple_setup(0x02000001, {0x01000002, 0x01000003});
  if (rich) {
    s.flags = 0x3;
    s.parent_indices = {0xFFFFFFFF, 0};
    s.part_scales = {{1, 1, 1}, {2, 2, 2}};
    s.location_map_1 = {{1, dat::LocationType{0, writer::frame_at(1, 2, 3)}}};
    s.location_map_2 = {{2, dat::LocationType{1, writer::frame_at(4, 5, 6)}}};
    dat::PlacementType p;
    for (std::uint32_t type = 0; type <= 26; ++type) p.hooks.push_back(writer::make_hook(type, type));
    p.hooks.push_back(writer::make_type5_hook(9, 7, 0x9234, 0x5678));  // the long form
    s.placements.emplace_back(1, std::move(p));
    s.cyl_spheres = {dat::CylSphere{{1, 2, 3}, 4, 5}};
    s.spheres = {common::Sphere{{1, 1, 1}, 2}};
    s.scalars = {1, 2, 3, 4};
    s.lights = {{3, dat::LightInfo{writer::frame_at(0, 0, 9), 0xFFFFFFFF, 1, 2, 3}}};
    s.optional_ids = {0, 0x01000005, 0, 7, 0};
  }
  return writer::encode_setup_model(s);
}

// One tree that uses every node form of `kind`.
Bytes bsp_seed(dat::BspTreeKind kind) {
  namespace bsp = writer::bsp;
  dat::BspNode tree = bsp::internal(
      dat::bsp_code::BPIN, bsp::small_tree({1, 2, 3}),
      bsp::internal(dat::bsp_code::BpnN, std::nullopt,
                    bsp::portal(bsp::leaf(4, 1, {5}), bsp::leaf(6), {7}, {dat::PortalPoly{1, 2}})),
      {8, 9});
  writer::ByteWriter w;
  w.u8(static_cast<std::uint8_t>(kind));
  const Bytes body = bsp::encode_tree(tree, kind);
  w.bytes(body);
  return w.take();
}

dat::Texture texture(std::uint32_t format, std::int32_t width, std::int32_t height, Bytes data,
                     std::optional<std::uint32_t> palette = std::nullopt) {
  dat::Texture t;
  t.id = 0x05000001;
  t.width = width;
  t.height = height;
  t.format_raw = format;
  t.source_data = std::move(data);
  t.default_palette_id = palette;
  return t;
}

// The to_rgba8 target's layout: width, height, format selector, flags, palette, data.
Bytes conversion_seed(std::int32_t width, std::int32_t height, std::uint8_t selector,
                      std::uint8_t flags, std::uint16_t colours, const Bytes& data) {
  writer::ByteWriter w;
  w.i32(width).i32(height).u8(selector).u8(flags);
  if (flags & 1) w.u32(0x04000001);
  w.u16(colours);
  for (std::uint16_t i = 0; i < colours; ++i) w.u32(0xFF000000u | (i * 0x010203u));
  w.bytes(data);
  return w.take();
}

Bytes stats_seed(std::uint32_t width, std::uint32_t height, std::uint32_t surface_type,
                 const Bytes& rgba) {
  writer::ByteWriter w;
  w.u32(width).u32(height).u32(surface_type).bytes(rgba);
  return w.take();
}

Bytes floats(std::initializer_list<std::uint32_t> bit_patterns) {
  writer::ByteWriter w;
  for (const auto bits : bit_patterns) w.u32(bits);
  return w.take();
}

std::vector<writer::ArchiveFile> archive_files(std::size_t count) {
  std::vector<writer::ArchiveFile> files;
  for (std::size_t i = 0; i < count; ++i) {
    writer::ArchiveFile f;
    f.id = 0x08000000 + static_cast<std::uint32_t>(i);
    f.data = writer::encode_surface(writer::solid_surface(0xFF102030 + static_cast<std::uint32_t>(i)));
    f.compress = i % 3 == 1;
    files.push_back(std::move(f));
  }
  return files;
}

void write_all(Corpus& c) {
  // Archives: a single leaf with plain and compressed files over chains of several blocks,
  // and a directory of two levels.
  {
    auto files = archive_files(3);
    files.push_back({0x01000001, writer::encode_gfx_obj(writer::simple_mesh(0x01000001, {1, 2})), true, 0});
    c.add("archive", "leaf", writer::build_archive(files, {.block_size = 64, .trim_last_block = true}));
    c.add("archive", "two-levels",
          writer::build_archive(archive_files(70), {.block_size = 256, .trim_last_block = true}));
    writer::ArchiveImage tiny(32);
    c.add("archive", "empty", std::move(tiny).bytes());
  }

  c.add("lrs", "text", writer::compress_lrs(text_bytes("abcabcabcabc the quick brown fox abcabc")));
  c.add("lrs", "run", writer::compress_lrs(Bytes(300, 0x41)));
  c.add("lrs", "record", writer::compress_lrs(landblock_info(true)));
  c.add("lrs", "short", {0xAB, 0xCD});

  c.add("landblock_info", "plain", landblock_info(false));
  c.add("landblock_info", "restrictions", landblock_info(true));

  c.add("env_cell", "stabs-trailer", env_cell(0xA));
  c.add("env_cell", "plain", env_cell(0));

  {
    writer::GfxObjDesc mesh = writer::simple_mesh(0x01000001, {0x08000001, 0x08000002});
    c.add("gfx_obj", "simple", writer::encode_gfx_obj(mesh));
    mesh.flags |= 0x8;
    mesh.linked_id = 0x01000009;
    mesh.vertex_array.vertices.push_back(
        {7, writer::make_vertex({1, 2, 3}, {0, 0, 1}, {{0.5f, 0.25f}, {1, 1}})});
    c.add("gfx_obj", "linked", writer::encode_gfx_obj(mesh));
    writer::GfxObjDesc bare;
    bare.vertex_array.vertex_type = 2;
    c.add("gfx_obj", "bare", writer::encode_gfx_obj(bare));
  }

  c.add("bsp", "drawing", bsp_seed(dat::BspTreeKind::Drawing));
  c.add("bsp", "physics", bsp_seed(dat::BspTreeKind::Physics));
  c.add("bsp", "cell", bsp_seed(dat::BspTreeKind::Cell));
  {
    writer::ByteWriter w;
    w.u8(1).bytes(writer::bsp::encode_chain(dat::BspTreeKind::Physics, 40));
    c.add("bsp", "chain", w.take());
  }

  c.add("setup_model", "simple", setup_model(false));
  c.add("setup_model", "rich", setup_model(true));

  c.add("surface", "solid", writer::encode_surface(writer::solid_surface(0x80FF2010)));
  c.add("surface", "textured", writer::encode_surface(writer::textured_surface(0x05000001, 0x14)));

  c.add("surface_texture", "three",
        writer::encode_surface_texture(dat::SurfaceTexture{0x05000001, 1, 2, {0x06000001, 0x06000002, 0x06000003}}));
  c.add("surface_texture", "empty", writer::encode_surface_texture(dat::SurfaceTexture{0x05000002, 0, 0, {}}));

  const Bytes rgba = gradient_rgba(8, 8);
  c.add("texture", "dxt1", writer::encode_texture(texture(fc::Dxt1, 8, 8, writer::encode_dxt1(rgba, 8, 8))));
  c.add("texture", "p8", writer::encode_texture(texture(fc::P8, 4, 2, Bytes{0, 1, 2, 3, 3, 2, 1, 0}, 0x04000001)));
  c.add("texture", "r8g8b8", writer::encode_texture(texture(fc::R8G8B8, 2, 2, Bytes(12, 0x7F))));

  c.add("palette", "four", writer::encode_palette(dat::Palette{0x04000001, {0x80FF0000, 0xFF00FF00, 0xFF0000FF, 0}}));

  // Conversion seeds: selectors index the target's table of known codes.
  enum Selector : std::uint8_t { R8G8B8 = 1, A8R8G8B8 = 2, A8 = 5, P8 = 6, Index16 = 7, B8G8R8 = 8, L8 = 9, Dxt1 = 10, Dxt3 = 11, Dxt5 = 12 };
  c.add("to_rgba8", "r8g8b8", conversion_seed(4, 4, R8G8B8, 0, 0, Bytes(48, 0x30)));
  c.add("to_rgba8", "a8r8g8b8", conversion_seed(4, 2, A8R8G8B8, 0, 0, rgba));
  c.add("to_rgba8", "a8", conversion_seed(3, 3, A8, 0, 0, Bytes(9, 0x80)));
  c.add("to_rgba8", "b8g8r8", conversion_seed(2, 2, B8G8R8, 0, 0, Bytes(12, 0x11)));
  c.add("to_rgba8", "l8", conversion_seed(2, 2, L8, 0, 0, Bytes{1, 2, 3, 4}));
  c.add("to_rgba8", "p8", conversion_seed(4, 2, P8, 1, 4, Bytes{0, 1, 2, 3, 3, 2, 1, 0}));
  c.add("to_rgba8", "index16", conversion_seed(2, 1, Index16, 1, 3, Bytes{1, 0, 2, 0}));
  c.add("to_rgba8", "p8-fetch-fails", conversion_seed(1, 1, P8, 3, 0, Bytes{0}));
  c.add("to_rgba8", "dxt1", conversion_seed(8, 8, Dxt1, 0, 0, writer::encode_dxt1(rgba, 8, 8)));
  c.add("to_rgba8", "dxt1-odd", conversion_seed(5, 3, Dxt1, 0, 0, writer::encode_dxt1(gradient_rgba(5, 3), 5, 3, writer::Dxt1Mode::ThreeColour)));
  c.add("to_rgba8", "dxt3", conversion_seed(8, 8, Dxt3, 0, 0, writer::encode_dxt3(rgba, 8, 8)));
  c.add("to_rgba8", "dxt5", conversion_seed(8, 8, Dxt5, 0, 0, writer::encode_dxt5(rgba, 8, 8)));
  c.add("to_rgba8", "negative", conversion_seed(-1, 2, R8G8B8, 0, 0, {}));

  c.add("surface_stats", "gradient", stats_seed(8, 8, 0x4, rgba));
  c.add("surface_stats", "lava", stats_seed(1, 1, 0x40, Bytes{200, 40, 30, 255}));
  c.add("surface_stats", "water", stats_seed(1, 1, 0x10, Bytes{30, 60, 160, 255}));
  c.add("surface_stats", "two-pixels", stats_seed(2, 1, 0, Bytes{0, 0, 0, 255, 255, 255, 255, 255}));

  c.add("format_f32", "cases",
        floats({0x42800000, 0x41480000, 0x3D4CCCCD, 0x358637BD, 0x5511B0B5, 0x348637BD, 0x7F7FFFFF,
                0x00000000, 0x80000000, 0x7F800000, 0x7FC00000, 0x00000001, 0x3DCCCCCD, 0x5368D4A5}));

  int k = 0;
  for (const char* key : {"0xA9B4", "A9B4FFFF", "+a9b4", "0X0xA9B4", "0x0xA9B4", "100000000Z",
                          "00000000A9B4", "0x", "-1"}) {
    c.add("landblock_key", "key-" + std::to_string(k++), text_bytes(key));
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <directory>\n", argv[0]);
    return 2;
  }
  const fs::path root = argv[1];
  std::error_code ec;
  fs::remove_all(root, ec);
  Corpus corpus(root);
  write_all(corpus);
  return corpus.ok() ? 0 : 1;
}
