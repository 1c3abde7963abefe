#include "verify.hpp"

#include <fmt/format.h>

#include "dat/file_type/env_cell.hpp"
#include "dat/file_type/gfx_obj.hpp"
#include "dat/file_type/palette.hpp"
#include "dat/file_type/setup_model.hpp"
#include "dat/file_type/surface.hpp"
#include "dat/file_type/surface_texture.hpp"
#include "dat/file_type/texture.hpp"
#include "dat/landblock.hpp"

namespace sample {

namespace {

Measured failed(Breakage why, std::string text) {
  Measured m;
  m.failure = why;
  m.failure_text = std::move(text);
  return m;
}

Breakage breakage_of(const dat::TextureDecodeError& error) {
  if (error.is<dat::TextureDecodeError::PaletteFetch>()) return Breakage::MissingPalette;
  if (error.is<dat::TextureDecodeError::UnsupportedFormat>()) return Breakage::UnsupportedFormat;
  if (error.is<dat::TextureDecodeError::PaletteIndexOutOfRange>())
    return Breakage::PaletteIndexOutOfRange;
  return Breakage::None;
}

// What tells that the surface reached its category by the intended rule.
std::optional<std::string> rule_problem(int rule, const Measured& m, std::uint32_t surface_type) {
  using C = dat::MaterialCategory;
  switch (rule) {
    case 1:
      if (dat::classify(m.stats, surface_type & ~0x40u) == C::Lava)
        return "is Lava even without flag 0x40";
      return std::nullopt;
    case 2:
      if (dat::classify(m.stats, surface_type & ~0x10u) == C::Water)
        return "is Water even without flag 0x10";
      return std::nullopt;
    case 3:
      if (dat::classify(m.stats, surface_type & ~0x04u) == C::Foliage)
        return "is Foliage even without flag 0x04 (rule 4 would decide)";
      return std::nullopt;
    case 4:
      if (dat::classify(m.stats, surface_type & ~0x04u) != C::Foliage)
        return "is Foliage only through flag 0x04";
      return std::nullopt;
    case 10:
      // Below 0.025 rule 11 cannot hold, so Stone came from rule 10.
      if (!(m.stats.variance < 0.025f)) return "variance too high to be sure of rule 10";
      return std::nullopt;
    case 11:
      // From 0.04 on rule 10 cannot hold, so Stone came from rule 11.
      if (!(m.stats.variance >= 0.04f)) return "variance too low to be sure of rule 11";
      return std::nullopt;
    default: return std::nullopt;
  }
}

// Every mesh, setup, landblock record and cell must read back with the library's readers,
// or the surfaces they carry would silently drop out of the audit.
void check_models_and_cells(const dat::DatDatabase& portal, const dat::DatDatabase& cell,
                            const SampleWorld& world, std::vector<std::string>& problems) {
  auto fetch = [&problems](const dat::DatDatabase& db,
                           std::uint32_t id) -> std::optional<std::vector<std::uint8_t>> {
    auto bytes = db.get_file(id);
    if (!bytes) {
      problems.push_back(fmt::format("file 0x{:08X}: {}", id, bytes.error().message()));
      return std::nullopt;
    }
    return std::move(*bytes);
  };
  auto report = [&problems](std::uint32_t id, const std::string& error) {
    problems.push_back(fmt::format("file 0x{:08X} does not read back: {}", id, error));
  };
  for (const writer::ArchiveFile& file : world.portal_files) {
    const std::uint32_t kind = file.id >> 24;
    if (kind != 0x01 && kind != 0x02) continue;
    const auto bytes = fetch(portal, file.id);
    if (!bytes) continue;
    dat::RecordCursor cur(*bytes);
    if (kind == 0x01) {
      if (auto mesh = dat::GfxObj::unpack(cur); !mesh) report(file.id, mesh.error().text());
    } else if (auto setup = dat::SetupModel::unpack(cur); !setup) {
      report(file.id, setup.error().text());
    }
  }
  for (const writer::ArchiveFile& file : world.cell_files) {
    const std::uint32_t number = file.id & 0xFFFF;
    if (number == 0xFFFF) continue;  // terrain, not read by the audit
    const auto bytes = fetch(cell, file.id);
    if (!bytes) continue;
    if (number == 0xFFFE) {
      if (auto info = dat::LandblockInfo::unpack(*bytes); !info)
        report(file.id, info.error().message());
    } else {
      dat::RecordCursor cur(*bytes);
      if (auto env = dat::EnvCell::unpack(cur); !env) report(file.id, env.error().text());
    }
  }
}

}  // namespace

std::string describe(const dat::SurfaceStats& s) {
  return fmt::format("rgb ({:.3f} {:.3f} {:.3f}) L {:.3f} V {:.4f} H {:.1f} S {:.3f}",
                     s.mean_rgb[0], s.mean_rgb[1], s.mean_rgb[2], s.luminance, s.variance,
                     s.dominant_hue, s.saturation);
}

Measured measure_surface(const dat::DatDatabase& portal, std::uint32_t surface_id) {
  auto surface_bytes = portal.get_file(surface_id);
  if (!surface_bytes) return failed(Breakage::None, surface_bytes.error().message());
  auto surface = dat::Surface::unpack(*surface_bytes);
  if (!surface) return failed(Breakage::None, surface.error().text());

  Measured m;
  std::vector<std::uint8_t> rgba;
  if (surface->color_value) {
    const std::uint32_t c = *surface->color_value;
    rgba = {static_cast<std::uint8_t>(c >> 16), static_cast<std::uint8_t>(c >> 8),
            static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(c >> 24)};
    m.width = 1;
    m.height = 1;
    m.solid = true;
  } else {
    auto list_bytes = portal.get_file(surface->texture_refs->orig_texture_id);
    if (!list_bytes) return failed(Breakage::None, list_bytes.error().message());
    auto list = dat::SurfaceTexture::unpack(*list_bytes);
    if (!list) return failed(Breakage::None, list.error().text());
    if (list->textures.empty()) return failed(Breakage::EmptyTextureList, "empty texture list");
    auto texture_bytes = portal.get_file(list->textures.back());
    if (!texture_bytes) return failed(Breakage::None, texture_bytes.error().message());
    auto texture = dat::Texture::unpack(*texture_bytes);
    if (!texture) return failed(Breakage::None, texture.error().message());
    auto pixels =
        texture->to_rgba8([&portal](std::uint32_t id) -> std::expected<dat::Palette, std::string> {
          auto bytes = portal.get_file(id);
          if (!bytes) return std::unexpected(bytes.error().message());
          auto palette = dat::Palette::unpack(*bytes);
          if (!palette) return std::unexpected(palette.error().text());
          return std::move(*palette);
        });
    if (!pixels) return failed(breakage_of(pixels.error()), "texture conversion failed");
    rgba = std::move(*pixels);
    m.width = static_cast<std::uint32_t>(texture->width);
    m.height = static_cast<std::uint32_t>(texture->height);
  }
  m.decoded = true;
  m.stats = dat::compute_stats(rgba, m.width, m.height);
  m.category = dat::classify(m.stats, surface->surface_type);
  return m;
}

Verification verify_world(const SampleWorld& world, const std::filesystem::path& portal_path,
                          const std::filesystem::path& cell_path) {
  Verification v;
  auto portal = dat::DatDatabase::open(portal_path);
  if (!portal) {
    v.problems.push_back(
        fmt::format("cannot reopen {}: {}", portal_path.string(), portal.error().message()));
    return v;
  }
  auto cell = dat::DatDatabase::open(cell_path);
  if (!cell) {
    v.problems.push_back(
        fmt::format("cannot reopen {}: {}", cell_path.string(), cell.error().message()));
    return v;
  }
  if (portal->files.size() != world.portal_files.size() ||
      cell->files.size() != world.cell_files.size())
    v.problems.push_back("an archive holds a different number of files than was written");
  check_models_and_cells(*portal, *cell, world, v.problems);

  for (const StoredSurface& stored : world.surfaces) {
    const SurfaceRecipe& recipe = *stored.recipe;
    const Measured m = measure_surface(*portal, recipe.id);
    const std::string id = fmt::format("surface 0x{:08X} ({})", recipe.id, recipe.description);

    const bool placed = world.on_landblock.contains(recipe.id);
    if (recipe.expect == Expect::Absent) {
      if (placed) v.problems.push_back(id + ": meant to be absent but placed on the landblock");
      if (!world.on_neighbour.contains(recipe.id))
        v.problems.push_back(id + ": not placed on the neighbouring landblock either");
    } else if (!placed) {
      v.problems.push_back(id + ": not placed on the landblock");
    }

    if (recipe.expect == Expect::Fail) {
      if (m.decoded) {
        v.problems.push_back(id + ": meant to fail but decodes");
      } else if (m.failure != recipe.breakage) {
        v.problems.push_back(fmt::format("{}: fails, but not with {} ({})", id,
                                         breakage_name(recipe.breakage), m.failure_text));
      }
    } else if (!m.decoded) {
      v.problems.push_back(fmt::format("{}: does not decode ({})", id, m.failure_text));
    } else {
      if (m.category != recipe.category) {
        v.problems.push_back(fmt::format("{}: built for {} but classifies as {}: {}", id,
                                         dat::category_name(recipe.category),
                                         dat::category_name(m.category), describe(m.stats)));
      } else if (auto p = rule_problem(recipe.rule, m, recipe.surface_type)) {
        v.problems.push_back(fmt::format("{}: {} by rule {}? {}: {}", id,
                                         dat::category_name(recipe.category), recipe.rule, *p,
                                         describe(m.stats)));
      }
      const std::uint32_t w = recipe.texture ? recipe.texture->width : 1;
      const std::uint32_t h = recipe.texture ? recipe.texture->height : 1;
      if (m.width != w || m.height != h || m.solid != !recipe.texture)
        v.problems.push_back(id + ": size or kind differs from the catalogue");
    }
    v.measured.push_back(m);
  }

  std::set<std::uint32_t> meant;
  for (const StoredSurface& stored : world.surfaces)
    if (stored.recipe->expect != Expect::Absent) meant.insert(stored.recipe->id);
  for (const std::uint32_t id : world.on_landblock)
    if (!meant.contains(id))
      v.problems.push_back(fmt::format("surface 0x{:08X} is placed but not catalogued", id));
  return v;
}

}  // namespace sample
