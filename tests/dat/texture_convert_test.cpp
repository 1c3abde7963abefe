// Texture::to_rgba8: every format row, every failure, and the order of the checks.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dat/file_type/dxt.hpp"
#include "dat/file_type/texture.hpp"
#include "writer/dxt_encoder.hpp"

namespace {

using Bytes = std::vector<std::uint8_t>;
using Err = dat::TextureDecodeError;
namespace fc = dat::format_code;

dat::Texture texture(std::int32_t w, std::int32_t h, std::uint32_t format, Bytes data,
                     std::optional<std::uint32_t> palette_id = std::nullopt) {
  return dat::Texture{0x06000001, 0, w, h, format, std::move(data), palette_id};
}

// A fetch that records its calls and serves one palette (or fails).
struct FakeFetch {
  std::vector<std::uint32_t> calls;
  std::expected<dat::Palette, std::string> answer;

  dat::PaletteFetch fn() {
    return [this](std::uint32_t id) {
      calls.push_back(id);
      return answer;
    };
  }
};

FakeFetch serving(std::vector<std::uint32_t> colors) {
  return FakeFetch{{}, dat::Palette{0x0400002A, std::move(colors)}};
}

TEST(PixelConversion, DirectFormats) {
  struct Case {
    std::uint32_t format;
    std::int32_t w, h;
    Bytes src;
    Bytes rgba;
  };
  const Case cases[] = {
      {fc::R8G8B8, 1, 1, {0x10, 0x20, 0x30}, {0x30, 0x20, 0x10, 255}},
      {fc::B8G8R8, 1, 1, {0x10, 0x20, 0x30}, {0x10, 0x20, 0x30, 255}},
      {fc::A8R8G8B8, 1, 1, {0x10, 0x20, 0x30, 0x40}, {0x30, 0x20, 0x10, 0x40}},
      {fc::A8, 1, 1, {0x7F}, {0x7F, 0x7F, 0x7F, 255}},
      {fc::L8, 1, 1, {0x7F}, {0x7F, 0x7F, 0x7F, 255}},
      // pixels in source order; bytes beyond the image are ignored
      {fc::R8G8B8, 2, 1, {1, 2, 3, 4, 5, 6, 9}, {3, 2, 1, 255, 6, 5, 4, 255}},
      {fc::A8R8G8B8, 1, 2, {1, 2, 3, 4, 5, 6, 7, 8}, {3, 2, 1, 4, 7, 6, 5, 8}},
      {fc::L8, 3, 1, {0, 128, 255, 1}, {0, 0, 0, 255, 128, 128, 128, 255, 255, 255, 255, 255}},
      // no pixels: an empty image, even from no data
      {fc::A8R8G8B8, 0, 5, {}, {}},
      {fc::R8G8B8, 0, -7, {}, {}},
      {fc::Dxt1, 0, 4, {}, {}},
  };
  FakeFetch fetch = serving({});
  for (const auto& c : cases) {
    auto r = texture(c.w, c.h, c.format, c.src).to_rgba8(fetch.fn());
    ASSERT_TRUE(r.has_value()) << c.format;
    EXPECT_EQ(*r, c.rgba) << c.format << " " << c.w << "x" << c.h;
  }
  EXPECT_TRUE(fetch.calls.empty());
}

TEST(PixelConversion, ShortSourceIsInsufficientData) {
  const std::pair<std::uint32_t, std::size_t> needs[] = {
      {fc::R8G8B8, 3}, {fc::B8G8R8, 3}, {fc::A8R8G8B8, 4}, {fc::A8, 1}, {fc::L8, 1}};
  for (const auto& [format, per_pixel] : needs) {
    const Bytes src(per_pixel * 6 - 1, 0);
    auto r = texture(3, 2, format, src).to_rgba8(serving({}).fn());
    ASSERT_FALSE(r.has_value()) << format;
    EXPECT_TRUE(r.error().is<Err::InsufficientData>()) << format;
  }
}

TEST(PixelConversion, IndexedFormats) {
  FakeFetch fetch = serving({0x80FF0000, 0xFF00FF00});
  auto p8 = texture(2, 1, fc::P8, {0, 1}, 0x0400002A).to_rgba8(fetch.fn());
  ASSERT_TRUE(p8.has_value());
  EXPECT_EQ(*p8, (Bytes{255, 0, 0, 0x80, 0, 255, 0, 255}));
  EXPECT_EQ(fetch.calls, std::vector<std::uint32_t>{0x0400002A});  // once, not per pixel

  std::vector<std::uint32_t> big(258, 0);
  big[257] = 0x11223344;
  FakeFetch fetch16 = serving(big);
  auto i16 = texture(1, 1, fc::Index16, {0x01, 0x01}, 7).to_rgba8(fetch16.fn());
  ASSERT_TRUE(i16.has_value());
  EXPECT_EQ(*i16, (Bytes{0x22, 0x33, 0x44, 0x11}));
  EXPECT_EQ(fetch16.calls, std::vector<std::uint32_t>{7});
}

TEST(PixelConversion, IndexedFailuresInOrder) {
  struct Case {
    const char* what;
    dat::Texture tex;
    FakeFetch fetch;
    std::size_t expected_calls;
    bool (*check)(const Err&);
  };
  Case cases[] = {
      {"no palette id: fetch not called", texture(1, 1, fc::P8, {0}), serving({1}), 0,
       [](const Err& e) { return e.is<Err::MissingPalette>(); }},
      {"Index16 without palette id", texture(1, 1, fc::Index16, {0, 0}), serving({1}), 0,
       [](const Err& e) { return e.is<Err::MissingPalette>(); }},
      {"fetch fails before the length is looked at", texture(4, 4, fc::P8, {}, 5),
       FakeFetch{{}, std::unexpected(std::string("0x00000005: File ID 00000005 not found"))}, 1,
       [](const Err& e) {
         const auto* f = std::get_if<Err::PaletteFetch>(&e.value);
         return f && f->message == "0x00000005: File ID 00000005 not found";
       }},
      {"short data after a good fetch", texture(2, 2, fc::P8, {0, 0, 0}, 5), serving({1}), 1,
       [](const Err& e) { return e.is<Err::InsufficientData>(); }},
      {"short Index16 data", texture(2, 1, fc::Index16, {0, 0, 0}, 5), serving({1}), 1,
       [](const Err& e) { return e.is<Err::InsufficientData>(); }},
      {"P8 index 2 of two colours", texture(3, 1, fc::P8, {0, 2, 0}, 5), serving({1, 2}), 1,
       [](const Err& e) { return e.is<Err::PaletteIndexOutOfRange>(); }},
      {"Index16 index 256 of 256 colours", texture(1, 1, fc::Index16, {0x00, 0x01}, 5),
       serving(std::vector<std::uint32_t>(256, 0)), 1,
       [](const Err& e) { return e.is<Err::PaletteIndexOutOfRange>(); }},
      {"empty palette", texture(1, 1, fc::P8, {0}, 5), serving({}), 1,
       [](const Err& e) { return e.is<Err::PaletteIndexOutOfRange>(); }},
  };
  for (auto& c : cases) {
    auto r = c.tex.to_rgba8(c.fetch.fn());
    ASSERT_FALSE(r.has_value()) << c.what;
    EXPECT_TRUE(c.check(r.error())) << c.what;
    EXPECT_EQ(c.fetch.calls.size(), c.expected_calls) << c.what;
  }
}

// The output pixel of source pixel i by the conversion table, one pixel at a time.
Bytes reference_rgba(std::uint32_t format, const Bytes& src, std::size_t n,
                     const std::vector<std::uint32_t>& colors) {
  Bytes out;
  for (std::size_t i = 0; i < n; ++i) {
    const std::uint8_t* s = &src[0];
    std::uint32_t c = 0;
    switch (format) {
      case fc::R8G8B8: out.insert(out.end(), {s[3 * i + 2], s[3 * i + 1], s[3 * i], 255}); break;
      case fc::B8G8R8: out.insert(out.end(), {s[3 * i], s[3 * i + 1], s[3 * i + 2], 255}); break;
      case fc::A8R8G8B8:
        out.insert(out.end(), {s[4 * i + 2], s[4 * i + 1], s[4 * i], s[4 * i + 3]});
        break;
      case fc::A8:
      case fc::L8: out.insert(out.end(), {s[i], s[i], s[i], 255}); break;
      case fc::P8:
      case fc::Index16:
        c = colors.at(format == fc::P8 ? s[i] : s[2 * i] + 256u * s[2 * i + 1]);
        out.insert(out.end(), {static_cast<std::uint8_t>(c >> 16), static_cast<std::uint8_t>(c >> 8),
                               static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(c >> 24)});
        break;
    }
  }
  return out;
}

// Sizes around the widths of the vector paths (4 and 16 pixels) and their remainders, with
// the source exactly as long as the image needs, so no path may read past it.
TEST(PixelConversion, EverySizeMatchesThePerPixelTable) {
  std::uint32_t seed = 5;
  const auto next = [&seed] { return (seed = seed * 1103515245u + 12345u) >> 16; };
  std::vector<std::uint32_t> colors(300);
  for (auto& c : colors) c = next() * 65537u;
  const std::pair<std::uint32_t, std::size_t> formats[] = {
      {fc::R8G8B8, 3}, {fc::B8G8R8, 3}, {fc::A8R8G8B8, 4}, {fc::A8, 1},
      {fc::L8, 1},     {fc::P8, 1},     {fc::Index16, 2}};
  for (const auto& [format, step] : formats) {
    for (const std::int32_t w : {1, 2, 3, 4, 5, 7, 15, 16, 17, 31, 33, 64, 100}) {
      for (const std::int32_t h : {1, 3}) {
        const std::size_t n = static_cast<std::size_t>(w) * h;
        Bytes src(n * step);
        for (auto& b : src) b = static_cast<std::uint8_t>(next());
        if (format == fc::Index16)
          for (std::size_t i = 1; i < src.size(); i += 2) src[i] &= 0;  // indices below 256
        FakeFetch f = serving(colors);
        const auto t = texture(w, h, format, src, 0x0400002A);
        const auto got = t.to_rgba8(f.fn());
        ASSERT_TRUE(got) << format << " " << w << "x" << h;
        EXPECT_EQ(*got, reference_rgba(format, src, n, colors)) << format << " " << w << "x" << h;
      }
    }
  }
}

// One index past the palette fails the conversion wherever it sits, and one at the last
// colour does not.
TEST(PixelConversion, AnyIndexPastThePaletteFails) {
  for (const std::uint32_t format : {fc::P8, fc::Index16}) {
    const std::size_t step = format == fc::P8 ? 1 : 2;
    for (const std::size_t at : {0u, 5u, 16u, 99u}) {
      for (const std::size_t colours : {1u, 37u, 200u}) {
        Bytes src(100 * step, 0);
        src[at * step] = static_cast<std::uint8_t>(colours - 1);
        FakeFetch ok = serving(std::vector<std::uint32_t>(colours, 0xFF102030u));
        EXPECT_TRUE(texture(10, 10, format, src, 7).to_rgba8(ok.fn())) << at << " " << colours;
        src[at * step] = static_cast<std::uint8_t>(colours);
        FakeFetch bad = serving(std::vector<std::uint32_t>(colours, 0xFF102030u));
        const auto r = texture(10, 10, format, src, 7).to_rgba8(bad.fn());
        ASSERT_FALSE(r);
        EXPECT_TRUE(r.error().is<Err::PaletteIndexOutOfRange>()) << at << " " << colours;
      }
    }
    // A high byte makes an Index16 index large.
    if (format == fc::Index16) {
      Bytes src(8, 0);
      src[7] = 1;  // pixel 3 has index 256
      FakeFetch f = serving(std::vector<std::uint32_t>(256, 1));
      const auto r = texture(4, 1, format, src, 7).to_rgba8(f.fn());
      ASSERT_FALSE(r);
      EXPECT_TRUE(r.error().is<Err::PaletteIndexOutOfRange>());
    }
  }
}

TEST(PixelConversion, UnsupportedFormatsCarryTheirFormat) {
  using K = dat::TextureFormat::Kind;
  const std::pair<std::uint32_t, K> cases[] = {
      {0, K::Undefined}, {23, K::R5G6B5}, {26, K::A4R4G4B4}, {22, K::Other}, {0x12345678, K::Other}};
  for (const auto& [raw, kind] : cases) {
    auto r = texture(1, 1, raw, {1, 2, 3, 4}).to_rgba8(serving({}).fn());
    ASSERT_FALSE(r.has_value()) << raw;
    const auto* u = std::get_if<Err::UnsupportedFormat>(&r.error().value);
    ASSERT_NE(u, nullptr) << raw;
    EXPECT_EQ(u->format, (dat::TextureFormat{kind, raw}));
  }
}

TEST(PixelConversion, DimensionChecksComeBeforeTheFormat) {
  struct Case {
    std::int32_t w, h;
    std::uint32_t format;
  };
  const Case cases[] = {
      // a negative side is a huge unsigned count: the product overflows 64 bits
      {-1, 2, fc::A8R8G8B8}, {-1, 2, fc::P8}, {-1, 2, 23}, {2, -1, fc::Dxt1}, {-1, -1, fc::L8},
      // fits in 64 bits but exceeds the 8192 × 8192 bound (-1 × 1 is 2^64 - 1 pixels)
      {-1, 1, fc::A8R8G8B8}, {1, -1, fc::P8}, {8193, 8192, fc::L8}, {8192, 8193, fc::Dxt5},
      {65536, 65536, 23}, {INT32_MAX, INT32_MAX, fc::R8G8B8},
  };
  for (const auto& c : cases) {
    FakeFetch fetch = serving({1});
    auto r = texture(c.w, c.h, c.format, {}, 5).to_rgba8(fetch.fn());
    ASSERT_FALSE(r.has_value()) << c.w << "x" << c.h;
    EXPECT_TRUE(r.error().is<Err::DimensionOverflow>()) << c.w << "x" << c.h << " " << c.format;
    EXPECT_TRUE(fetch.calls.empty());
  }

  // Exactly at the bound the size is accepted and the format decides.
  auto at_bound = texture(8192, 8192, fc::L8, {}).to_rgba8(serving({}).fn());
  ASSERT_FALSE(at_bound.has_value());
  EXPECT_TRUE(at_bound.error().is<Err::InsufficientData>());
  auto one_row = texture(1, 1, fc::A8R8G8B8, {}).to_rgba8(serving({}).fn());
  ASSERT_FALSE(one_row.has_value());
  EXPECT_TRUE(one_row.error().is<Err::InsufficientData>());
}

TEST(PixelConversion, DxtFormatsUseTheDecodersAndNeverFailOnShortData) {
  Bytes rgba(8 * 4 * 4);
  for (std::size_t i = 0; i < rgba.size(); ++i) rgba[i] = static_cast<std::uint8_t>(i * 37);
  const std::pair<std::uint32_t, Bytes> cases[] = {
      {fc::Dxt1, writer::encode_dxt1(rgba, 8, 4)},
      {fc::Dxt3, writer::encode_dxt3(rgba, 8, 4)},
      {fc::Dxt5, writer::encode_dxt5(rgba, 8, 4)},
  };
  for (const auto& [format, data] : cases) {
    const auto expected = format == fc::Dxt1   ? dat::decompress_dxt1(data, 8, 4)
                          : format == fc::Dxt3 ? dat::decompress_dxt3(data, 8, 4)
                                               : dat::decompress_dxt5(data, 8, 4);
    auto r = texture(8, 4, format, data).to_rgba8(serving({}).fn());
    ASSERT_TRUE(r.has_value());
    EXPECT_EQ(*r, expected);

    // Half the data: the first block decodes, the second stays zero.
    const Bytes half(data.begin(), data.begin() + data.size() / 2);
    auto partial = texture(8, 4, format, half).to_rgba8(serving({}).fn());
    ASSERT_TRUE(partial.has_value());
    ASSERT_EQ(partial->size(), 8u * 4 * 4);
    for (int y = 0; y < 4; ++y) {
      for (int x = 4; x < 8; ++x) {
        for (int c = 0; c < 4; ++c) EXPECT_EQ((*partial)[(y * 8 + x) * 4 + c], 0);
      }
      for (int x = 0; x < 16; ++x) EXPECT_EQ((*partial)[y * 32 + x], expected[y * 32 + x]);
    }
  }
}

}  // namespace
