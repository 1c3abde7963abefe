#pragma once
// Synthetic texture content for the benchmark world and the micro-benchmarks: DXT blocks
// drawn directly from a material's colours (no encoder search, so a world of thousands of
// textures is made in seconds), raw and paletted pixels, and palettes.

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace bench {

// A base colour and how far pixels stray from it.
struct Material {
  std::uint8_t r = 128, g = 128, b = 128;
  std::uint8_t spread = 24;
};

// A handful of colours that land in different classifier categories.
std::span<const Material> materials();

enum class TexKind : std::uint8_t {
  Dxt1, Dxt3, Dxt5, R8G8B8, A8R8G8B8, B8G8R8, A8, L8, P8, Index16,
};
inline constexpr TexKind kAllTexKinds[] = {
    TexKind::Dxt1, TexKind::Dxt3,     TexKind::Dxt5,   TexKind::R8G8B8, TexKind::A8R8G8B8,
    TexKind::B8G8R8, TexKind::A8,     TexKind::L8,     TexKind::P8,     TexKind::Index16,
};

std::uint32_t format_code(TexKind kind);
std::string_view kind_name(TexKind kind);
bool is_paletted(TexKind kind);
// Colours a palette for this kind must hold (every index drawn stays below it).
std::uint32_t palette_size_for(TexKind kind);

struct TextureRecipe {
  TexKind kind = TexKind::Dxt1;
  std::uint32_t width = 256;
  std::uint32_t height = 256;
  std::uint64_t seed = 0;
  Material material;
};

// The texture's source_data: whole blocks for the DXT kinds, packed pixels for the others.
std::vector<std::uint8_t> synth_source_data(const TextureRecipe& recipe);

// `count` colours packed 0xAARRGGBB around the material.
std::vector<std::uint32_t> synth_palette(std::uint64_t seed, const Material& material,
                                         std::uint32_t count);

}  // namespace bench
