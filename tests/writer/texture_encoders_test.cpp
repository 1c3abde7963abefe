// The writer's texture record encoders and DXT encoder, checked through the real decoders.

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <vector>

#include "dat/file_type/dxt.hpp"
#include "dat/file_type/palette.hpp"
#include "dat/file_type/surface.hpp"
#include "dat/file_type/surface_texture.hpp"
#include "dat/file_type/texture.hpp"
#include "writer/dxt_encoder.hpp"
#include "writer/texture_records.hpp"

namespace {

using Bytes = std::vector<std::uint8_t>;
using Rgba = std::array<std::uint8_t, 4>;

// Colours that 5:6:5 holds exactly (each channel is a value of the expansion tables).
constexpr Rgba kRed{255, 0, 0, 255}, kBlue{0, 0, 255, 255}, kGrass{66, 130, 33, 255},
    kStone{123, 125, 115, 255};

Bytes image(std::uint32_t w, std::uint32_t h, Rgba (*colour)(std::uint32_t x, std::uint32_t y)) {
  Bytes out;
  for (std::uint32_t y = 0; y < h; ++y) {
    for (std::uint32_t x = 0; x < w; ++x) {
      const Rgba c = colour(x, y);
      out.insert(out.end(), c.begin(), c.end());
    }
  }
  return out;
}

std::uint16_t c0_of(const Bytes& dxt1, std::size_t offset = 0) {
  return static_cast<std::uint16_t>(dxt1[offset] | (dxt1[offset + 1] << 8));
}
std::uint16_t c1_of(const Bytes& dxt1, std::size_t offset = 0) { return c0_of(dxt1, offset + 2); }

TEST(Rgb565, PacksToNearest) {
  EXPECT_EQ(writer::pack_rgb565(255, 0, 0), 0xF800);
  EXPECT_EQ(writer::pack_rgb565(0, 255, 0), 0x07E0);
  EXPECT_EQ(writer::pack_rgb565(0, 0, 255), 0x001F);
  EXPECT_EQ(writer::pack_rgb565(255, 255, 255), 0xFFFF);
  for (Rgba c : {kGrass, kStone}) {
    const dat::Rgb8 back = dat::expand_rgb565(writer::pack_rgb565(c[0], c[1], c[2]));
    EXPECT_EQ(back, (dat::Rgb8{c[0], c[1], c[2]}));
  }
}

TEST(DxtEncoder, Dxt1BothColourModesRoundTrip) {
  // Left half red, right half blue: both endpoints exact, indices 0 and 1 only.
  const Bytes two = image(4, 4, [](std::uint32_t x, std::uint32_t) { return x < 2 ? kRed : kBlue; });
  for (auto mode : {writer::Dxt1Mode::FourColour, writer::Dxt1Mode::ThreeColour, writer::Dxt1Mode::Auto}) {
    const Bytes dxt = writer::encode_dxt1(two, 4, 4, mode);
    ASSERT_EQ(dxt.size(), 8u);
    if (mode == writer::Dxt1Mode::ThreeColour) {
      EXPECT_LE(c0_of(dxt), c1_of(dxt));
    } else {
      EXPECT_GT(c0_of(dxt), c1_of(dxt));
    }
    EXPECT_EQ(dat::decompress_dxt1(dxt, 4, 4), two);
  }

  // One solid colour still gets c0 > c1 in four-colour mode.
  const Bytes solid = image(4, 4, [](std::uint32_t, std::uint32_t) { return kGrass; });
  const Bytes dxt = writer::encode_dxt1(solid, 4, 4, writer::Dxt1Mode::FourColour);
  EXPECT_GT(c0_of(dxt), c1_of(dxt));
  EXPECT_EQ(dat::decompress_dxt1(dxt, 4, 4), solid);

  // Transparent pixels select three-colour mode and decode as transparent black.
  const Bytes holes = image(4, 4, [](std::uint32_t x, std::uint32_t y) {
    return (x + y) % 3 == 0 ? Rgba{10, 20, 30, 0} : kStone;
  });
  const Bytes dxt_holes = writer::encode_dxt1(holes, 4, 4);
  EXPECT_LE(c0_of(dxt_holes), c1_of(dxt_holes));
  const Bytes decoded = dat::decompress_dxt1(dxt_holes, 4, 4);
  for (std::size_t p = 0; p < 16; ++p) {
    const bool hole = holes[4 * p + 3] == 0;
    const Rgba expected = hole ? Rgba{0, 0, 0, 0} : kStone;
    EXPECT_EQ((Rgba{decoded[4 * p], decoded[4 * p + 1], decoded[4 * p + 2], decoded[4 * p + 3]}), expected) << p;
  }
}

TEST(DxtEncoder, Dxt3AndDxt5Alpha) {
  // DXT3: multiples of 17 are exact.
  const Bytes stepped = image(4, 4, [](std::uint32_t x, std::uint32_t y) {
    return Rgba{66, 130, 33, static_cast<std::uint8_t>(17 * (y * 4 + x))};
  });
  EXPECT_EQ(dat::decompress_dxt3(writer::encode_dxt3(stepped, 4, 4), 4, 4), stepped);

  // DXT5: the two extreme alphas are the endpoints, so a two-level block is exact.
  const Bytes two_level = image(4, 4, [](std::uint32_t x, std::uint32_t) {
    return Rgba{123, 125, 115, static_cast<std::uint8_t>(x < 2 ? 40 : 200)};
  });
  EXPECT_EQ(dat::decompress_dxt5(writer::encode_dxt5(two_level, 4, 4), 4, 4), two_level);

  // A full ramp lands within half a step of the eight-value table.
  const Bytes ramp = image(4, 4, [](std::uint32_t x, std::uint32_t y) {
    return Rgba{0, 0, 255, static_cast<std::uint8_t>((y * 4 + x) * 17)};
  });
  const Bytes out = dat::decompress_dxt5(writer::encode_dxt5(ramp, 4, 4), 4, 4);
  for (std::size_t p = 0; p < 16; ++p) {
    EXPECT_LE(std::abs(out[4 * p + 3] - ramp[4 * p + 3]), 255 / 14 + 1) << p;
    EXPECT_EQ(out[4 * p + 2], 255);
  }
}

TEST(DxtEncoder, ImagesOfOddSizes) {
  // Regions of exact colours aligned to blocks survive any size; edge blocks are padded.
  for (auto [w, h] : {std::pair{5u, 3u}, {13u, 6u}, {1u, 1u}, {8u, 8u}}) {
    const Bytes rgba = image(w, h, [](std::uint32_t x, std::uint32_t y) {
      return ((x / 4) + (y / 4)) % 2 == 0 ? kGrass : kStone;
    });
    const std::size_t blocks = std::size_t{(w + 3) / 4} * ((h + 3) / 4);
    const Bytes d1 = writer::encode_dxt1(rgba, w, h);
    const Bytes d3 = writer::encode_dxt3(rgba, w, h);
    const Bytes d5 = writer::encode_dxt5(rgba, w, h);
    ASSERT_EQ(d1.size(), blocks * 8);
    ASSERT_EQ(d3.size(), blocks * 16);
    ASSERT_EQ(d5.size(), blocks * 16);
    EXPECT_EQ(dat::decompress_dxt1(d1, w, h), rgba) << w << "x" << h;
    EXPECT_EQ(dat::decompress_dxt3(d3, w, h), rgba) << w << "x" << h;
    EXPECT_EQ(dat::decompress_dxt5(d5, w, h), rgba) << w << "x" << h;
  }
  EXPECT_TRUE(writer::encode_dxt1({}, 0, 4).empty());
}

TEST(TextureRecordEncoders, RoundTripThroughTheReaders) {
  dat::Surface solid = writer::solid_surface(0x80FF2010);
  solid.translucency = 0x3F000000;
  auto s = dat::Surface::unpack(writer::encode_surface(solid));
  ASSERT_TRUE(s.has_value());
  EXPECT_EQ(s->color_value, 0x80FF2010u);
  EXPECT_EQ(s->translucency, 0x3F000000u);
  EXPECT_FALSE(s->texture_refs.has_value());

  auto t = dat::Surface::unpack(writer::encode_surface(writer::textured_surface(0x05000010, 0x4, 0x0400002A)));
  ASSERT_TRUE(t.has_value());
  ASSERT_TRUE(t->texture_refs.has_value());
  EXPECT_EQ(t->texture_refs->orig_texture_id, 0x05000010u);
  EXPECT_EQ(t->texture_refs->orig_palette_id, 0x0400002Au);

  auto list = dat::SurfaceTexture::unpack(writer::encode_surface_texture({0x05000010, 1, 2, {3, 4, 5}}));
  ASSERT_TRUE(list.has_value());
  EXPECT_EQ(list->textures, (std::vector<std::uint32_t>{3, 4, 5}));

  const dat::Texture tex{0x06000001, 0, 2, 1, dat::format_code::P8, {0, 1}, 0x0400002A};
  auto read = dat::Texture::unpack(writer::encode_texture(tex));
  ASSERT_TRUE(read.has_value());
  EXPECT_EQ(read->source_data, tex.source_data);
  EXPECT_EQ(read->default_palette_id, tex.default_palette_id);

  auto pal = dat::Palette::unpack(writer::encode_palette({0x0400002A, {0x80FF0000, 0xFF00FF00}}));
  ASSERT_TRUE(pal.has_value());
  auto rgba = read->to_rgba8([&](std::uint32_t) -> std::expected<dat::Palette, std::string> { return *pal; });
  ASSERT_TRUE(rgba.has_value());
  EXPECT_EQ(*rgba, (Bytes{255, 0, 0, 0x80, 0, 255, 0, 255}));
}

}  // namespace
