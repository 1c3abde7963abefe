#include "texture_build.hpp"

#include <cmath>
#include <vector>

#include "writer/dxt_encoder.hpp"

namespace sample {

std::string_view format_name(PixelFormat format) {
  switch (format) {
    case PixelFormat::R8G8B8: return "R8G8B8";
    case PixelFormat::A8R8G8B8: return "A8R8G8B8";
    case PixelFormat::A8: return "A8";
    case PixelFormat::L8: return "L8";
    case PixelFormat::B8G8R8: return "B8G8R8";
    case PixelFormat::P8: return "P8";
    case PixelFormat::Index16: return "Index16";
    case PixelFormat::Dxt1FourColour: return "DXT1-four-colour";
    case PixelFormat::Dxt1ThreeColour: return "DXT1-three-colour";
    case PixelFormat::Dxt3: return "DXT3";
    case PixelFormat::Dxt5: return "DXT5";
    case PixelFormat::R5G6B5: return "R5G6B5";
  }
  return "?";
}

bool is_indexed(PixelFormat format) {
  return format == PixelFormat::P8 || format == PixelFormat::Index16;
}

namespace {

std::uint32_t format_code(PixelFormat format) {
  namespace code = dat::format_code;
  switch (format) {
    case PixelFormat::R8G8B8: return code::R8G8B8;
    case PixelFormat::A8R8G8B8: return code::A8R8G8B8;
    case PixelFormat::A8: return code::A8;
    case PixelFormat::L8: return code::L8;
    case PixelFormat::B8G8R8: return code::B8G8R8;
    case PixelFormat::P8: return code::P8;
    case PixelFormat::Index16: return code::Index16;
    case PixelFormat::Dxt1FourColour:
    case PixelFormat::Dxt1ThreeColour: return code::Dxt1;
    case PixelFormat::Dxt3: return code::Dxt3;
    case PixelFormat::Dxt5: return code::Dxt5;
    case PixelFormat::R5G6B5: return code::R5G6B5;
  }
  return code::Undefined;
}

std::uint8_t alpha_of(AlphaMode mode, double tone, double coverage) {
  switch (mode) {
    case AlphaMode::Opaque: return 255;
    case AlphaMode::Coverage: return coverage < 0.5 ? 0 : 255;
    case AlphaMode::Translucent:
      return static_cast<std::uint8_t>(std::floor(120.0 + 135.0 * tone + 0.5));
  }
  return 255;
}

std::uint32_t pack_argb(Rgb c) {
  return 0xFF000000u | (std::uint32_t{c.r} << 16) | (std::uint32_t{c.g} << 8) | c.b;
}

dat::Palette ramp_palette(Look look, std::uint32_t id, std::uint32_t colours) {
  dat::Palette palette;
  palette.id = id;
  palette.colors.reserve(colours);
  for (std::uint32_t i = 0; i < colours; ++i)
    palette.colors.push_back(pack_argb(ramp_colour(look, static_cast<double>(i) / (colours - 1))));
  return palette;
}

std::uint32_t palette_index(double tone, std::uint32_t colours) {
  return static_cast<std::uint32_t>(std::floor(tone * (colours - 1) + 0.5));
}

}  // namespace

BuiltTexture build_texture(const TextureRequest& request, std::uint32_t texture_id,
                           std::uint32_t palette_id) {
  const Field field = paint(request.look, request.width, request.height, request.seed);
  const std::size_t n = field.tone.size();

  BuiltTexture built;
  dat::Texture& t = built.texture;
  t.id = texture_id;
  t.width = static_cast<std::int32_t>(request.width);
  t.height = static_cast<std::int32_t>(request.height);
  t.format_raw = format_code(request.format);
  std::vector<std::uint8_t>& out = t.source_data;

  std::vector<std::uint8_t> rgba;  // for the block-compressed formats
  for (std::size_t i = 0; i < n; ++i) {
    const double tone = field.tone[i];
    const Rgb c = ramp_colour(request.look, tone);
    const std::uint8_t a = alpha_of(request.alpha, tone, field.coverage[i]);
    switch (request.format) {
      case PixelFormat::R8G8B8: out.insert(out.end(), {c.b, c.g, c.r}); break;
      case PixelFormat::A8R8G8B8: out.insert(out.end(), {c.b, c.g, c.r, a}); break;
      case PixelFormat::B8G8R8: out.insert(out.end(), {c.r, c.g, c.b}); break;
      case PixelFormat::A8:
      case PixelFormat::L8: out.push_back(grey_of(c)); break;
      case PixelFormat::P8:
        out.push_back(static_cast<std::uint8_t>(palette_index(tone, kP8Colours)));
        break;
      case PixelFormat::Index16: {
        const std::uint32_t index = palette_index(tone, kIndex16Colours);
        out.insert(out.end(),
                   {static_cast<std::uint8_t>(index), static_cast<std::uint8_t>(index >> 8)});
        break;
      }
      case PixelFormat::R5G6B5: {
        const std::uint16_t v = writer::pack_rgb565(c.r, c.g, c.b);
        out.insert(out.end(), {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8)});
        break;
      }
      case PixelFormat::Dxt1FourColour:
      case PixelFormat::Dxt1ThreeColour:
      case PixelFormat::Dxt3:
      case PixelFormat::Dxt5: rgba.insert(rgba.end(), {c.r, c.g, c.b, a}); break;
    }
  }

  switch (request.format) {
    case PixelFormat::Dxt1FourColour:
      out = writer::encode_dxt1(rgba, request.width, request.height, writer::Dxt1Mode::FourColour);
      break;
    case PixelFormat::Dxt1ThreeColour:
      out = writer::encode_dxt1(rgba, request.width, request.height, writer::Dxt1Mode::ThreeColour);
      break;
    case PixelFormat::Dxt3: out = writer::encode_dxt3(rgba, request.width, request.height); break;
    case PixelFormat::Dxt5: out = writer::encode_dxt5(rgba, request.width, request.height); break;
    case PixelFormat::P8:
      t.default_palette_id = palette_id;
      built.palette = ramp_palette(request.look, palette_id, kP8Colours);
      break;
    case PixelFormat::Index16:
      t.default_palette_id = palette_id;
      built.palette = ramp_palette(request.look, palette_id, kIndex16Colours);
      break;
    default: break;
  }
  return built;
}

}  // namespace sample
