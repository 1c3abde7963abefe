#include "surface_audit.hpp"

#include <fmt/format.h>

#include <cstdio>

#include "dat/file_type/palette.hpp"
#include "dat/file_type/surface.hpp"
#include "dat/file_type/surface_texture.hpp"
#include "dat/file_type/texture.hpp"
#include "contact_sheet.hpp"
#include "dat/surface_classify.hpp"

namespace tools {

namespace {

struct Image {
  std::vector<std::uint8_t> rgba;
  std::uint32_t width = 0;
  std::uint32_t height = 0;
};

// The palette fetch handed to the pixel conversion, bound to the portal archive.
std::expected<dat::Palette, std::string> fetch_palette(const dat::DatDatabase& portal,
                                                       std::uint32_t palette_id) {
  auto bytes = portal.get_file(palette_id);
  if (!bytes) return std::unexpected(fmt::format("0x{:08X}: {}", palette_id, bytes.error().message()));
  auto palette = dat::Palette::unpack(*bytes);
  if (!palette) {
    return std::unexpected(
        fmt::format("Palette::unpack 0x{:08X}: {}", palette_id, palette.error().text()));
  }
  return std::move(*palette);
}

std::optional<Image> texture_image(const dat::DatDatabase& portal, std::uint32_t list_id) {
  auto list_bytes = portal.get_file(list_id);
  if (!list_bytes) return std::nullopt;
  auto list = dat::SurfaceTexture::unpack(*list_bytes);
  if (!list || list->textures.empty()) return std::nullopt;

  auto texture_bytes = portal.get_file(list->textures.back());
  if (!texture_bytes) return std::nullopt;
  auto texture = dat::Texture::unpack(*texture_bytes);
  if (!texture) return std::nullopt;

  auto rgba = texture->to_rgba8(
      [&portal](std::uint32_t id) { return fetch_palette(portal, id); });
  if (!rgba) return std::nullopt;
  return Image{std::move(*rgba), static_cast<std::uint32_t>(texture->width),
               static_cast<std::uint32_t>(texture->height)};
}

}  // namespace

std::optional<Decoded> classify_one(const dat::DatDatabase& portal, std::uint32_t surface_id) {
  auto bytes = portal.get_file(surface_id);
  if (!bytes) return std::nullopt;
  auto surface = dat::Surface::unpack(*bytes);
  if (!surface) return std::nullopt;

  Image image;
  bool solid = false;
  if (surface->color_value) {
    const std::uint32_t c = *surface->color_value;
    image.rgba = {static_cast<std::uint8_t>(c >> 16), static_cast<std::uint8_t>(c >> 8),
                  static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(c >> 24)};
    image.width = 1;
    image.height = 1;
    solid = true;
  } else {
    auto textured = texture_image(portal, surface->texture_refs->orig_texture_id);
    if (!textured) return std::nullopt;
    image = std::move(*textured);
  }

  const dat::SurfaceStats stats = dat::compute_stats(image.rgba, image.width, image.height);
  const dat::MaterialCategory category = dat::classify(stats, surface->surface_type);

  Decoded d;
  d.audit.did = fmt::format("0x{:08X}", surface_id);
  d.audit.category = std::string(dat::category_name(category));
  d.audit.surface_type = surface->surface_type;
  d.audit.mean_rgb = stats.mean_rgb;
  d.audit.std_dev = stats.std_dev;
  d.audit.luminance = stats.luminance;
  d.audit.variance = stats.variance;
  d.audit.dominant_hue = stats.dominant_hue;
  d.audit.saturation = stats.saturation;
  d.audit.width = image.width;
  d.audit.height = image.height;
  d.audit.solid = solid;
  d.rgba = std::move(image.rgba);
  d.width = image.width;
  d.height = image.height;
  return d;
}

namespace {

template <class Finish>
SurfaceAuditResult audit_each(const dat::DatDatabase& portal, const std::set<std::uint32_t>& ids,
                              Finish finish) {
  SurfaceAuditResult result;
  result.decoded.reserve(ids.size());
  for (const std::uint32_t id : ids) {
    auto d = classify_one(portal, id);
    if (!d) {
      fmt::print(stderr, "  warn: surface 0x{:08X} failed to decode\n", id);
      continue;
    }
    finish(*d);
    ++result.counts[d->audit.category];
    result.decoded.push_back(std::move(*d));
  }
  return result;
}

}  // namespace

SurfaceAuditResult audit_surfaces(const dat::DatDatabase& portal,
                                  const std::set<std::uint32_t>& ids) {
  return audit_each(portal, ids, [](Decoded&) {});
}

SurfaceAuditResult audit_surfaces(const dat::DatDatabase& portal,
                                  const std::set<std::uint32_t>& ids,
                                  std::optional<std::uint32_t> sheet_tile) {
  return audit_each(portal, ids, [sheet_tile](Decoded& d) { keep_for_sheet(d, sheet_tile); });
}

}  // namespace tools
