#pragma once
// Turns a look into a texture record of one pixel format (and, for the indexed formats, the
// palette it draws from).

#include <cstdint>
#include <optional>
#include <string_view>

#include "dat/file_type/palette.hpp"
#include "dat/file_type/texture.hpp"
#include "looks.hpp"

namespace sample {

enum class PixelFormat : std::uint8_t {
  R8G8B8,
  A8R8G8B8,
  A8,
  L8,
  B8G8R8,
  P8,
  Index16,
  Dxt1FourColour,
  Dxt1ThreeColour,
  Dxt3,
  Dxt5,
  R5G6B5,  // stored correctly, but a format the audit cannot convert
};

std::string_view format_name(PixelFormat format);
bool is_indexed(PixelFormat format);

enum class AlphaMode : std::uint8_t {
  Opaque,
  Coverage,     // holes of the look are transparent
  Translucent,  // alpha follows the tone: dark areas more transparent
};

struct TextureRequest {
  Look look = Look::Grass;
  PixelFormat format = PixelFormat::R8G8B8;
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::uint32_t seed = 0;
  AlphaMode alpha = AlphaMode::Opaque;
};

struct BuiltTexture {
  dat::Texture texture;
  std::optional<dat::Palette> palette;  // for the indexed formats: the ramp, sampled
};

// Palette sizes: 256 colours for P8; Index16 gets more than a byte can address.
inline constexpr std::uint32_t kP8Colours = 256;
inline constexpr std::uint32_t kIndex16Colours = 1024;

BuiltTexture build_texture(const TextureRequest& request, std::uint32_t texture_id,
                           std::uint32_t palette_id);

}  // namespace sample
