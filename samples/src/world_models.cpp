#include <cmath>
#include <utility>

#include "world.hpp"
#include "writer/bsp_tree.hpp"
#include "writer/cell_records.hpp"
#include "writer/graphics_records.hpp"
#include "writer/model_records.hpp"

namespace sample {

namespace {

constexpr std::uint32_t S(std::uint32_t low) { return 0x08000000u | low; }
constexpr std::uint32_t cell_id(std::uint16_t landblock, std::uint16_t number) {
  return (std::uint32_t{landblock} << 16) | number;
}

// ---- Meshes -------------------------------------------------------------------------------
//
// Every mesh is a row of upright unit panels along x, panel k drawn with surface k. Its BSP
// trees really partition it: each internal node splits the panels at the plane x = m, the
// panels at or beyond m on the positive side; every leaf holds one panel.

struct MeshDef {
  std::uint32_t id;
  std::vector<std::uint32_t> surfaces;  // low halves of surface ids
};

common::Sphere bounds(std::size_t lo, std::size_t hi) {
  const double half = static_cast<double>(hi - lo) / 2.0;
  return {{static_cast<float>(lo + half), 0.0f, 0.5f},
          static_cast<float>(std::sqrt(half * half + 0.25))};
}

dat::BspNode panel_tree(std::size_t lo, std::size_t hi, dat::BspTreeKind kind) {
  const auto first = static_cast<std::uint16_t>(lo);
  if (hi - lo == 1) {
    dat::BspNode node = writer::bsp::leaf(static_cast<std::uint32_t>(lo), 1, {first});
    std::get<dat::BspLeaf>(node.value).sphere = bounds(lo, hi);
    return node;
  }
  const std::size_t mid = (lo + hi) / 2;
  std::vector<std::uint16_t> on_node;
  if (kind == dat::BspTreeKind::Drawing) on_node.push_back(static_cast<std::uint16_t>(mid));
  dat::BspNode node = writer::bsp::internal(dat::bsp_code::BPnN, panel_tree(mid, hi, kind),
                                            panel_tree(lo, mid, kind), std::move(on_node));
  auto& internal = std::get<dat::InternalNode>(node.value);
  internal.plane = {{1.0f, 0.0f, 0.0f}, -static_cast<float>(mid)};
  internal.sphere = bounds(lo, hi);
  return node;
}

writer::GfxObjDesc panel_mesh(const MeshDef& def) {
  const std::size_t n = def.surfaces.size();
  writer::GfxObjDesc mesh;
  mesh.id = def.id;
  mesh.flags = 0x3;
  for (const std::uint32_t s : def.surfaces) mesh.surfaces.push_back(S(s));
  mesh.vertex_array.vertex_type = 1;
  const common::Vector3 facing{0.0f, -1.0f, 0.0f};
  for (std::size_t i = 0; i <= n; ++i) {
    const auto x = static_cast<float>(i);
    mesh.vertex_array.vertices.emplace_back(
        static_cast<std::uint16_t>(i), writer::make_vertex({x, 0.0f, 0.0f}, facing, {{x, 1.0f}}));
    mesh.vertex_array.vertices.emplace_back(
        static_cast<std::uint16_t>(n + 1 + i),
        writer::make_vertex({x, 0.0f, 1.0f}, facing, {{x, 0.0f}}));
  }
  for (std::size_t k = 0; k < n; ++k) {
    const auto b = static_cast<std::uint16_t>(k);
    const auto t = static_cast<std::uint16_t>(n + 1 + k);
    const dat::Polygon quad = writer::make_polygon(
        {b, static_cast<std::uint16_t>(b + 1), static_cast<std::uint16_t>(t + 1), t},
        static_cast<std::uint16_t>(k));
    mesh.physics_polygons.emplace_back(static_cast<std::uint16_t>(k), quad);
    mesh.drawing_polygons.emplace_back(static_cast<std::uint16_t>(k), quad);
  }
  mesh.physics_bsp = panel_tree(0, n, dat::BspTreeKind::Physics);
  mesh.drawing_bsp = panel_tree(0, n, dat::BspTreeKind::Drawing);
  mesh.reference_point = {static_cast<float>(n) / 2.0f, 0.0f, 0.5f};
  return mesh;
}

const std::vector<MeshDef>& meshes() {
  static const std::vector<MeshDef> defs = {
      {0x01000001, {0x162, 0x161}},                       // oak trunk
      {0x01000002, {0x131, 0x133, 0x120}},                // oak canopy
      {0x01000003, {0x1A1, 0x1A0}},                       // lava pool rim
      {0x01000004, {0x100, 0x101, 0x102, 0x103}},         // lava pool surface
      {0x01000005, {0x192, 0x110, 0x111, 0x160}},         // well
      {0x01000006, {0x112, 0x113, 0x121, 0x122}},         // pond
      {0x01000007, {0x130, 0x132, 0x134, 0x202}},         // meadow patch
      {0x01000008, {0x140, 0x141, 0x142, 0x143, 0x203}},  // snow drift
      {0x01000009, {0x150, 0x151, 0x152, 0x153, 0x204}},  // dune
      {0x0100000A, {0x170, 0x171, 0x172, 0x206}},         // cart track
      {0x0100000B, {0x191, 0x190, 0x193}},                // house walls
      {0x0100000C, {0x1B1, 0x163}},                       // house roof
      {0x0100000D, {0x160, 0x181}},                       // house door
      {0x0100000E, {0x180, 0x182, 0x183, 0x200}},         // forge body
      {0x0100000F, {0x181, 0x207}},                       // anvil
      {0x01000010, {0x1B0, 0x209}},                       // rug
      {0x01000011, {0x1B2, 0x114, 0x201}},                // fountain basin
      {0x01000012, {0x1B3}},                              // window
      {0x01000013, {0x1A2, 0x1A3, 0x300, 0x301}},         // broken statue
      {0x01000014, {0x205, 0x302, 0x303}},                // crate
      {0x01000020, {0x400}},                              // the neighbour's hedge
  };
  return defs;
}

// ---- Setups ---------------------------------------------------------------------------------

struct SetupDef {
  std::uint32_t id;
  std::vector<std::uint32_t> parts;
  bool light = false;  // a light source (the forge's fire)
};

const std::vector<SetupDef>& setups() {
  static const std::vector<SetupDef> defs = {
      {0x02000001, {0x01000001, 0x01000002}},                          // oak tree
      {0x02000002, {0x01000003, 0x01000004}},                          // lava pool
      {0x02000003, {0x0100000B, 0x0100000C, 0x0100000D, 0x01000012}},  // house
      {0x02000004, {0x0100000E, 0x0100000F}, true},                    // forge
      {0x02000005, {0x01000013}},                                      // statue
      {0x02000006, {0x01000011}},                                      // fountain
      {0x02000007, {0x01000010, 0x01000014, 0x01000014}},              // rug with two crates
  };
  return defs;
}

const dat::Frame kIdentity = writer::frame_at(0, 0, 0);

dat::Frame turned(float x, float y, float z, float w, float qz) {
  dat::Frame f = writer::frame_at(x, y, z);
  f.orientation = {w, 0.0f, 0.0f, qz};
  return f;
}

writer::SetupModelDesc setup_model(const SetupDef& def) {
  writer::SetupModelDesc setup = writer::simple_setup(def.id, def.parts);
  const std::size_t n = def.parts.size();
  // Parts hang from the first one; each sits a little higher than the one before.
  setup.flags = 0x1 | 0x2;
  for (std::size_t i = 0; i < n; ++i) {
    setup.parent_indices.push_back(i == 0 ? 0xFFFFFFFFu : 0u);
    setup.part_scales.push_back({1.0f, 1.0f, 1.0f});
  }
  // A second placement, "resting", whose frames are raised and which carries two hooks.
  dat::PlacementType resting;
  for (std::size_t i = 0; i < n; ++i)
    resting.frames.push_back(writer::frame_at(static_cast<float>(i), 0.0f, 0.25f));
  resting.hooks.push_back(writer::make_hook(1, 0));
  resting.hooks.push_back(writer::make_type5_hook(0, 3, 0x8001, 0x0002));
  setup.placements.emplace_back(0x65, std::move(resting));
  setup.location_map_1.emplace_back(0, dat::LocationType{0, kIdentity});
  setup.cyl_spheres.push_back(dat::CylSphere{{0.0f, 0.0f, 0.0f}, 1.0f, 2.0f});
  setup.spheres.push_back(
      {{static_cast<float>(n) / 2.0f, 0.0f, 0.5f}, static_cast<float>(n) / 2.0f + 0.5f});
  setup.sphere_1 = {{0.0f, 0.0f, 1.0f}, 2.0f};
  setup.sphere_2 = {{0.0f, 0.0f, 1.0f}, 2.5f};
  if (def.light) {
    dat::LightInfo fire;
    fire.viewer_space_location = writer::frame_at(0.5f, 0.0f, 0.8f);
    fire.color = 0xFFFF8030;
    fire.intensity = 0x40000000;  // 2.0f
    fire.falloff = 0x40A00000;    // 5.0f
    fire.cone_angle = 0;
    setup.lights.emplace_back(0, fire);
  }
  setup.optional_ids = {0x09000001, 0, 0x20000001, 0, 0x34000004};
  return setup;
}

// ---- Landblocks and cells ---------------------------------------------------------------------

struct CellDef {
  std::uint16_t number;
  std::vector<std::uint16_t> surfaces;  // low halves of surface ids
  std::vector<std::uint32_t> stabs;     // models placed inside
  std::vector<std::uint16_t> neighbours;
  bool compress;
};

dat::EnvCell env_cell(std::uint16_t landblock, const CellDef& def) {
  dat::EnvCell cell;
  cell.id = cell_id(landblock, def.number);
  cell.flags = (def.stabs.empty() ? 0u : 0x2u) | 0x8u;
  cell.aux_word = 0x0D0000CA;  // the environment the cell's shape comes from
  cell.surfaces = def.surfaces;
  cell.aux_a = 0x0001;
  cell.aux_b = 0x0000;
  cell.position = writer::frame_at(84.0f, 96.0f + 4.0f * (def.number & 0xF), 12.0f);
  std::uint16_t polygon = 0;
  for (const std::uint16_t other : def.neighbours)
    cell.portals.push_back(dat::CellPortal{0x0002, polygon++, other, 0});
  cell.aux_values = def.neighbours;
  float x = 0.5f;
  for (const std::uint32_t model : def.stabs) {
    cell.stabs.push_back(dat::env_cell::Stab{model, writer::frame_at(x, 0.5f, 0.0f)});
    x += 1.5f;
  }
  cell.trailer = 0;
  return cell;
}

const std::vector<CellDef>& landblock_cells() {
  static const std::vector<CellDef> defs = {
      {0x0100, {0x0190, 0x0208, 0x0163}, {0x02000006, 0x0100000F}, {0x0101, 0x0103}, true},
      {0x0101, {0x020A, 0x0160, 0x0193}, {0x02000007}, {0x0100}, false},
      {0x0102, {0x0183, 0x0200, 0x0192}, {0x01000014}, {}, true},
      {0x0103, {0x0193, 0x0192, 0x0208}, {}, {0x0100}, false},
  };
  return defs;
}

dat::Stab stab(std::uint32_t model, dat::Frame frame) { return dat::Stab{model, frame}; }

writer::LandblockInfoDesc landblock_info() {
  writer::LandblockInfoDesc info;
  info.id = cell_id(kLandblock, 0xFFFE);
  info.num_cells = static_cast<std::uint32_t>(landblock_cells().size());
  info.objects = {
      stab(0x02000001, turned(20.0f, 30.0f, 0.0f, 1.0f, 0.0f)),                // oak tree
      stab(0x02000001, turned(140.0f, 36.0f, 0.0f, 0.7071068f, 0.7071068f)),   // another oak
      stab(0x02000002, writer::frame_at(160.0f, 150.0f, -0.5f)),               // lava pool
      stab(0x01000005, writer::frame_at(90.0f, 60.0f, 0.0f)),                  // well
      stab(0x01000006, writer::frame_at(40.0f, 120.0f, -0.2f)),                // pond
      stab(0x01000007, writer::frame_at(60.0f, 20.0f, 0.0f)),                  // meadow
      stab(0x01000008, writer::frame_at(10.0f, 180.0f, 2.0f)),                 // snow drift
      stab(0x01000009, writer::frame_at(180.0f, 10.0f, 0.0f)),                 // dune
      stab(0x0100000A, turned(100.0f, 100.0f, 0.0f, 0.9238795f, 0.3826834f)),  // cart track
      stab(0x02000005, writer::frame_at(120.0f, 80.0f, 0.0f)),                 // statue
  };
  info.pack_mask = 0x1;

  dat::BuildInfo house;
  house.model_id = 0x02000003;
  house.frame = writer::frame_at(84.0f, 96.0f, 12.0f);
  house.num_leaves = 3;
  house.portals = {
      dat::PortalInternal{0x0001, 0x0100, 0, {0, 1}},
      dat::PortalInternal{0x0001, 0x0101, 1, {2}},
      dat::PortalInternal{0x0000, 0x0103, 0, {}},
  };
  dat::BuildInfo forge;
  forge.model_id = 0x02000004;
  forge.frame = turned(130.0f, 110.0f, 12.0f, 0.7071068f, -0.7071068f);
  forge.num_leaves = 1;
  forge.portals = {dat::PortalInternal{0x0001, 0x0102, 0, {0}}};
  info.buildings = {house, forge};

  info.restriction_table.bucket_size = 8;
  info.restriction_table.pairs = {{cell_id(kLandblock, 0x0100), 0x7D000001},
                                  {cell_id(kLandblock, 0x0101), 0x7D000001}};
  return info;
}

writer::LandblockInfoDesc neighbour_info() {
  writer::LandblockInfoDesc info;
  info.id = cell_id(kNeighbour, 0xFFFE);
  info.num_cells = 1;
  info.objects = {stab(0x01000020, writer::frame_at(12.0f, 12.0f, 0.0f))};
  return info;
}

// The terrain record that sits beside the landblock record: 9 × 9 heights and terrain codes.
// It is not a cell and nothing in the audit reads it.
std::vector<std::uint8_t> terrain(std::uint16_t landblock) {
  writer::ByteWriter w;
  w.u32(cell_id(landblock, 0xFFFF)).u32(0);
  for (int i = 0; i < 81; ++i) w.u16(static_cast<std::uint16_t>(0x0010 + (i % 9)));
  for (int i = 0; i < 81; ++i) w.u8(static_cast<std::uint8_t>(40 + (i / 9) + (i % 9)));
  return w.take();
}

// Follows the models as defined here: the surfaces a placed model id brings.
std::vector<std::uint32_t> surfaces_of_model(std::uint32_t model) {
  std::vector<std::uint32_t> out;
  auto mesh_surfaces = [&out](std::uint32_t mesh_id) {
    for (const MeshDef& m : meshes())
      if (m.id == mesh_id)
        for (const std::uint32_t s : m.surfaces) out.push_back(S(s));
  };
  if ((model >> 24) == 0x01) mesh_surfaces(model);
  for (const SetupDef& s : setups())
    if (s.id == model)
      for (const std::uint32_t part : s.parts) mesh_surfaces(part);
  return out;
}

}  // namespace

void add_models_and_landblocks(SampleWorld& world) {
  for (const MeshDef& def : meshes()) {
    world.portal_files.push_back(
        writer::ArchiveFile{def.id, writer::encode_gfx_obj(panel_mesh(def)), def.id % 3 == 0, 0});
  }
  for (const SetupDef& def : setups()) {
    world.portal_files.push_back(writer::ArchiveFile{
        def.id, writer::encode_setup_model(setup_model(def)), def.id % 2 == 1, 0});
  }

  const writer::LandblockInfoDesc info = landblock_info();
  world.cell_files.push_back(
      writer::ArchiveFile{info.id, writer::encode_landblock_info(info), true, 0});
  world.cell_files.push_back(
      writer::ArchiveFile{cell_id(kLandblock, 0xFFFF), terrain(kLandblock), false, 0});
  for (const CellDef& def : landblock_cells()) {
    world.cell_files.push_back(
        writer::ArchiveFile{cell_id(kLandblock, def.number),
                            writer::encode_env_cell(env_cell(kLandblock, def)), def.compress, 0});
  }
  const writer::LandblockInfoDesc next = neighbour_info();
  world.cell_files.push_back(
      writer::ArchiveFile{next.id, writer::encode_landblock_info(next), false, 0});
  const CellDef neighbour_cell{0x0100, {0x0400}, {}, {}, false};
  world.cell_files.push_back(
      writer::ArchiveFile{cell_id(kNeighbour, 0x0100),
                          writer::encode_env_cell(env_cell(kNeighbour, neighbour_cell)), false, 0});

  auto insert_all = [](std::set<std::uint32_t>& into, const std::vector<std::uint32_t>& ids) {
    into.insert(ids.begin(), ids.end());
  };
  for (const dat::Stab& object : info.objects)
    insert_all(world.on_landblock, surfaces_of_model(object.id));
  for (const dat::BuildInfo& building : info.buildings)
    insert_all(world.on_landblock, surfaces_of_model(building.model_id));
  for (const CellDef& def : landblock_cells()) {
    for (const std::uint16_t s : def.surfaces) world.on_landblock.insert(S(s));
    for (const std::uint32_t model : def.stabs)
      insert_all(world.on_landblock, surfaces_of_model(model));
  }
  for (const dat::Stab& object : next.objects)
    insert_all(world.on_neighbour, surfaces_of_model(object.id));
  for (const std::uint16_t s : neighbour_cell.surfaces) world.on_neighbour.insert(S(s));
}

SampleWorld build_world() {
  SampleWorld world;
  // Different block sizes on purpose: the portal archive with the usual 1024, the cell
  // archive with small 256-byte blocks, so chains of many blocks are common in both.
  world.portal_options.block_size = 1024;
  world.portal_options.dataset = 1;
  world.cell_options.block_size = 256;
  world.cell_options.dataset = 2;
  add_surfaces(world);
  add_models_and_landblocks(world);
  return world;
}

}  // namespace sample
