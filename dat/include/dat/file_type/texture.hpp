#pragma once
// Texture: one image of the portal archive (size, pixel format code, raw pixel bytes), and its
// conversion to RGBA8.
//
// Layout (little-endian):
//   0   id                   u32, the record's own file id
//   4   _unknown             u32, stored, not interpreted
//   8   width                i32
//   12  height               i32
//   16  format_raw           u32, pixel format code
//   20  length               i32, byte length of source_data
//   24  source_data          length bytes
//   24 + length  default_palette_id   u32, only for formats 41 (P8) and 101 (Index16)

#include <cstdint>
#include <expected>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "dat/error.hpp"
#include "dat/file_type/palette.hpp"

namespace dat {

// The raw pixel format codes: Direct3D 9 D3DFORMAT values where one exists, the DXT codes being
// "DXT1", "DXT3", "DXT5" read as little-endian u32.
namespace format_code {
inline constexpr std::uint32_t Undefined = 0;
inline constexpr std::uint32_t R8G8B8 = 20;
inline constexpr std::uint32_t A8R8G8B8 = 21;
inline constexpr std::uint32_t R5G6B5 = 23;
inline constexpr std::uint32_t A4R4G4B4 = 26;
inline constexpr std::uint32_t A8 = 28;
inline constexpr std::uint32_t P8 = 41;
inline constexpr std::uint32_t Index16 = 101;
inline constexpr std::uint32_t B8G8R8 = 243;
inline constexpr std::uint32_t L8 = 244;
inline constexpr std::uint32_t Dxt1 = 0x31545844;
inline constexpr std::uint32_t Dxt3 = 0x33545844;
inline constexpr std::uint32_t Dxt5 = 0x35545844;
}  // namespace format_code

// A recognised pixel format, or Other carrying an unrecognised code. `raw` is always the code
// the format was made from.
struct TextureFormat {
  enum class Kind : std::uint8_t {
    Undefined, R8G8B8, A8R8G8B8, R5G6B5, A4R4G4B4, A8, P8, Index16, B8G8R8, L8,
    Dxt1, Dxt3, Dxt5, Other,
  };
  Kind kind = Kind::Undefined;
  std::uint32_t raw = 0;

  bool operator==(const TextureFormat&) const = default;
};

// Total: every code maps to one format.
TextureFormat texture_format_from_raw(std::uint32_t raw);

// The failures of Texture::to_rgba8.
struct TextureDecodeError {
  struct UnsupportedFormat { TextureFormat format; };
  struct InsufficientData {};
  // The pixel count does not fit in 64 bits, or exceeds kMaxDecodedPixels.
  struct DimensionOverflow {};
  struct MissingPalette {};
  struct PaletteIndexOutOfRange {};
  struct PaletteFetch { std::string message; };

  using Variant = std::variant<UnsupportedFormat, InsufficientData, DimensionOverflow,
                               MissingPalette, PaletteIndexOutOfRange, PaletteFetch>;
  Variant value;

  template <class V>
  bool is() const { return std::holds_alternative<V>(value); }
};

// Supplied by the caller of to_rgba8: given a palette file id, the Palette or a failure text.
using PaletteFetch = std::function<std::expected<Palette, std::string>(std::uint32_t)>;

struct Texture {
  std::uint32_t id = 0;
  std::uint32_t unknown = 0;  // the record's `_unknown`
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::uint32_t format_raw = 0;
  std::vector<std::uint8_t> source_data;
  std::optional<std::uint32_t> default_palette_id;

  TextureFormat format() const { return texture_format_from_raw(format_raw); }

  // Failures arrive as DatError BinRead; a negative length is InvalidData at position 24.
  static DatResult<Texture> unpack(std::span<const std::uint8_t> bytes);

  // RGBA8 pixels, width × height × 4 bytes. The fetch is called at most once, only for the
  // indexed formats P8 and Index16.
  std::expected<std::vector<std::uint8_t>, TextureDecodeError> to_rgba8(
      const PaletteFetch& fetch) const;
};

}  // namespace dat
