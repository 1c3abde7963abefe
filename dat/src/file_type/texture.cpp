#include "dat/file_type/texture.hpp"

#include <fmt/format.h>

#include <algorithm>
#include <bit>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

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

std::uint32_t load_u32(const std::uint8_t* p) {
  std::uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}
void store_u32(std::uint8_t* p, std::uint32_t v) { std::memcpy(p, &v, 4); }
std::uint16_t le16(std::uint16_t raw) {
  if constexpr (std::endian::native == std::endian::big) return __builtin_bswap16(raw);
  return raw;
}

// Output pixels are handled as little-endian words: R in the low byte, A in the high byte.
// A palette colour 0xAARRGGBB becomes the word of bytes R, G, B, A by swapping R and B.
std::uint32_t swap_red_blue(std::uint32_t c) {
  return (c & 0xFF00FF00u) | ((c >> 16) & 0xFFu) | ((c & 0xFFu) << 16);
}

// The pixel loops. Each writes n output pixels from the packed source, exactly as the
// per-pixel rules say; the vector paths handle whole groups and leave the rest to the scalar
// loop, which reads no byte past the n pixels of the source.

void grey_pixels(const std::uint8_t* s, std::uint8_t* d, std::uint64_t n) {
  std::uint64_t i = 0;
#if defined(__SSE2__)
  const __m128i alpha = _mm_set1_epi32(static_cast<int>(0xFF000000u));
  for (; i + 16 <= n; i += 16) {
    const __m128i g = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
    const __m128i lo = _mm_unpacklo_epi8(g, g);
    const __m128i hi = _mm_unpackhi_epi8(g, g);
    auto* out = reinterpret_cast<__m128i*>(d + 4 * i);
    _mm_storeu_si128(out, _mm_or_si128(_mm_unpacklo_epi16(lo, lo), alpha));
    _mm_storeu_si128(out + 1, _mm_or_si128(_mm_unpackhi_epi16(lo, lo), alpha));
    _mm_storeu_si128(out + 2, _mm_or_si128(_mm_unpacklo_epi16(hi, hi), alpha));
    _mm_storeu_si128(out + 3, _mm_or_si128(_mm_unpackhi_epi16(hi, hi), alpha));
  }
#endif
  for (; i < n; ++i) store_u32(d + 4 * i, s[i] * 0x010101u | 0xFF000000u);
}

#if defined(__x86_64__) || defined(__i386__)
__attribute__((target("ssse3"))) std::uint64_t bgra_pixels_ssse3(const std::uint8_t* s, std::uint8_t* d,
                                                                  std::uint64_t n) {
  const __m128i order = _mm_setr_epi8(2, 1, 0, 3, 6, 5, 4, 7, 10, 9, 8, 11, 14, 13, 12, 15);
  std::uint64_t i = 0;
  for (; i + 4 <= n; i += 4) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 4 * i));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 4 * i), _mm_shuffle_epi8(v, order));
  }
  return i;
}
#endif

// A8R8G8B8: bytes B, G, R, A become R, G, B, A.
void bgra_pixels(const std::uint8_t* s, std::uint8_t* d, std::uint64_t n) {
  std::uint64_t i = 0;
#if defined(__x86_64__) || defined(__i386__)
  if (__builtin_cpu_supports("ssse3")) i = bgra_pixels_ssse3(s, d, n);
#endif
#if defined(__SSE2__)
  const __m128i green_alpha = _mm_set1_epi32(static_cast<int>(0xFF00FF00u));
  for (; i + 4 <= n; i += 4) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 4 * i));
    // Blue and red are the low bytes of each pixel's two 16-bit halves: swap the halves.
    __m128i rb = _mm_andnot_si128(green_alpha, v);
    rb = _mm_shufflehi_epi16(_mm_shufflelo_epi16(rb, _MM_SHUFFLE(2, 3, 0, 1)), _MM_SHUFFLE(2, 3, 0, 1));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 4 * i), _mm_or_si128(rb, _mm_and_si128(v, green_alpha)));
  }
