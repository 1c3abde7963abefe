#include "writer/model_records.hpp"

#include <algorithm>

#include "writer/bsp_tree.hpp"
#include "writer/graphics_records.hpp"

// g++ 12 reports a false -Wstringop-overflow when the first write into a fresh ByteWriter
// is inlined here; the writes are plain vector appends.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wstringop-overflow"

namespace writer {

namespace {

void write_polygon_map(ByteWriter& w, const Entries<std::uint16_t, dat::Polygon>& polygons) {
  w.compressed_u32(static_cast<std::uint32_t>(polygons.size()));
  for (const auto& [id, polygon] : polygons) {
    w.u16(id);
    write_polygon(w, polygon);
  }
}

void write_tree(ByteWriter& w, const std::optional<dat::BspNode>& tree, dat::BspTreeKind kind) {
  if (tree) {
    bsp::write_node(w, *tree, kind);
  } else {
    bsp::write_node(w, bsp::leaf(0), kind);
  }
}

}  // namespace

void write_vertex_array(ByteWriter& w, const CVertexArrayDesc& vertex_array) {
  w.u32(vertex_array.vertex_type).u32(static_cast<std::uint32_t>(vertex_array.vertices.size()));
  if (vertex_array.vertex_type != 1) return;
  for (const auto& [id, vertex] : vertex_array.vertices) {
    w.u16(id);
    write_sw_vertex(w, vertex);
  }
}

std::vector<std::uint8_t> encode_gfx_obj(const GfxObjDesc& mesh) {
  ByteWriter w;
  w.u32(mesh.id).u32(mesh.flags);
  w.compressed_u32(static_cast<std::uint32_t>(mesh.surfaces.size()));
  for (auto surface : mesh.surfaces) w.u32(surface);
  write_vertex_array(w, mesh.vertex_array);
  if (mesh.flags & 0x1) {
    write_polygon_map(w, mesh.physics_polygons);
    write_tree(w, mesh.physics_bsp, dat::BspTreeKind::Physics);
  }
  w.vector3(mesh.reference_point);
  if (mesh.flags & 0x2) {
    write_polygon_map(w, mesh.drawing_polygons);
    write_tree(w, mesh.drawing_bsp, dat::BspTreeKind::Drawing);
  }
  if (mesh.flags & 0x8) w.u32(mesh.linked_id);
  return w.take();
}

GfxObjDesc simple_mesh(std::uint32_t id, std::vector<std::uint32_t> surfaces) {
  GfxObjDesc mesh;
  mesh.id = id;
  mesh.flags = 0x3;
  const common::Vector3 up{0.0f, 0.0f, 1.0f};
  mesh.vertex_array.vertices = {
      {0, make_vertex({0.0f, 0.0f, 0.0f}, up, {{0.0f, 0.0f}})},
      {1, make_vertex({1.0f, 0.0f, 0.0f}, up, {{1.0f, 0.0f}})},
      {2, make_vertex({0.0f, 1.0f, 0.0f}, up, {{0.0f, 1.0f}})},
  };
  mesh.physics_polygons = {{0, make_polygon({0, 1, 2}, 0)}};
  mesh.physics_bsp = bsp::small_tree({0});
  std::vector<std::uint16_t> drawing_ids;
  for (std::size_t i = 0; i < surfaces.size(); ++i) {
    const auto polygon_id = static_cast<std::uint16_t>(i);
    mesh.drawing_polygons.emplace_back(polygon_id, make_polygon({0, 1, 2}, polygon_id));
    drawing_ids.push_back(polygon_id);
  }
  mesh.drawing_bsp = bsp::small_tree(std::move(drawing_ids));
  mesh.surfaces = std::move(surfaces);
  return mesh;
}

std::size_t fixed_hook_payload_size(std::uint32_t hook_type) {
  // clang-format off
  static constexpr std::array<std::uint8_t, 27> kSizes = {
      0, 4, 4, 28, 0, 0, 4, 16, 12, 16, 12, 16, 8, 40,
      4, 4, 4, 0,  4, 8, 12, 16, 12, 8, 12, 4, 40,
  };
  // clang-format on
  return hook_type < kSizes.size() ? kSizes[hook_type] : 0;
}

dat::AnimationHook make_hook(std::uint32_t hook_type, std::uint32_t hook_param) {
  if (hook_type == 5) return make_type5_hook(hook_param, 0, 0);
  dat::AnimationHook hook{hook_type, hook_param, {}};
  for (std::size_t i = 0; i < fixed_hook_payload_size(hook_type); ++i) {
    hook.payload.push_back(static_cast<std::uint8_t>(i + 1));
  }
  return hook;
}

dat::AnimationHook make_type5_hook(std::uint32_t hook_param, std::uint8_t first, std::uint16_t word,
                                   std::uint16_t second_word) {
  ByteWriter payload;
  payload.u8(first).u16(word);
  if (word & 0x8000) payload.u16(second_word);
  // The 8-byte head keeps the alignment, so the payload alone is padded to 4.
  payload.zeros((4 - payload.size() % 4) % 4);
  return dat::AnimationHook{5, hook_param, payload.take()};
}

void write_hook(ByteWriter& w, const dat::AnimationHook& hook) {
  w.u32(hook.hook_type).u32(hook.hook_param).bytes(hook.payload);
}

void write_placement(ByteWriter& w, const dat::PlacementType& placement, std::uint32_t num_parts) {
  for (std::uint32_t i = 0; i < num_parts; ++i) {
    write_frame(w, i < placement.frames.size() ? placement.frames[i] : frame_at(0, 0, 0));
  }
  w.u32(static_cast<std::uint32_t>(placement.hooks.size()));
  for (const auto& hook : placement.hooks) write_hook(w, hook);
}

void write_location(ByteWriter& w, const dat::LocationType& location) {
  w.u32(location.part_id);
  write_frame(w, location.frame);
}

void write_cyl_sphere(ByteWriter& w, const dat::CylSphere& cyl_sphere) {
  w.vector3(cyl_sphere.origin).f32(cyl_sphere.radius).f32(cyl_sphere.height);
}

void write_light(ByteWriter& w, const dat::LightInfo& light) {
  write_frame(w, light.viewer_space_location);
  w.u32(light.color).u32(light.intensity).u32(light.falloff).u32(light.cone_angle);
}

std::vector<std::uint8_t> encode_setup_model(const SetupModelDesc& setup) {
  const auto n = static_cast<std::uint32_t>(setup.parts.size());
  ByteWriter w;
  w.u32(setup.id).u32(setup.flags).u32(n);
  for (auto part : setup.parts) w.u32(part);
  if (setup.flags & 0x1) {
    for (std::uint32_t i = 0; i < n; ++i) {
      w.u32(i < setup.parent_indices.size() ? setup.parent_indices[i] : 0);
    }
  }
  if (setup.flags & 0x2) {
    for (std::uint32_t i = 0; i < n; ++i) {
      w.vector3(i < setup.part_scales.size() ? setup.part_scales[i] : common::Vector3{});
    }
  }
  for (const auto* map : {&setup.location_map_1, &setup.location_map_2}) {
    w.u32(static_cast<std::uint32_t>(map->size()));
    for (const auto& [key, location] : *map) {
      w.u32(key);
      write_location(w, location);
    }
  }
  w.i32(static_cast<std::int32_t>(std::min<std::size_t>(setup.placements.size(), 0x7FFFFFFF)));
  for (const auto& [key, placement] : setup.placements) {
    w.u32(key);
    write_placement(w, placement, n);
  }
  w.u32(static_cast<std::uint32_t>(setup.cyl_spheres.size()));
  for (const auto& c : setup.cyl_spheres) write_cyl_sphere(w, c);
  w.u32(static_cast<std::uint32_t>(setup.spheres.size()));
  for (const auto& s : setup.spheres) w.sphere(s);
  for (auto word : setup.scalars) w.u32(word);
  w.sphere(setup.sphere_1).sphere(setup.sphere_2);
  w.u32(static_cast<std::uint32_t>(setup.lights.size()));
  for (const auto& [key, light] : setup.lights) {
    w.u32(key);
    write_light(w, light);
  }
  for (auto id : setup.optional_ids) w.u32(id);
  return w.take();
}

SetupModelDesc simple_setup(std::uint32_t id, std::vector<std::uint32_t> parts) {
  SetupModelDesc setup;
  setup.id = id;
  dat::PlacementType placement;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    placement.frames.push_back(frame_at(static_cast<float>(i), 0.0f, 0.0f));
  }
  setup.placements.emplace_back(0, std::move(placement));
  setup.parts = std::move(parts);
  return setup;
}

}  // namespace writer

#pragma GCC diagnostic pop
