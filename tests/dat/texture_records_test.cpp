// Readers of Surface, SurfaceTexture, Texture and Palette: layouts, context frames, counts.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dat/file_type/palette.hpp"
#include "dat/file_type/surface.hpp"
#include "dat/file_type/surface_texture.hpp"
#include "dat/file_type/texture.hpp"
#include "writer/byte_writer.hpp"
#include "writer/texture_records.hpp"

namespace {

using Bytes = std::vector<std::uint8_t>;
using Frames = std::vector<std::string>;

Frames frames(const dat::ReadError& e) {
  Frames out;
  for (const auto& f : e.context) out.push_back(f.message);
  return out;
}

std::string field(const char* name, const char* record) {
  return std::string("While parsing field '") + name + "' in " + record;
}

Bytes cut(Bytes b, std::size_t n) {
  b.resize(n);
  return b;
}

// ---- Surface ----

TEST(SurfaceRecord, SolidAndTexturedLayouts) {
  writer::ByteWriter solid;
  solid.u32(0x1).u32(0xFF336699).u32(11).u32(12).u32(13);
  auto s = dat::Surface::unpack(solid.view());
  ASSERT_TRUE(s.has_value());
  EXPECT_EQ(solid.size(), 20u);
  EXPECT_EQ(s->surface_type, 0x1u);
  EXPECT_EQ(s->color_value, 0xFF336699u);
  EXPECT_FALSE(s->texture_refs.has_value());
  EXPECT_EQ(s->translucency, 11u);
  EXPECT_EQ(s->luminosity, 12u);
  EXPECT_EQ(s->diffuse, 13u);

  for (std::uint32_t type : {0x2u, 0x4u, 0x5u, 0x6u}) {
    writer::ByteWriter w;
    w.u32(type).u32(0x05000010).u32(0x04000020).u32(11).u32(12).u32(13).u32(0xDEADBEEF);
    auto t = dat::Surface::unpack(w.view());  // the trailing word is ignored
    ASSERT_TRUE(t.has_value()) << type;
    EXPECT_FALSE(t->color_value.has_value());
    ASSERT_TRUE(t->texture_refs.has_value());
    EXPECT_EQ(t->texture_refs->orig_texture_id, 0x05000010u);
    EXPECT_EQ(t->texture_refs->orig_palette_id, 0x04000020u);
    EXPECT_EQ(t->translucency, 11u);
    EXPECT_EQ(t->diffuse, 13u);
  }
}

TEST(SurfaceRecord, EveryShortLengthNamesItsField) {
  const Bytes solid = writer::encode_surface(writer::solid_surface(0xFF336699, 0x1));
  const Bytes textured = writer::encode_surface(writer::textured_surface(0x05000010, 0x2));
  ASSERT_EQ(solid.size(), 20u);
  ASSERT_EQ(textured.size(), 24u);

  const char* solid_fields[] = {"surface_type", "color_value", "translucency", "luminosity",
                                "diffuse"};
  for (std::size_t n = 0; n < solid.size(); ++n) {
    auto r = dat::Surface::unpack(cut(solid, n));
    ASSERT_FALSE(r.has_value()) << n;
    EXPECT_EQ(r.error().kind, dat::ReadErrorKind::EndOfData);
    EXPECT_EQ(frames(r.error()), Frames{field(solid_fields[n / 4], "Surface")}) << n;
  }

  for (std::size_t n = 0; n < textured.size(); ++n) {
    auto r = dat::Surface::unpack(cut(textured, n));
    ASSERT_FALSE(r.has_value()) << n;
    Frames expected;
    if (n < 4) {
      expected = {field("surface_type", "Surface")};
    } else if (n < 12) {
      expected = {field(n < 8 ? "orig_texture_id" : "orig_palette_id", "TextureRefs"),
                  field("texture_refs", "Surface")};
    } else {
      const char* tail[] = {"translucency", "luminosity", "diffuse"};
      expected = {field(tail[(n - 12) / 4], "Surface")};
    }
    EXPECT_EQ(frames(r.error()), expected) << n;
  }
}

// ---- SurfaceTexture ----

TEST(SurfaceTextureRecord, ReadsUnalignedCountAndIds) {
  dat::SurfaceTexture in{0x05000010, 7, 0xAB, {0x06000001, 0x06000002}};
  Bytes bytes = writer::encode_surface_texture(in);
  ASSERT_EQ(bytes.size(), 21u);
  EXPECT_EQ(bytes[9], 2u);  // the count sits right after the byte
  bytes.push_back(0xEE);    // trailing bytes are ignored
  auto r = dat::SurfaceTexture::unpack(bytes);
  ASSERT_TRUE(r.has_value());
  EXPECT_EQ(r->id, 0x05000010u);
  EXPECT_EQ(r->unknown_int, 7u);
  EXPECT_EQ(r->unknown_byte, 0xABu);
  EXPECT_EQ(r->textures, (std::vector<std::uint32_t>{0x06000001, 0x06000002}));

  auto empty = dat::SurfaceTexture::unpack(writer::encode_surface_texture({1, 2, 3, {}}));
  ASSERT_TRUE(empty.has_value());
  EXPECT_TRUE(empty->textures.empty());
}

TEST(SurfaceTextureRecord, ShortDataAndBadCounts) {
  const Bytes full = writer::encode_surface_texture({0x05000010, 7, 0xAB, {1, 2}});
  for (std::size_t n = 0; n < full.size(); ++n) {
    auto r = dat::SurfaceTexture::unpack(cut(full, n));
    ASSERT_FALSE(r.has_value()) << n;
    const char* name = n < 4 ? "id" : n < 8 ? "unknown_int" : n == 8 ? "unknown_byte" : "textures";
    EXPECT_EQ(frames(r.error()), Frames{field(name, "SurfaceTexture")}) << n;
  }

  // A negative count, and a count far beyond the data, both end like short data.
  for (std::int32_t count : {-1, INT32_MIN, INT32_MAX}) {
    writer::ByteWriter w;
    w.u32(1).u32(2).u8(3).i32(count).u32(0x06000001);
    auto r = dat::SurfaceTexture::unpack(w.view());
    ASSERT_FALSE(r.has_value()) << count;
    EXPECT_EQ(r.error().text(),
              "failed to fill whole buffer\n" + field("textures", "SurfaceTexture"));
  }
}

// ---- Texture ----

TEST(TextureRecord, ReadsFieldsAndPaletteIdOnlyForIndexedFormats) {
  auto empty = dat::Texture::unpack(
      writer::encode_texture({1, 2, 3, 4, dat::format_code::A8R8G8B8, {}, std::nullopt}));
  ASSERT_TRUE(empty.has_value());
  EXPECT_TRUE(empty->source_data.empty());
  EXPECT_FALSE(empty->default_palette_id.has_value());

  for (std::uint32_t format : {dat::format_code::P8, dat::format_code::Index16}) {
    const Bytes bytes = writer::encode_texture({0x06000001, 9, 2, -3, format, {1, 2, 3, 4}, 0x0400002A});
    ASSERT_EQ(bytes.size(), 32u);
    auto t = dat::Texture::unpack(bytes);
    ASSERT_TRUE(t.has_value());
    EXPECT_EQ(t->id, 0x06000001u);
    EXPECT_EQ(t->unknown, 9u);
    EXPECT_EQ(t->width, 2);
    EXPECT_EQ(t->height, -3);
    EXPECT_EQ(t->format_raw, format);
    EXPECT_EQ(t->source_data, (Bytes{1, 2, 3, 4}));
    EXPECT_EQ(t->default_palette_id, 0x0400002Au);

    auto short_id = dat::Texture::unpack(cut(bytes, 31));
    ASSERT_FALSE(short_id.has_value());
    const auto* bin = std::get_if<dat::DatError::BinRead>(&short_id.error().value);
    ASSERT_NE(bin, nullptr);
    EXPECT_EQ(frames(bin->error), Frames{field("default_palette_id", "Texture")});
  }

  // The same 28 bytes as a non-indexed format: nothing is read after source_data.
  const Bytes bytes = writer::encode_texture({1, 0, 1, 1, dat::format_code::R8G8B8, {1, 2, 3, 4}, std::nullopt});
  ASSERT_EQ(bytes.size(), 28u);
  auto t = dat::Texture::unpack(bytes);
  ASSERT_TRUE(t.has_value());
  EXPECT_FALSE(t->default_palette_id.has_value());

  auto other = dat::Texture::unpack(writer::encode_texture({1, 0, 1, 1, 0x12345678, {}, std::nullopt}));
  ASSERT_TRUE(other.has_value());
  EXPECT_EQ(other->format(), (dat::TextureFormat{dat::TextureFormat::Kind::Other, 0x12345678}));
}

TEST(TextureRecord, FailuresAreBinReadWithTheirFrames) {
  const Bytes full = writer::encode_texture({1, 2, 4, 4, dat::format_code::L8, Bytes(16, 7), std::nullopt});
  const char* header[] = {"id", "_unknown", "width", "height", "format_raw", "length"};
  for (std::size_t n = 0; n < 24 + 10; ++n) {
    auto r = dat::Texture::unpack(cut(full, n));
    ASSERT_FALSE(r.has_value()) << n;
    const auto* bin = std::get_if<dat::DatError::BinRead>(&r.error().value);
    ASSERT_NE(bin, nullptr) << n;
    const std::string name = n < 24 ? header[n / 4] : "source_data";
    EXPECT_EQ(frames(bin->error), Frames{field(name.c_str(), "Texture")}) << n;
    // source_data is a run of raw bytes read by count
    EXPECT_EQ(bin->error.kind_text(),
              n < 24 ? "failed to fill whole buffer" : "not enough bytes in reader");
  }

  writer::ByteWriter neg;
  neg.u32(1).u32(2).i32(4).i32(4).u32(dat::format_code::L8).i32(-1).zeros(16);
  auto r = dat::Texture::unpack(neg.view());
  ASSERT_FALSE(r.has_value());
  const auto* bin = std::get_if<dat::DatError::BinRead>(&r.error().value);
  ASSERT_NE(bin, nullptr);
  EXPECT_EQ(bin->error.kind, dat::ReadErrorKind::InvalidData);
  EXPECT_EQ(bin->error.position, 24u);
  EXPECT_TRUE(bin->error.context.empty());
  EXPECT_EQ(bin->error.text(), "texture length -1 out of range at 0x18");
}

TEST(TextureFormatMapping, KnownCodesAndOther) {
  using K = dat::TextureFormat::Kind;
  const std::pair<std::uint32_t, K> cases[] = {
      {0, K::Undefined},       {20, K::R8G8B8},      {21, K::A8R8G8B8}, {23, K::R5G6B5},
      {26, K::A4R4G4B4},       {28, K::A8},          {41, K::P8},       {101, K::Index16},
      {243, K::B8G8R8},        {244, K::L8},         {0x31545844, K::Dxt1},
      {0x33545844, K::Dxt3},   {0x35545844, K::Dxt5}, {22, K::Other},   {0x32545844, K::Other},
      {0xFFFFFFFF, K::Other},
  };
  for (const auto& [raw, kind] : cases) {
    EXPECT_EQ(dat::texture_format_from_raw(raw), (dat::TextureFormat{kind, raw})) << raw;
  }
}

// ---- Palette ----

TEST(PaletteRecord, ColoursAndShortData) {
  writer::ByteWriter w;
  w.u32(0x0400002A).i32(2).u8(0x10).u8(0x20).u8(0x30).u8(0x40).u32(0xFF00FF00);
  auto p = dat::Palette::unpack(w.view());
  ASSERT_TRUE(p.has_value());
  EXPECT_EQ(p->id, 0x0400002Au);
  EXPECT_EQ(p->colors, (std::vector<std::uint32_t>{0x40302010, 0xFF00FF00}));
  EXPECT_EQ(writer::encode_palette(*p), w.view());

  const Bytes full = w.view();
  for (std::size_t n = 0; n < full.size(); ++n) {
    auto r = dat::Palette::unpack(cut(full, n));
    ASSERT_FALSE(r.has_value()) << n;
    EXPECT_EQ(frames(r.error()), Frames{field(n < 4 ? "id" : "colors", "Palette")}) << n;
  }

  for (std::int32_t count : {-1, INT32_MIN, INT32_MAX}) {
    writer::ByteWriter bad;
    bad.u32(1).i32(count).u32(0xFF000000);
    auto r = dat::Palette::unpack(bad.view());
    ASSERT_FALSE(r.has_value()) << count;
    EXPECT_EQ(r.error().text(), "failed to fill whole buffer\n" + field("colors", "Palette"));
  }
}

}  // namespace