#endif
  for (; i < n; ++i) store_u32(d + 4 * i, swap_red_blue(load_u32(s + 4 * i)));
}

// Three-byte pixels, opaque: R8G8B8 stores B, G, R; B8G8R8 stores R, G, B.
template <bool kBlueFirst>
void rgb_pixels_scalar(const std::uint8_t* s, std::uint8_t* d, std::uint64_t begin, std::uint64_t n) {
  std::uint64_t i = begin;
  // A 4-byte load per pixel takes one byte of the next pixel; the last pixel is read bytewise.
  for (; i + 1 < n; ++i) {
    const std::uint32_t v = load_u32(s + 3 * i);
    const std::uint32_t rgb = kBlueFirst ? __builtin_bswap32(v) >> 8 : v & 0x00FFFFFFu;
    store_u32(d + 4 * i, rgb | 0xFF000000u);
  }
  for (; i < n; ++i) {
    const std::uint8_t* p = s + 3 * i;
    const std::uint32_t r = kBlueFirst ? p[2] : p[0], b = kBlueFirst ? p[0] : p[2];
    store_u32(d + 4 * i, r | (std::uint32_t{p[1]} << 8) | (b << 16) | 0xFF000000u);
  }
}

#if defined(__x86_64__) || defined(__i386__)
// Sixteen pixels (48 source bytes) per round with byte shuffles.
template <bool kBlueFirst>
__attribute__((target("ssse3"))) std::uint64_t rgb_pixels_ssse3(const std::uint8_t* s, std::uint8_t* d,
                                                                 std::uint64_t n) {
  const __m128i order = kBlueFirst
                            ? _mm_setr_epi8(2, 1, 0, -1, 5, 4, 3, -1, 8, 7, 6, -1, 11, 10, 9, -1)
                            : _mm_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
  const __m128i alpha = _mm_set1_epi32(static_cast<int>(0xFF000000u));
  std::uint64_t i = 0;
  for (; i + 16 <= n; i += 16) {
    const auto* in = reinterpret_cast<const __m128i*>(s + 3 * i);
    const __m128i a = _mm_loadu_si128(in), b = _mm_loadu_si128(in + 1), c = _mm_loadu_si128(in + 2);
    auto* out = reinterpret_cast<__m128i*>(d + 4 * i);
    _mm_storeu_si128(out, _mm_or_si128(_mm_shuffle_epi8(a, order), alpha));
    _mm_storeu_si128(out + 1, _mm_or_si128(_mm_shuffle_epi8(_mm_alignr_epi8(b, a, 12), order), alpha));
    _mm_storeu_si128(out + 2, _mm_or_si128(_mm_shuffle_epi8(_mm_alignr_epi8(c, b, 8), order), alpha));
    _mm_storeu_si128(out + 3, _mm_or_si128(_mm_shuffle_epi8(_mm_srli_si128(c, 4), order), alpha));
  }
  return i;
}
#endif

template <bool kBlueFirst>
void rgb_pixels(const std::uint8_t* s, std::uint8_t* d, std::uint64_t n) {
  std::uint64_t done = 0;
#if defined(__x86_64__) || defined(__i386__)
  if (__builtin_cpu_supports("ssse3")) done = rgb_pixels_ssse3<kBlueFirst>(s, d, n);
#endif
  rgb_pixels_scalar<kBlueFirst>(s, d, done, n);
}

// Paletted pixels: each index picks its output word from `words` (every index is known to be
// below words.size()).
void palette_pixels_16(const std::uint8_t* s, const std::uint32_t* w, std::uint8_t* d, std::uint64_t n) {
  for (std::uint64_t i = 0; i < n; ++i) {
    std::uint16_t index;
    std::memcpy(&index, s + 2 * i, 2);
    store_u32(d + 4 * i, w[le16(index)]);
  }
}

