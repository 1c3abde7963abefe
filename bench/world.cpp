#include "world.hpp"

#include <algorithm>
#include <cstring>
#include <numeric>

#include "prng.hpp"
#include "writer/cell_records.hpp"
#include "writer/graphics_records.hpp"
#include "writer/model_records.hpp"
#include "writer/texture_records.hpp"

namespace bench {

namespace {

// Independent streams per record kind, so counts can change without reshuffling the rest.
enum Stream : std::uint64_t {
  kPlanStream = 1, kMeshStream, kSetupStream, kSurfaceStream, kListStream, kTextureStream,
  kPaletteStream, kLandblockStream, kCellStream, kChainStream,
};

std::uint64_t stream_id(Stream kind, std::uint64_t index) { return (std::uint64_t{kind} << 40) | index; }

std::uint32_t scaled(double base, double factor) {
  return std::max<std::uint32_t>(1, static_cast<std::uint32_t>(std::lround(base * factor)));
}

dat::Frame some_frame(Prng& rng) {
  const auto coord = [&] { return static_cast<float>(rng.below(19200)) / 100.0f; };
  dat::Frame f = writer::frame_at(coord(), coord(), static_cast<float>(rng.below(4000)) / 100.0f);
  return f;
}

// A mesh or setup id for ordinary placements (never a dense mesh).
std::uint32_t some_model(const WorldPlan& plan, Prng& rng) {
  if (rng.chance(35)) return ids::setup(rng.between(1, plan.setups));
  return ids::mesh(rng.between(1, plan.meshes - plan.dense_meshes));
}

std::uint16_t some_surface_number(const WorldPlan& plan, Prng& rng) {
  return static_cast<std::uint16_t>(rng.between(1, plan.surfaces));
}

writer::ArchiveFile mesh_file(const WorldPlan& plan, std::uint32_t i) {
  Prng rng = Prng::derive(plan.seed, stream_id(kMeshStream, i));
  std::vector<std::uint32_t> surfaces;
  const bool dense = i > plan.meshes - plan.dense_meshes;
  const std::uint32_t count = rng.between(1, 6);
  for (std::uint32_t k = 0; k < count; ++k) {
    const std::uint16_t n =
        dense ? plan.dense_surfaces[rng.below(static_cast<std::uint32_t>(plan.dense_surfaces.size()))]
              : some_surface_number(plan, rng);
    surfaces.push_back(ids::surface(n));
  }
  writer::GfxObjDesc mesh = writer::simple_mesh(ids::mesh(i), std::move(surfaces));
  const std::uint32_t extra = rng.between(1, 17);
  for (std::uint32_t v = 0; v < extra; ++v) {
    const float x = static_cast<float>(rng.below(1000)) / 100.0f;
    const float y = static_cast<float>(rng.below(1000)) / 100.0f;
    mesh.vertex_array.vertices.emplace_back(
        static_cast<std::uint16_t>(3 + v),
        writer::make_vertex({x, y, 0.0f}, {0.0f, 0.0f, 1.0f}, {{x / 10.0f, y / 10.0f}}));
  }
  return {ids::mesh(i), writer::encode_gfx_obj(mesh), rng.chance(10), 0};
}

writer::ArchiveFile setup_file(const WorldPlan& plan, std::uint32_t i) {
  Prng rng = Prng::derive(plan.seed, stream_id(kSetupStream, i));
  std::vector<std::uint32_t> parts;
  const std::uint32_t count = rng.between(1, 6);
  for (std::uint32_t k = 0; k < count; ++k)
    parts.push_back(ids::mesh(rng.between(1, plan.meshes - plan.dense_meshes)));
  writer::SetupModelDesc setup = writer::simple_setup(ids::setup(i), std::move(parts));
  setup.spheres.push_back(common::Sphere{{0.0f, 0.0f, 1.0f}, 2.5f});
  return {ids::setup(i), writer::encode_setup_model(setup), false, 0};
}

writer::ArchiveFile surface_file(const WorldPlan& plan, std::uint32_t i) {
  Prng rng = Prng::derive(plan.seed, stream_id(kSurfaceStream, i));
  dat::Surface surface;
  if (rng.chance(10)) {
    const Material& m = materials()[rng.below(static_cast<std::uint32_t>(materials().size()))];
    const std::uint32_t colour = 0xFF000000u | (std::uint32_t{m.r} << 16) |
                                 (std::uint32_t{m.g} << 8) | m.b;
    static constexpr std::uint32_t kSolidTypes[] = {0x1, 0x1, 0x11, 0x41};
    surface = writer::solid_surface(colour, kSolidTypes[rng.below(4)]);
  } else {
    static constexpr std::uint32_t kTexturedTypes[] = {0x2, 0x2, 0x6, 0x12, 0x42, 0x4};
    surface = writer::textured_surface(ids::texture_list(rng.between(1, plan.texture_lists)),
                                       kTexturedTypes[rng.below(6)]);
  }
  surface.translucency = 0;
  surface.luminosity = rng.chance(5) ? 0x3F800000u : 0;
  surface.diffuse = 0x3F800000u;
  return {ids::surface(i), writer::encode_surface(surface), false, 0};
}

writer::ArchiveFile list_file(const WorldPlan& plan, std::uint32_t i) {
  Prng rng = Prng::derive(plan.seed, stream_id(kListStream, i));
  dat::SurfaceTexture list;
  list.id = ids::texture_list(i);
  list.unknown_int = rng.below(4);
  list.unknown_byte = static_cast<std::uint8_t>(rng.below(2));
  const std::uint32_t count = rng.between(1, 3);
  for (std::uint32_t k = 0; k < count; ++k)
    list.textures.push_back(ids::texture(rng.between(1, plan.textures)));
  return {list.id, writer::encode_surface_texture(list), false, 0};
}

writer::ArchiveFile texture_file(const WorldPlan& plan, std::uint32_t i) {
  const TexturePlan tp = texture_plan(plan, i);
  dat::Texture t;
  t.id = ids::texture(i);
  t.width = static_cast<std::int32_t>(tp.recipe.width);
  t.height = static_cast<std::int32_t>(tp.recipe.height);
  t.format_raw = format_code(tp.recipe.kind);
  t.source_data = synth_source_data(tp.recipe);
  if (tp.palette_id != 0) t.default_palette_id = tp.palette_id;
  return {t.id, writer::encode_texture(t), false, 0};
}

writer::ArchiveFile palette_file(const WorldPlan& plan, std::uint32_t i) {
  Prng rng = Prng::derive(plan.seed, stream_id(kPaletteStream, i));
  const Material& m = materials()[rng.below(static_cast<std::uint32_t>(materials().size()))];
  const std::uint32_t count = i <= plan.p8_palettes ? 256 : 4096;
  dat::Palette p;
  p.id = ids::palette(i);
  p.colors = synth_palette(rng.next(), m, count);
  return {p.id, writer::encode_palette(p), true, 0};
}

dat::EnvCell make_cell(std::uint32_t id, Prng& rng) {
  dat::EnvCell cell;
  cell.id = id;
  cell.aux_word = rng.below(0x100);
  cell.aux_a = static_cast<std::uint16_t>(rng.below(0x400));
  cell.aux_b = static_cast<std::uint16_t>(rng.below(0x10));
  cell.position = some_frame(rng);
  const std::uint32_t portals = rng.below(5);
  for (std::uint32_t p = 0; p < portals; ++p) {
    cell.portals.push_back(dat::CellPortal{static_cast<std::uint16_t>(rng.below(4)),
                                           static_cast<std::uint16_t>(rng.below(32)),
                                           static_cast<std::uint16_t>(0x100 + rng.below(40)),
                                           static_cast<std::uint16_t>(rng.below(4))});
  }
  const std::uint32_t aux = rng.below(4);
  for (std::uint32_t a = 0; a < aux; ++a) cell.aux_values.push_back(static_cast<std::uint16_t>(rng.below(64)));
  return cell;
}

void add_stabs(dat::EnvCell& cell, std::vector<std::uint32_t> models, Prng& rng) {
  if (models.empty()) return;
  cell.flags |= 2;
  for (const std::uint32_t m : models) cell.stabs.push_back(dat::env_cell::Stab{m, some_frame(rng)});
}

// The landblock's 0xFFFF file: its terrain, which the audit never reads.
std::vector<std::uint8_t> terrain_bytes(std::uint32_t id, Prng& rng) {
  std::vector<std::uint8_t> bytes(252);
  for (std::size_t k = 0; k < bytes.size(); k += 8) {
    const std::uint64_t r = rng.next();
    for (std::size_t b = 0; b < 8 && k + b < bytes.size(); ++b) bytes[k + b] = static_cast<std::uint8_t>(r >> (8 * b));
  }
  std::memcpy(bytes.data(), &id, 4);
  return bytes;
}

void add_landblock(const WorldPlan& plan, std::uint16_t key,
                   std::vector<writer::ArchiveFile>& out) {
  Prng rng = Prng::derive(plan.seed, stream_id(kLandblockStream, key));
  const std::uint32_t base = std::uint32_t{key} << 16;
  const bool dense = key == kDenseLandblock;
  const std::uint32_t cells = dense ? 40 : rng.below(41);

  writer::LandblockInfoDesc info;
  info.id = base | 0xFFFE;
  info.num_cells = cells;
  if (dense) {
    // Every dense mesh once: their surfaces are all among the dense surfaces.
    for (std::uint32_t m = plan.meshes - plan.dense_meshes + 1; m <= plan.meshes; ++m)
      info.objects.push_back(dat::Stab{ids::mesh(m), some_frame(rng)});
  } else {
    const std::uint32_t objects = rng.below(11);
    for (std::uint32_t o = 0; o < objects; ++o)
      info.objects.push_back(dat::Stab{some_model(plan, rng), some_frame(rng)});
    if (rng.chance(30)) {
      const std::uint32_t buildings = rng.between(1, 3);
      for (std::uint32_t b = 0; b < buildings; ++b) {
        dat::BuildInfo building;
        building.model_id = some_model(plan, rng);
        building.frame = some_frame(rng);
        building.num_leaves = rng.below(8);
        const std::uint32_t portals = rng.below(3);
        for (std::uint32_t p = 0; p < portals; ++p) {
          dat::PortalInternal portal;
          portal.flags = static_cast<std::uint16_t>(rng.below(4));
          portal.other_cell_id = static_cast<std::uint16_t>(0x100 + rng.below(40));
          portal.stab_list.assign(rng.below(4), static_cast<std::uint16_t>(rng.below(16)));
          building.portals.push_back(std::move(portal));
        }
        info.buildings.push_back(std::move(building));
      }
    }
    if (rng.chance(20)) {
      info.pack_mask = 1;
      info.restriction_table.bucket_size = 8;
      const std::uint32_t pairs = rng.between(1, 4);
      for (std::uint32_t p = 0; p < pairs; ++p)
        info.restriction_table.pairs.emplace_back(base | (0x100 + rng.below(40)), rng.u32());
    }
  }
  out.push_back({info.id, writer::encode_landblock_info(info), false, 0});
  out.push_back({base | 0xFFFF, terrain_bytes(base | 0xFFFF, rng), false, 0});

  const auto& dense_list = plan.dense_surfaces;
  const auto dense_count = static_cast<std::uint32_t>(dense_list.size());
  for (std::uint32_t c = 0; c < cells; ++c) {
    const std::uint32_t id = base | (0x100 + c);
    Prng cell_rng = Prng::derive(plan.seed, stream_id(kCellStream, id));
    dat::EnvCell cell = make_cell(id, cell_rng);
    std::vector<std::uint32_t> stabs;
    if (dense) {
      // Cell c names the dense surfaces c, c + 40, c + 80, ... and repeats two of the
      // others, so the set has to drop duplicates.
      for (std::uint32_t k = c; k < dense_count; k += cells) cell.surfaces.push_back(dense_list[k]);
      for (int r = 0; r < 2; ++r) cell.surfaces.push_back(dense_list[cell_rng.below(dense_count)]);
      if (c % 5 == 0) stabs.push_back(ids::mesh(plan.meshes - cell_rng.below(plan.dense_meshes)));
    } else {
      const std::uint32_t surfaces = cell_rng.between(1, 6);
      for (std::uint32_t s = 0; s < surfaces; ++s) cell.surfaces.push_back(some_surface_number(plan, cell_rng));
      if (cell_rng.chance(30)) {
        const std::uint32_t count = cell_rng.between(1, 3);
        for (std::uint32_t s = 0; s < count; ++s) stabs.push_back(some_model(plan, cell_rng));
      }
    }
    add_stabs(cell, std::move(stabs), cell_rng);
    out.push_back({id, writer::encode_env_cell(cell), cell_rng.chance(10), 0});
  }
}

}  // namespace

std::optional<Scale> parse_scale(std::string_view name) {
  if (name == "quarter") return Scale::Quarter;
  if (name == "half") return Scale::Half;
  if (name == "full") return Scale::Full;
  return std::nullopt;
}

std::string_view scale_name(Scale scale) {
  switch (scale) {
    case Scale::Quarter: return "quarter";
    case Scale::Half: return "half";
    case Scale::Full: return "full";
  }
  return "full";
}

double scale_factor(Scale scale) {
  switch (scale) {
    case Scale::Quarter: return 0.25;
    case Scale::Half: return 0.5;
    case Scale::Full: return 1.0;
  }
  return 1.0;
}

WorldPlan plan_world(Scale scale, std::uint64_t seed) {
  const double f = scale_factor(scale);
  WorldPlan plan;
  plan.scale = scale;
  plan.seed = seed;
  plan.dense_meshes = 8;
  plan.meshes = scaled(33000, f) + plan.dense_meshes;
  plan.setups = scaled(11000, f);
  plan.surfaces = scaled(14000, f);
  plan.texture_lists = scaled(12000, f);
  plan.textures = scaled(9500, f);
  plan.palettes = scaled(500, f);
  plan.p8_palettes = plan.palettes - std::max<std::uint32_t>(1, plan.palettes / 10);

  // About 600,000 cell-archive files at full size: 165 x 164 landblocks of 22 files on
  // average, the rectangle shrinking with the square root of the scale and always holding
  // the dense landblock.
  const double side = std::sqrt(f);
  const auto width = static_cast<std::uint32_t>(std::lround(165 * side));
  const auto height = static_cast<std::uint32_t>(std::lround(164 * side));
  const auto place = [](std::uint32_t centre, std::uint32_t extent) {
    const std::uint32_t lo = centre > extent / 2 ? centre - extent / 2 : 0;
    return std::min(lo, 256 - extent);
  };
  plan.x0 = place(kDenseLandblock >> 8, width);
  plan.x1 = plan.x0 + width - 1;
  plan.y0 = place(kDenseLandblock & 0xFF, height);
  plan.y1 = plan.y0 + height - 1;

  // The dense landblock's distinct surfaces: a partial shuffle of all surface numbers.
  Prng rng = Prng::derive(seed, stream_id(kPlanStream, 0));
  const std::uint32_t dense = std::min(scaled(300, f), plan.surfaces);
  std::vector<std::uint16_t> all(plan.surfaces);
  std::iota(all.begin(), all.end(), std::uint16_t{1});
  for (std::uint32_t k = 0; k < dense; ++k) std::swap(all[k], all[k + rng.below(plan.surfaces - k)]);
  plan.dense_surfaces.assign(all.begin(), all.begin() + dense);
  return plan;
}

TexturePlan texture_plan(const WorldPlan& plan, std::uint32_t index) {
  Prng rng = Prng::derive(plan.seed, stream_id(kTextureStream, index));
  TexturePlan tp;
  tp.recipe.material = materials()[rng.below(static_cast<std::uint32_t>(materials().size()))];
  tp.recipe.seed = rng.next();
  const std::uint32_t roll = rng.below(100);
  static constexpr TexKind kRaw[] = {TexKind::R8G8B8, TexKind::A8R8G8B8, TexKind::B8G8R8,
                                     TexKind::A8, TexKind::L8};
  std::uint32_t side = 256;
  if (roll < 45) tp.recipe.kind = TexKind::Dxt1;
  else if (roll < 75) tp.recipe.kind = TexKind::Dxt5;
  else if (roll < 80) tp.recipe.kind = TexKind::Dxt3;
  else if (roll < 84) { tp.recipe.kind = TexKind::Dxt1; side = 512; }
  else if (roll < 87) { tp.recipe.kind = TexKind::Dxt5; side = 512; }
  else if (roll < 88) { tp.recipe.kind = TexKind::Dxt3; side = 512; }
  else if (roll < 95) tp.recipe.kind = kRaw[rng.below(5)];
  else if (roll < 98) tp.recipe.kind = TexKind::P8;
  else tp.recipe.kind = TexKind::Index16;
  tp.recipe.width = side;
  tp.recipe.height = side;
  if (tp.recipe.kind == TexKind::P8) tp.palette_id = ids::palette(rng.between(1, plan.p8_palettes));
  if (tp.recipe.kind == TexKind::Index16)
    tp.palette_id = ids::palette(rng.between(plan.p8_palettes + 1, plan.palettes));
  return tp;
}

std::vector<writer::ArchiveFile> portal_files(const WorldPlan& plan) {
  std::vector<writer::ArchiveFile> files;
  files.reserve(std::size_t{plan.meshes} + plan.setups + plan.surfaces + plan.texture_lists +
                plan.textures + plan.palettes);
  for (std::uint32_t i = 1; i <= plan.meshes; ++i) files.push_back(mesh_file(plan, i));
  for (std::uint32_t i = 1; i <= plan.setups; ++i) files.push_back(setup_file(plan, i));
  for (std::uint32_t i = 1; i <= plan.palettes; ++i) files.push_back(palette_file(plan, i));
  for (std::uint32_t i = 1; i <= plan.texture_lists; ++i) files.push_back(list_file(plan, i));
  for (std::uint32_t i = 1; i <= plan.textures; ++i) files.push_back(texture_file(plan, i));
  for (std::uint32_t i = 1; i <= plan.surfaces; ++i) files.push_back(surface_file(plan, i));
  return files;
}

std::vector<writer::ArchiveFile> cell_files(const WorldPlan& plan) {
  std::vector<writer::ArchiveFile> files;
  files.reserve(std::size_t{plan.x1 - plan.x0 + 1} * (plan.y1 - plan.y0 + 1) * 23);
  for (std::uint32_t x = plan.x0; x <= plan.x1; ++x)
    for (std::uint32_t y = plan.y0; y <= plan.y1; ++y)
      add_landblock(plan, static_cast<std::uint16_t>((x << 8) | y), files);
  return files;
}

std::vector<writer::ArchiveFile> chain_files() {
  std::vector<writer::ArchiveFile> files;
  for (std::uint32_t i = 1; i <= 4; ++i) {
    Prng rng = Prng::derive(kWorldSeed, stream_id(kChainStream, i));
    std::vector<std::uint8_t> data(std::size_t{1} << 20);
    for (std::size_t k = 0; k < data.size(); k += 8) {
      const std::uint64_t r = rng.next();
      std::memcpy(&data[k], &r, 8);
    }
    files.push_back({i, std::move(data), false, 0});
  }
  return files;
}

}  // namespace bench
