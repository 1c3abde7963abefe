#include "dat/file_type/texture.hpp"

#include <fmt/format.h>

#include <cstring>

#include "dat/file_type/dxt.hpp"

namespace dat {

TextureFormat texture_format_from_raw(std::uint32_t raw) {
  using K = TextureFormat::Kind;
  namespace fc = format_code;
  K kind = K::Other;
  switch (raw) {
    case fc::Undefined: kind = K::Undefined; break;
    case fc::R8G8B8: kind = K::R8G8B8; break;
    case fc::A8R8G8B8: kind = K::A8R8G8B8; break;
    case fc::R5G6B5: kind = K::R5G6B5; break;
    case fc::A4R4G4B4: kind = K::A4R4G4B4; break;
    case fc::A8: kind = K::A8; break;
    case fc::P8: kind = K::P8; break;
    case fc::Index16: kind = K::Index16; break;
    case fc::B8G8R8: kind = K::B8G8R8; break;
    case fc::L8: kind = K::L8; break;
    case fc::Dxt1: kind = K::Dxt1; break;
    case fc::Dxt3: kind = K::Dxt3; break;
    case fc::Dxt5: kind = K::Dxt5; break;
    default: break;
  }
  return TextureFormat{kind, raw};
}

namespace {

ReadResult<Texture> read_texture(RecordCursor& cur) {
  Texture t;
  DAT_TRY_SET(t.id, in_field(cur.read_u32(), "id", "Texture"));
  DAT_TRY_SET(t.unknown, in_field(cur.read_u32(), "_unknown", "Texture"));
  DAT_TRY_SET(t.width, in_field(cur.read_i32(), "width", "Texture"));
  DAT_TRY_SET(t.height, in_field(cur.read_i32(), "height", "Texture"));
  DAT_TRY_SET(t.format_raw, in_field(cur.read_u32(), "format_raw", "Texture"));
  DAT_TRY(length, in_field(cur.read_i32(), "length", "Texture"));
  if (length < 0) {
    return std::unexpected(
        ReadError::invalid_data(fmt::format("texture length {} out of range", length),
                                cur.position()));
  }
  // read_bytes checks the length against the data before it allocates.
  DAT_TRY_SET(t.source_data, in_field(cur.read_bytes(static_cast<std::uint64_t>(length)),
                                      "source_data", "Texture"));
  if (t.format_raw == format_code::Index16 || t.format_raw == format_code::P8) {
    DAT_TRY_SET(t.default_palette_id, in_field(cur.read_u32(), "default_palette_id", "Texture"));
  }
  return t;
}

using Rgba = std::vector<std::uint8_t>;
using Converted = std::expected<Rgba, TextureDecodeError>;

Converted fail(TextureDecodeError::Variant v) { return std::unexpected(TextureDecodeError{std::move(v)}); }

// Direct formats: each source pixel of `Step` bytes becomes one RGBA pixel through `pixel`.
template <std::size_t Step, class PixelFn>
Converted convert_direct(std::span<const std::uint8_t> src, std::uint64_t n, PixelFn pixel) {
  if (src.size() / Step < n) return fail(TextureDecodeError::InsufficientData{});
  Rgba out(n * 4);
  const std::uint8_t* s = src.data();
  std::uint8_t* d = out.data();
  for (std::uint64_t i = 0; i < n; ++i, s += Step, d += 4) pixel(s, d);
  return out;
}

void put(std::uint8_t* d, std::uint8_t r, std::uint8_t g, std::uint8_t b, std::uint8_t a) {
  d[0] = r;
  d[1] = g;
  d[2] = b;
  d[3] = a;
}

template <std::size_t Step>
Converted convert_indexed(const Texture& t, std::uint64_t n, const PaletteFetch& fetch) {
  if (!t.default_palette_id) return fail(TextureDecodeError::MissingPalette{});
  auto palette = fetch(*t.default_palette_id);
  if (!palette) return fail(TextureDecodeError::PaletteFetch{std::move(palette).error()});
  const std::span<const std::uint8_t> src = t.source_data;
  if (src.size() / Step < n) return fail(TextureDecodeError::InsufficientData{});

  const std::vector<std::uint32_t>& colors = palette->colors;
  Rgba out(n * 4);
  const std::uint8_t* s = src.data();
  std::uint8_t* d = out.data();
  for (std::uint64_t i = 0; i < n; ++i, s += Step, d += 4) {
    const std::size_t index = Step == 1 ? s[0] : std::size_t{s[0]} | (std::size_t{s[1]} << 8);
    if (index >= colors.size()) return fail(TextureDecodeError::PaletteIndexOutOfRange{});
    const std::uint32_t c = colors[index];  // 0xAARRGGBB
    put(d, static_cast<std::uint8_t>(c >> 16), static_cast<std::uint8_t>(c >> 8),
        static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(c >> 24));
  }
  return out;
}

}  // namespace

DatResult<Texture> Texture::unpack(std::span<const std::uint8_t> bytes) {
  RecordCursor cur(bytes);
  auto t = read_texture(cur);
  if (!t) return std::unexpected(DatError(std::move(t).error()));
  return std::move(*t);
}

std::expected<std::vector<std::uint8_t>, TextureDecodeError> Texture::to_rgba8(
    const PaletteFetch& fetch) const {
  // Sizes are widened to 64 bits and taken as unsigned, so a negative side is a huge count.
  const auto w = static_cast<std::uint64_t>(static_cast<std::int64_t>(width));
  const auto h = static_cast<std::uint64_t>(static_cast<std::int64_t>(height));
  std::uint64_t n = 0;
  if (__builtin_mul_overflow(w, h, &n)) return fail(TextureDecodeError::DimensionOverflow{});
  if (n > kMaxDecodedPixels) return fail(TextureDecodeError::DimensionOverflow{});

  const std::span<const std::uint8_t> src = source_data;
  using K = TextureFormat::Kind;
  const TextureFormat fmt = format();
  switch (fmt.kind) {
    case K::R8G8B8:
      return convert_direct<3>(src, n, [](const std::uint8_t* s, std::uint8_t* d) {
        put(d, s[2], s[1], s[0], 255);
      });
    case K::A8R8G8B8:
      return convert_direct<4>(src, n, [](const std::uint8_t* s, std::uint8_t* d) {
        put(d, s[2], s[1], s[0], s[3]);
      });
    case K::A8:  // the byte is grey, not alpha
    case K::L8:
      return convert_direct<1>(src, n, [](const std::uint8_t* s, std::uint8_t* d) {
        put(d, s[0], s[0], s[0], 255);
      });
    case K::B8G8R8:
      return convert_direct<3>(src, n, [](const std::uint8_t* s, std::uint8_t* d) {
        put(d, s[0], s[1], s[2], 255);
      });
    case K::P8:
      return convert_indexed<1>(*this, n, fetch);
    case K::Index16:
      return convert_indexed<2>(*this, n, fetch);
    // n is within kMaxDecodedPixels here, so both sides are non-negative unless n is 0, and the
    // decoders see the same size as n.
    case K::Dxt1:
      return decompress_dxt1(src, static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height));
    case K::Dxt3:
      return decompress_dxt3(src, static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height));
    case K::Dxt5:
      return decompress_dxt5(src, static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height));
    case K::Undefined:
    case K::R5G6B5:
    case K::A4R4G4B4:
    case K::Other:
      break;
  }
  return fail(TextureDecodeError::UnsupportedFormat{fmt});
}

}  // namespace dat