#if defined(__x86_64__) || defined(__i386__)
// g++ 12 warns about an unset temporary inside its own _mm512_shuffle_i64x2 (a false
// positive of the intrinsic's header, not of this code).
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
// Sixty-four P8 pixels per round: each output byte is looked up in registers, in the 256-byte
// plane of its channel, then the four planes are interleaved into pixels.
__attribute__((target("avx512f,avx512bw,avx512vbmi"))) std::uint64_t palette_pixels_8_vbmi(
    const std::uint8_t* s, const std::uint32_t* w, std::size_t colours, std::uint8_t* d, std::uint64_t n) {
  alignas(64) std::uint8_t planes[4][256] = {};
  for (std::size_t k = 0; k < colours; ++k)
    for (int c = 0; c < 4; ++c) planes[c][k] = static_cast<std::uint8_t>(w[k] >> (8 * c));
  __m512i quarter[4][4];
  for (int c = 0; c < 4; ++c)
    for (int q = 0; q < 4; ++q) quarter[c][q] = _mm512_load_si512(planes[c] + 64 * q);
  std::uint64_t i = 0;
  for (; i + 64 <= n; i += 64) {
    const __m512i x = _mm512_loadu_si512(s + i);
    const __mmask64 upper = _mm512_movepi8_mask(x);  // index bit 7: colours 128 to 255
    __m512i ch[4];
    for (int c = 0; c < 4; ++c) {
      const __m512i lo = _mm512_permutex2var_epi8(quarter[c][0], x, quarter[c][1]);
      const __m512i hi = _mm512_permutex2var_epi8(quarter[c][2], x, quarter[c][3]);
      ch[c] = _mm512_mask_blend_epi8(upper, lo, hi);
    }
    // Interleave within each 128-bit lane, then put the lanes' pixels in order.
    const __m512i rg_lo = _mm512_unpacklo_epi8(ch[0], ch[1]), rg_hi = _mm512_unpackhi_epi8(ch[0], ch[1]);
    const __m512i ba_lo = _mm512_unpacklo_epi8(ch[2], ch[3]), ba_hi = _mm512_unpackhi_epi8(ch[2], ch[3]);
    const __m512i p0 = _mm512_unpacklo_epi16(rg_lo, ba_lo), p1 = _mm512_unpackhi_epi16(rg_lo, ba_lo);
    const __m512i p2 = _mm512_unpacklo_epi16(rg_hi, ba_hi), p3 = _mm512_unpackhi_epi16(rg_hi, ba_hi);
    const __m512i t0 = _mm512_shuffle_i64x2(p0, p1, 0x44), t1 = _mm512_shuffle_i64x2(p0, p1, 0xEE);
    const __m512i t2 = _mm512_shuffle_i64x2(p2, p3, 0x44), t3 = _mm512_shuffle_i64x2(p2, p3, 0xEE);
    _mm512_storeu_si512(d + 4 * i, _mm512_shuffle_i64x2(t0, t2, 0x88));
    _mm512_storeu_si512(d + 4 * i + 64, _mm512_shuffle_i64x2(t0, t2, 0xDD));
    _mm512_storeu_si512(d + 4 * i + 128, _mm512_shuffle_i64x2(t1, t3, 0x88));
    _mm512_storeu_si512(d + 4 * i + 192, _mm512_shuffle_i64x2(t1, t3, 0xDD));
  }
  return i;
}
#pragma GCC diagnostic pop
#endif

void palette_pixels_8(const std::uint8_t* s, const std::vector<std::uint32_t>& words, std::uint8_t* d,
                      std::uint64_t n) {
  const std::uint32_t* w = words.data();
  std::uint64_t i = 0;
#if defined(__x86_64__) || defined(__i386__)
  if (n >= 64 && __builtin_cpu_supports("avx512vbmi") && __builtin_cpu_supports("avx512bw"))
    i = palette_pixels_8_vbmi(s, w, words.size(), d, n);
#endif
  for (; i + 2 <= n; i += 2) {
    const std::uint64_t pair = w[s[i]] | (std::uint64_t{w[s[i + 1]]} << 32);
    std::memcpy(d + 4 * i, &pair, 8);
  }
  for (; i < n; ++i) store_u32(d + 4 * i, w[s[i]]);
}

