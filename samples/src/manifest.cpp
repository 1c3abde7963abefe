#include "manifest.hpp"

#include <fmt/format.h>

namespace sample {

namespace {

std::string hex_or_dash(std::uint32_t id) { return id == 0 ? "-" : fmt::format("0x{:08X}", id); }

}  // namespace

std::string manifest_text(const SampleWorld& world) {
  std::string out;
  out += fmt::format(
      "# quorvane-sample: the surfaces of landblock 0x{:04X} and what each is built to be.\n"
      "# Portal archive block size {}, cell archive block size {}.\n",
      kLandblock, world.portal_options.block_size, world.cell_options.block_size);
  out +=
      "surface\texpect\tcategory\trule\tkind\tformat\twidth\theight\tsurface_type\tcompressed"
      "\tfailure\ttexture\tpalette\tlist\tdescription\n";
  for (const StoredSurface& stored : world.surfaces) {
    const SurfaceRecipe& recipe = *stored.recipe;
    const bool has_texture = !stored.texture_ids.empty();
    std::string format = "solid";
    std::string width = "1";
    std::string height = "1";
    if (recipe.texture) {
      format = has_texture ? std::string(format_name(recipe.texture->format)) : "-";
      width = has_texture ? std::to_string(recipe.texture->width) : "-";
      height = has_texture ? std::to_string(recipe.texture->height) : "-";
    }
    out += fmt::format(
        "0x{:08X}\t{}\t{}\t{}\t{}\t{}\t{}\t{}\t0x{:X}\t{}\t{}\t{}\t{}\t{}\t{}\n", recipe.id,
        expect_name(recipe.expect),
        recipe.expect == Expect::Fail ? "-" : dat::category_name(recipe.category),
        recipe.rule == 0 ? std::string("-") : std::to_string(recipe.rule),
        recipe.texture ? "textured" : "solid", format, width, height, recipe.surface_type,
        recipe.compress ? "yes" : "no", breakage_name(recipe.breakage),
        has_texture ? hex_or_dash(stored.texture_ids.back()) : "-", hex_or_dash(stored.palette_id),
        recipe.texture ? std::to_string(stored.texture_ids.size()) : "-", recipe.description);
  }
  return out;
}

}  // namespace sample
