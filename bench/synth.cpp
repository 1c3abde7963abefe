#include "synth.hpp"

#include <algorithm>
#include <array>
#include <cstring>

#include "dat/file_type/texture.hpp"
#include "prng.hpp"
#include "writer/dxt_encoder.hpp"

namespace bench {

namespace {

constexpr std::array<Material, 10> kMaterials{{
    {128, 128, 128, 20},  // stone grey
    {110, 70, 40, 18},    // wood
    {200, 170, 110, 12},  // sand
    {40, 140, 50, 22},    // foliage
    {30, 60, 160, 16},    // water
    {235, 235, 240, 6},   // snow
    {200, 40, 30, 20},    // lava
    {170, 120, 80, 20},   // dirt
    {150, 150, 155, 8},   // metal
    {150, 60, 140, 40},   // something gaudy
}};

std::uint8_t clamp_byte(int v) { return static_cast<std::uint8_t>(std::clamp(v, 0, 255)); }

// A value in [-spread, spread] from one random byte.
int jitter(std::uint8_t random, unsigned spread) {
  return static_cast<int>((random * (2 * spread + 1)) >> 8) - static_cast<int>(spread);
}

// Slow variation across the image, so textures are not flat noise.
int wave(std::uint32_t x, std::uint32_t y) {
  return static_cast<int>((x * 7 + y * 13) % 48) - 24;
}

void put_u16(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}
void put_u32(std::uint8_t* p, std::uint32_t v) { std::memcpy(p, &v, 4); }

// The colour half of a block: two endpoints near the material, random indices. DXT1 blocks
// use three-colour mode (c0 <= c1) now and then; the other formats ignore the order.
void colour_block(std::uint8_t* out, Prng& rng, const Material& m, std::uint32_t bx,
                  std::uint32_t by, bool dxt1) {
  const std::uint64_t noise = rng.next();
  const int w = wave(bx, by);
  const auto byte = [&](int k) { return static_cast<std::uint8_t>(noise >> (8 * k)); };
  const std::uint16_t hi = writer::pack_rgb565(clamp_byte(m.r + w + jitter(byte(0), m.spread)),
                                               clamp_byte(m.g + w + jitter(byte(1), m.spread)),
                                               clamp_byte(m.b + w + jitter(byte(2), m.spread)));
  const std::uint16_t lo =
      writer::pack_rgb565(clamp_byte(m.r * 3 / 4 + w + jitter(byte(3), m.spread)),
                          clamp_byte(m.g * 3 / 4 + w + jitter(byte(4), m.spread)),
                          clamp_byte(m.b * 3 / 4 + w + jitter(byte(5), m.spread)));
  std::uint16_t c0 = std::max(hi, lo);
  std::uint16_t c1 = std::min(hi, lo);
  if (dxt1) {
    if (byte(6) < 6) {
      std::swap(c0, c1);  // three-colour mode, transparent texels included
    } else if (c0 == c1) {
      if (c1 > 0) --c1; else ++c0;
    }
  }
  put_u16(out, c0);
  put_u16(out + 2, c1);
  put_u32(out + 4, static_cast<std::uint32_t>(noise >> 32) ^ rng.u32());
}

void dxt_blocks(std::vector<std::uint8_t>& out, const TextureRecipe& recipe, Prng& rng) {
  const std::uint32_t bw = (recipe.width + 3) / 4;
  const std::uint32_t bh = (recipe.height + 3) / 4;
  const std::size_t block = recipe.kind == TexKind::Dxt1 ? 8 : 16;
  out.assign(std::size_t{bw} * bh * block, 0);
  std::uint8_t* p = out.data();
  // Foliage-like materials get cut-out alpha, the rest stay nearly opaque.
  const bool cutout = recipe.material.g > recipe.material.r && recipe.material.g > recipe.material.b;
  for (std::uint32_t by = 0; by < bh; ++by) {
    for (std::uint32_t bx = 0; bx < bw; ++bx, p += block) {
      if (recipe.kind == TexKind::Dxt1) {
        colour_block(p, rng, recipe.material, bx, by, true);
        continue;
      }
      if (recipe.kind == TexKind::Dxt3) {
        const std::uint64_t nibbles = rng.next() | 0xCCCC'CCCC'CCCC'CCCCull;
        std::memcpy(p, &nibbles, 8);
      } else {
        const std::uint64_t bits = rng.next();
        p[0] = 255;
        p[1] = cutout ? 0 : static_cast<std::uint8_t>(200 + (bits & 0x3F));
        for (int k = 0; k < 6; ++k) p[2 + k] = static_cast<std::uint8_t>(bits >> (8 + 8 * k));
      }
      colour_block(p + 8, rng, recipe.material, bx, by, false);
    }
  }
}

}  // namespace

std::span<const Material> materials() { return kMaterials; }

std::uint32_t format_code(TexKind kind) {
  namespace fc = dat::format_code;
  switch (kind) {
    case TexKind::Dxt1: return fc::Dxt1;
    case TexKind::Dxt3: return fc::Dxt3;
    case TexKind::Dxt5: return fc::Dxt5;
    case TexKind::R8G8B8: return fc::R8G8B8;
    case TexKind::A8R8G8B8: return fc::A8R8G8B8;
    case TexKind::B8G8R8: return fc::B8G8R8;
    case TexKind::A8: return fc::A8;
    case TexKind::L8: return fc::L8;
    case TexKind::P8: return fc::P8;
    case TexKind::Index16: return fc::Index16;
  }
  return fc::Undefined;
}

std::string_view kind_name(TexKind kind) {
  switch (kind) {
    case TexKind::Dxt1: return "DXT1";
    case TexKind::Dxt3: return "DXT3";
    case TexKind::Dxt5: return "DXT5";
    case TexKind::R8G8B8: return "R8G8B8";
    case TexKind::A8R8G8B8: return "A8R8G8B8";
    case TexKind::B8G8R8: return "B8G8R8";
    case TexKind::A8: return "A8";
    case TexKind::L8: return "L8";
    case TexKind::P8: return "P8";
    case TexKind::Index16: return "Index16";
  }
  return "?";
}

bool is_paletted(TexKind kind) { return kind == TexKind::P8 || kind == TexKind::Index16; }

std::uint32_t palette_size_for(TexKind kind) { return kind == TexKind::Index16 ? 4096 : 256; }

std::vector<std::uint8_t> synth_source_data(const TextureRecipe& recipe) {
  Prng rng(recipe.seed);
  std::vector<std::uint8_t> out;
  if (recipe.kind == TexKind::Dxt1 || recipe.kind == TexKind::Dxt3 || recipe.kind == TexKind::Dxt5) {
    dxt_blocks(out, recipe, rng);
    return out;
  }
  const Material& m = recipe.material;
  const std::size_t n = std::size_t{recipe.width} * recipe.height;
  switch (recipe.kind) {
    case TexKind::R8G8B8:
    case TexKind::B8G8R8:
    case TexKind::A8R8G8B8: {
      const bool alpha = recipe.kind == TexKind::A8R8G8B8;
      const bool bgr = recipe.kind != TexKind::B8G8R8;  // stored blue first
      const std::size_t step = alpha ? 4 : 3;
      out.resize(n * step);
      std::uint8_t* p = out.data();
      for (std::size_t i = 0; i < n; ++i, p += step) {
        const std::uint64_t noise = rng.next();
        const int w = wave(static_cast<std::uint32_t>(i % recipe.width) / 4,
                           static_cast<std::uint32_t>(i / recipe.width) / 4);
        const std::uint8_t r = clamp_byte(m.r + w + jitter(static_cast<std::uint8_t>(noise), m.spread));
        const std::uint8_t g = clamp_byte(m.g + w + jitter(static_cast<std::uint8_t>(noise >> 8), m.spread));
        const std::uint8_t b = clamp_byte(m.b + w + jitter(static_cast<std::uint8_t>(noise >> 16), m.spread));
        p[0] = bgr ? b : r;
        p[1] = g;
        p[2] = bgr ? r : b;
        if (alpha) p[3] = static_cast<std::uint8_t>(192 + ((noise >> 24) & 63));
      }
      return out;
    }
    case TexKind::A8:
    case TexKind::L8: {
      out.resize(n);
      const int grey = (m.r * 3 + m.g * 6 + m.b) / 10;
      for (std::size_t i = 0; i < n; ++i) {
        const int w = wave(static_cast<std::uint32_t>(i % recipe.width) / 4,
                           static_cast<std::uint32_t>(i / recipe.width) / 4);
        out[i] = clamp_byte(grey + w + jitter(static_cast<std::uint8_t>(rng.next()), m.spread));
      }
      return out;
    }
    case TexKind::P8:
      out.resize(n);
      for (auto& index : out) index = static_cast<std::uint8_t>(rng.next());
      return out;
    case TexKind::Index16: {
      out.resize(n * 2);
      const std::uint32_t colours = palette_size_for(TexKind::Index16);
      for (std::size_t i = 0; i < n; ++i) put_u16(&out[2 * i], static_cast<std::uint16_t>(rng.below(colours)));
      return out;
    }
    default:
      return out;
  }
}

std::vector<std::uint32_t> synth_palette(std::uint64_t seed, const Material& m,
                                         std::uint32_t count) {
  Prng rng(seed);
  std::vector<std::uint32_t> colours(count);
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint64_t noise = rng.next();
    const std::uint32_t r = clamp_byte(m.r + jitter(static_cast<std::uint8_t>(noise), m.spread));
    const std::uint32_t g = clamp_byte(m.g + jitter(static_cast<std::uint8_t>(noise >> 8), m.spread));
    const std::uint32_t b = clamp_byte(m.b + jitter(static_cast<std::uint8_t>(noise >> 16), m.spread));
    const std::uint32_t a = (noise >> 24) % 16 == 0 ? 0x80 : 0xFF;
    colours[i] = (a << 24) | (r << 16) | (g << 8) | b;
  }
  return colours;
}

}  // namespace bench
