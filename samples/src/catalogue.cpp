#include "catalogue.hpp"

namespace sample {

namespace {

using C = dat::MaterialCategory;
using F = PixelFormat;
using L = Look;

constexpr std::uint32_t S(std::uint32_t low) { return 0x08000000u | low; }

// Flag words: 0x2 makes a surface textured; 0x04 (also textured), 0x10 and 0x40 are the
// bits the classifier reads.
constexpr std::uint32_t kTextured = 0x2;
constexpr std::uint32_t kSolid = 0x1;

SurfaceRecipe textured(std::uint32_t id, std::string_view description, C category, int rule,
                     std::uint32_t surface_type, L look, F format, std::uint32_t width,
                     std::uint32_t height, AlphaMode alpha = AlphaMode::Opaque,
                     bool compress = false, int smaller = 0) {
  SurfaceRecipe s;
  s.id = S(id);
  s.description = description;
  s.category = category;
  s.rule = rule;
  s.surface_type = surface_type;
  s.texture = TextureRequest{look, format, width, height, id * 2654435761u, alpha};
  s.compress = compress;
  s.smaller_textures = smaller;
  return s;
}

SurfaceRecipe solid(std::uint32_t id, std::string_view description, C category, int rule,
                  std::uint32_t surface_type, std::uint32_t colour, bool compress = false) {
  SurfaceRecipe s;
  s.id = S(id);
  s.description = description;
  s.category = category;
  s.rule = rule;
  s.surface_type = surface_type;
  s.colour = colour;
  s.compress = compress;
  return s;
}

SurfaceRecipe broken(SurfaceRecipe s, Breakage breakage) {
  s.expect = Expect::Fail;
  s.breakage = breakage;
  return s;
}

SurfaceRecipe absent(SurfaceRecipe s) {
  s.expect = Expect::Absent;
  return s;
}

std::vector<SurfaceRecipe> make_catalogue() {
  constexpr auto Opaque = AlphaMode::Opaque;
  constexpr auto Coverage = AlphaMode::Coverage;
  constexpr auto Translucent = AlphaMode::Translucent;
  return {
      textured(0x100, "lava flow, heat-map palette", C::Lava, 1, 0x40 | kTextured, L::Lava, F::P8,
               64, 64, Opaque, true),
      textured(0x101, "lava crust plates", C::Lava, 1, 0x40 | 0x04 | kTextured, L::Lava,
               F::Dxt1FourColour, 62, 46),
      textured(0x102, "molten seams", C::Lava, 1, 0x40 | kTextured, L::Lava, F::A8R8G8B8, 48, 48,
               Opaque, false, 1),
      textured(0x103, "lava lake, 1024-colour palette", C::Lava, 1, 0x40 | kTextured, L::Lava,
               F::Index16, 40, 30),

      textured(0x110, "pond ripples", C::Water, 2, 0x10 | kTextured, L::Water, F::R8G8B8, 64, 64,
               Opaque, true),
      textured(0x111, "translucent shallows", C::Water, 2, 0x10 | kTextured, L::Water, F::Dxt5, 50,
               38, Translucent),
      textured(0x112, "deep water, 1024-colour palette", C::Water, 2, 0x10 | kTextured, L::Water,
               F::Index16, 56, 40, Opaque, true),
      textured(0x113, "stream", C::Water, 2, 0x10 | 0x04 | kTextured, L::Water, F::B8G8R8, 33, 33),
      textured(0x114, "fountain water", C::Water, 2, 0x10 | kTextured, L::Water, F::Dxt3, 36, 30,
               Translucent),

      textured(0x120, "moss cushions", C::Foliage, 3, 0x04, L::Moss, F::Dxt3, 44, 44),
      textured(0x121, "lichen on rock", C::Foliage, 3, 0x04 | kTextured, L::Lichen, F::B8G8R8, 40,
               40),
      textured(0x122, "moss, palette", C::Foliage, 3, 0x04, L::Moss, F::P8, 36, 28, Opaque, true),

      textured(0x130, "meadow grass", C::Foliage, 4, kTextured, L::Grass, F::R8G8B8, 64, 64, Opaque,
               true, 2),
      textured(0x131, "leaf canopy with gaps", C::Foliage, 4, kTextured, L::Leaves,
               F::Dxt1ThreeColour, 60, 60, Coverage),
      textured(0x132, "grass tuft", C::Foliage, 4, kTextured, L::Grass, F::A8R8G8B8, 45, 45),
      textured(0x133, "ivy leaves, palette", C::Foliage, 4, kTextured, L::Leaves, F::P8, 64, 48),
      textured(0x134, "short grass", C::Foliage, 4, kTextured, L::Grass, F::Dxt5, 30, 22),

      textured(0x140, "snow drifts", C::Snow, 0, kTextured, L::Snow, F::L8, 64, 64),
      textured(0x141, "snowfield", C::Snow, 0, kTextured, L::Snow, F::R8G8B8, 50, 50, Opaque, true),
      textured(0x142, "packed snow", C::Snow, 0, kTextured, L::Snow, F::Dxt5, 42, 26),
      textured(0x143, "frost", C::Snow, 0, kTextured, L::Snow, F::A8, 31, 31),

      textured(0x150, "dunes", C::Sand, 0, kTextured, L::Sand, F::R8G8B8, 64, 64, Opaque, true),
      textured(0x151, "sand ripples", C::Sand, 0, kTextured, L::Sand, F::Dxt1FourColour, 38, 26),
      textured(0x152, "beach sand, palette", C::Sand, 0, kTextured, L::Sand, F::P8, 48, 48),
      textured(0x153, "sand path", C::Sand, 0, kTextured, L::Sand, F::A8R8G8B8, 29, 41),

      textured(0x160, "oak planks", C::Wood, 0, kTextured, L::WoodPlanks, F::A8R8G8B8, 64, 64),
      textured(0x161, "log end", C::Wood, 0, kTextured, L::EndGrain, F::Dxt3, 46, 46),
      textured(0x162, "bark", C::Wood, 0, kTextured, L::Bark, F::B8G8R8, 32, 48),
      textured(0x163, "floorboards, 1024-colour palette", C::Wood, 0, kTextured, L::WoodPlanks,
               F::Index16, 64, 32, Opaque, true),

      textured(0x170, "dirt with pebbles", C::Dirt, 0, kTextured, L::Dirt, F::R8G8B8, 64, 64),
      textured(0x171, "cart track", C::Dirt, 0, kTextured, L::CartTrack, F::Dxt5, 58, 42),
      textured(0x172, "trodden earth, palette", C::Dirt, 0, kTextured, L::Dirt, F::P8, 40, 40),

      textured(0x180, "brushed steel", C::Metal, 0, kTextured, L::BrushedMetal, F::A8, 64, 64),
      textured(0x181, "riveted plates", C::Metal, 0, kTextured, L::RivetedPlates, F::R8G8B8, 48,
               48),
      textured(0x182, "steel sheet", C::Metal, 0, kTextured, L::BrushedMetal, F::Dxt1FourColour, 34,
               34),
      textured(0x183, "iron door plates", C::Metal, 0, kTextured, L::RivetedPlates, F::L8, 50, 26),

      textured(0x190, "slate, grey", C::Stone, 10, kTextured, L::Slate, F::L8, 64, 64),
      textured(0x191, "slate", C::Stone, 10, kTextured, L::Slate, F::B8G8R8, 50, 40),
      textured(0x192, "flagstones", C::Stone, 10, kTextured, L::Flagstones, F::Dxt3, 64, 52),
      textured(0x193, "flagstones, palette", C::Stone, 10, kTextured, L::Flagstones, F::P8, 44, 44),

      textured(0x1A0, "granite", C::Stone, 11, kTextured, L::Granite, F::A8, 64, 64),
      textured(0x1A1, "cliff face", C::Stone, 11, kTextured, L::RockFace, F::R8G8B8, 60, 44),
      textured(0x1A2, "rubble", C::Stone, 11, kTextured, L::Rubble, F::Dxt5, 64, 64),
      textured(0x1A3, "granite, 1024-colour palette", C::Stone, 11, kTextured, L::Granite,
               F::Index16, 48, 36),

      textured(0x1B0, "purple cloth", C::Generic, 0, kTextured, L::PurpleCloth, F::A8R8G8B8, 64,
               64),
      textured(0x1B1, "red roof tiles", C::Generic, 0, kTextured, L::RoofTiles, F::P8, 64, 64),
      textured(0x1B2, "blue glazed tiles (no water flag)", C::Generic, 0, kTextured, L::GlazedTiles,
               F::Dxt1FourColour, 48, 48),
      textured(0x1B3, "night sky", C::Generic, 0, kTextured, L::NightSky, F::L8, 64, 64),

      solid(0x200, "glowing coals", C::Lava, 1, 0x40 | kSolid, 0xFFE65A14),
      solid(0x201, "still water", C::Water, 2, 0x10 | kSolid, 0xFF1E3CA0),
      solid(0x202, "green paint", C::Foliage, 4, kSolid, 0xFF288C32),
      solid(0x203, "whitewash", C::Snow, 0, kSolid, 0xFFF5F7FA, true),
      solid(0x204, "sandstone", C::Sand, 0, kSolid, 0xFFC8AA6E),
      solid(0x205, "dark timber", C::Wood, 0, kSolid, 0xFF6E4628),
      solid(0x206, "clay", C::Dirt, 0, kSolid, 0xFFAA7850),
      solid(0x207, "pewter", C::Metal, 0, kSolid, 0xFF96989B),
      solid(0x208, "mortar", C::Stone, 10, kSolid, 0xFF5A5C62),
      solid(0x209, "dyed wool", C::Generic, 0, kSolid, 0xFF7828A0),
      solid(0x20A, "soot", C::Generic, 0, kSolid, 0xFF0A0A0C),

      broken(textured(0x300, "palette missing from the archive", C::Generic, 0, kTextured, L::Sand,
                      F::P8, 32, 32),
             Breakage::MissingPalette),
      broken(textured(0x301, "R5G6B5 pixels (no conversion)", C::Generic, 0, kTextured, L::Grass,
                      F::R5G6B5, 32, 32),
             Breakage::UnsupportedFormat),
      broken(textured(0x302, "texture list without textures", C::Generic, 0, kTextured, L::Dirt,
                      F::R8G8B8, 16, 16),
             Breakage::EmptyTextureList),
      broken(textured(0x303, "palette of 16 colours, indices up to 255", C::Generic, 0, kTextured,
                      L::Lava, F::P8, 24, 24),
             Breakage::PaletteIndexOutOfRange),

      absent(textured(0x400, "hedge on the neighbouring landblock", C::Foliage, 4, kTextured,
                      L::Leaves, F::R8G8B8, 32, 32)),
  };
}

}  // namespace

const std::vector<SurfaceRecipe>& sample_surfaces() {
  static const std::vector<SurfaceRecipe> catalogue = make_catalogue();
  return catalogue;
}

std::string_view expect_name(Expect expect) {
  switch (expect) {
    case Expect::Decode: return "decode";
    case Expect::Fail: return "fail";
    case Expect::Absent: return "absent";
  }
  return "?";
}

std::string_view breakage_name(Breakage breakage) {
  switch (breakage) {
    case Breakage::None: return "-";
    case Breakage::MissingPalette: return "missing-palette";
    case Breakage::UnsupportedFormat: return "unsupported-format";
    case Breakage::EmptyTextureList: return "empty-texture-list";
    case Breakage::PaletteIndexOutOfRange: return "palette-index-out-of-range";
  }
  return "?";
}

}  // namespace sample
