#include <algorithm>
#include <utility>

#include "world.hpp"
#include "writer/texture_records.hpp"

namespace sample {

namespace {

constexpr std::uint32_t kPaletteBase = 0x04000000;
constexpr std::uint32_t kListBase = 0x05000000;
constexpr std::uint32_t kTextureBase = 0x06000000;
// Named by the texture of the missing-palette surface and never written.
constexpr std::uint32_t kMissingPalette = 0x0400DEAD;
// The out-of-range surface's palette keeps only this many colours.
constexpr std::size_t kShortPalette = 16;

struct Ids {
  std::uint32_t palette = kPaletteBase + 1;
  std::uint32_t list = kListBase + 1;
  std::uint32_t texture = kTextureBase + 1;
};

void add(std::vector<writer::ArchiveFile>& files, std::uint32_t id, std::vector<std::uint8_t> data,
         bool compress) {
  files.push_back(writer::ArchiveFile{id, std::move(data), compress, 0});
}

// One texture and, for the indexed formats, its palette (subject to the surface's breakage).
std::uint32_t add_texture(SampleWorld& world, Ids& ids, const SurfaceRecipe& recipe,
                          const TextureRequest& request, StoredSurface& stored) {
  const std::uint32_t texture_id = ids.texture++;
  const bool indexed = is_indexed(request.format);
  const std::uint32_t palette_id =
      !indexed ? 0 : (recipe.breakage == Breakage::MissingPalette ? kMissingPalette : ids.palette++);
  BuiltTexture built = build_texture(request, texture_id, palette_id);
  if (built.palette && recipe.breakage != Breakage::MissingPalette) {
    if (recipe.breakage == Breakage::PaletteIndexOutOfRange)
      built.palette->colors.resize(kShortPalette);
    add(world.portal_files, palette_id, writer::encode_palette(*built.palette), recipe.compress);
  }
  add(world.portal_files, texture_id, writer::encode_texture(built.texture), recipe.compress);
  stored.palette_id = palette_id;
  return texture_id;
}

}  // namespace

void add_surfaces(SampleWorld& world) {
  Ids ids;
  for (const SurfaceRecipe& recipe : sample_surfaces()) {
    StoredSurface stored;
    stored.recipe = &recipe;
    dat::Surface surface;
    if (!recipe.texture) {
      surface = writer::solid_surface(recipe.colour, recipe.surface_type);
    } else {
      stored.list_id = ids.list++;
      if (recipe.breakage != Breakage::EmptyTextureList) {
        // Smaller versions first, halving each step; the audit draws the last entry.
        for (int k = recipe.smaller_textures; k > 0; --k) {
          TextureRequest smaller = *recipe.texture;
          smaller.width = std::max(1u, smaller.width >> k);
          smaller.height = std::max(1u, smaller.height >> k);
          stored.texture_ids.push_back(add_texture(world, ids, recipe, smaller, stored));
        }
        stored.texture_ids.push_back(add_texture(world, ids, recipe, *recipe.texture, stored));
      }
      dat::SurfaceTexture list;
      list.id = stored.list_id;
      list.textures = stored.texture_ids;
      add(world.portal_files, list.id, writer::encode_surface_texture(list), false);
      surface = writer::textured_surface(stored.list_id, recipe.surface_type);
    }
    // Plausible material values; the audit does not read them.
    surface.translucency = 0;
    surface.luminosity = recipe.category == dat::MaterialCategory::Lava ? 0x3F800000u : 0;
    surface.diffuse = 0x3F800000u;
    add(world.portal_files, recipe.id, writer::encode_surface(surface),
        recipe.compress && !recipe.texture);
    world.surfaces.push_back(std::move(stored));
  }
}

}  // namespace sample
