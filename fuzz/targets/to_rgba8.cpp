// Texture::to_rgba8 with arbitrary texture fields and a palette taken from the input.
//
// Input: width i32, height i32, format selector u8 (below 13: one of the known codes,
// otherwise a raw u32 code follows), flags u8 (bit 0: a palette id u32 follows; bit 1: the
// palette fetch fails), palette colour count u16 and that many u32 colours, then the
// source data.

#include <array>

#include "dat/file_type/dxt.hpp"
#include "dat/file_type/texture.hpp"
#include "fuzz_input.hpp"

namespace {

namespace fc = dat::format_code;
constexpr std::array<std::uint32_t, 13> kKnownCodes = {
    fc::Undefined, fc::R8G8B8, fc::A8R8G8B8, fc::R5G6B5, fc::A4R4G4B4, fc::A8,   fc::P8,
    fc::Index16,   fc::B8G8R8, fc::L8,       fc::Dxt1,   fc::Dxt3,     fc::Dxt5,
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::Input in(data, size);
  dat::Texture t;
  t.width = in.i32();
  t.height = in.i32();
  const std::uint8_t selector = in.u8();
  t.format_raw = selector < kKnownCodes.size() ? kKnownCodes[selector] : in.u32();
  const std::uint8_t flags = in.u8();
  if (flags & 1) t.default_palette_id = in.u32();
  const bool fetch_fails = (flags & 2) != 0;
  dat::Palette palette;
  const std::uint16_t colours = in.u16();
  for (std::uint16_t i = 0; i < colours && in.remaining() >= 4; ++i) {
    palette.colors.push_back(in.u32());
  }
  const auto src = in.rest();
  t.source_data.assign(src.begin(), src.end());

  // The pixel count as the conversion defines it: both sides widened, taken as unsigned.
  const auto w = static_cast<std::uint64_t>(static_cast<std::int64_t>(t.width));
  const auto h = static_cast<std::uint64_t>(static_cast<std::int64_t>(t.height));
  std::uint64_t n = 0;
  const bool too_big = __builtin_mul_overflow(w, h, &n) || n > dat::kMaxDecodedPixels;

  // Block formats allocate their whole output before the data is looked at, up to 256 MiB
  // at the pixel bound: a legal outcome, but one that would hold the fuzzer at a few
  // executions per second and near its memory limit. Their large sizes are left to the unit
  // tests; the bound itself is still exercised here, since refusing costs nothing.
  const auto kind = t.format().kind;
  const bool block_format = kind == dat::TextureFormat::Kind::Dxt1 ||
                            kind == dat::TextureFormat::Kind::Dxt3 ||
                            kind == dat::TextureFormat::Kind::Dxt5;
  if (block_format && !too_big && n > (1u << 16)) return 0;

  int calls = 0;
  const dat::PaletteFetch fetch =
      [&](std::uint32_t id) -> std::expected<dat::Palette, std::string> {
    ++calls;
    FUZZ_CHECK(t.default_palette_id && id == *t.default_palette_id);
    if (fetch_fails) return std::unexpected(std::string("no palette"));
    return palette;
  };
  const auto rgba = t.to_rgba8(fetch);

  const bool indexed =
      kind == dat::TextureFormat::Kind::P8 || kind == dat::TextureFormat::Kind::Index16;
  FUZZ_CHECK(calls <= 1);
  FUZZ_CHECK(calls == 0 || (indexed && !too_big));
  if (too_big) {
    FUZZ_CHECK(!rgba && rgba.error().is<dat::TextureDecodeError::DimensionOverflow>());
  } else if (rgba) {
    FUZZ_CHECK(rgba->size() == 4 * n);
  } else {
    FUZZ_CHECK(!rgba.error().is<dat::TextureDecodeError::DimensionOverflow>());
    if (rgba.error().is<dat::TextureDecodeError::PaletteFetch>()) FUZZ_CHECK(fetch_fails);
  }
  return 0;
}