// Direct formats: `Step` source bytes per pixel, converted by `pixels`.
template <std::size_t Step>
Converted convert_direct(std::span<const std::uint8_t> src, std::uint64_t n,
                         void (*pixels)(const std::uint8_t*, std::uint8_t*, std::uint64_t)) {
  if (src.size() / Step < n) return fail(TextureDecodeError::InsufficientData{});
  Rgba out(n * 4);
  pixels(src.data(), out.data(), n);
  return out;
}

// The largest index among n pixels of `Step` bytes (little-endian for two).
template <std::size_t Step>
std::uint32_t max_index(const std::uint8_t* s, std::uint64_t n) {
  std::uint64_t i = 0;
  std::uint32_t top = 0;
#if defined(__SSE2__)
  // Unsigned maxima by saturating arithmetic (max(a, m) = (a -sat m) + m), four accumulators.
  __m128i m[4] = {_mm_setzero_si128(), _mm_setzero_si128(), _mm_setzero_si128(), _mm_setzero_si128()};
  constexpr std::uint64_t kPerRound = 64 / Step;
  for (; i + kPerRound <= n; i += kPerRound) {
    for (int k = 0; k < 4; ++k) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + Step * i + 16 * k));
      m[k] = Step == 1 ? _mm_max_epu8(v, m[k]) : _mm_adds_epu16(_mm_subs_epu16(v, m[k]), m[k]);
    }
  }
  alignas(16) std::uint8_t lanes[64];
  for (int k = 0; k < 4; ++k) _mm_store_si128(reinterpret_cast<__m128i*>(lanes + 16 * k), m[k]);
  for (int b = 0; b < 64; b += static_cast<int>(Step))
    top = std::max<std::uint32_t>(top, Step == 1 ? lanes[b] : lanes[b] | (lanes[b + 1] << 8));
#endif
  for (; i < n; ++i)
    top = std::max<std::uint32_t>(top, Step == 1 ? s[i] : s[2 * i] | (s[2 * i + 1] << 8));
  return top;
}

template <std::size_t Step>
Converted convert_indexed(const Texture& t, std::uint64_t n, const PaletteFetch& fetch) {
  if (!t.default_palette_id) return fail(TextureDecodeError::MissingPalette{});
  auto palette = fetch(*t.default_palette_id);
  if (!palette) return fail(TextureDecodeError::PaletteFetch{std::move(palette).error()});
  const std::span<const std::uint8_t> src = t.source_data;
  if (src.size() / Step < n) return fail(TextureDecodeError::InsufficientData{});

  const std::vector<std::uint32_t>& colors = palette->colors;
  const std::uint8_t* s = src.data();
  // Any index at or beyond the palette fails the whole conversion, whichever pixel has it, so
  // one pass for the largest index replaces a check per pixel.
  constexpr std::size_t kIndices = Step == 1 ? 256 : 65536;
  if (colors.size() < kIndices && n > 0 && max_index<Step>(s, n) >= colors.size()) {
    return fail(TextureDecodeError::PaletteIndexOutOfRange{});
  }
  // The colours an index can reach, converted once to output words.
  std::vector<std::uint32_t> words(std::min(colors.size(), kIndices));
  for (std::size_t k = 0; k < words.size(); ++k) words[k] = swap_red_blue(colors[k]);
  Rgba out(n * 4);
  if constexpr (Step == 1) {
    palette_pixels_8(s, words, out.data(), n);
  } else {
    palette_pixels_16(s, words.data(), out.data(), n);
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
      return convert_direct<3>(src, n, rgb_pixels<true>);
    case K::A8R8G8B8:
      return convert_direct<4>(src, n, bgra_pixels);
    case K::A8:  // the byte is grey, not alpha
    case K::L8:
      return convert_direct<1>(src, n, grey_pixels);
    case K::B8G8R8:
      return convert_direct<3>(src, n, rgb_pixels<false>);
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
