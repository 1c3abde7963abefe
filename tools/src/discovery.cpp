#include "discovery.hpp"

#include <fmt/format.h>

#include <cstdio>

#include "dat/file_type/env_cell.hpp"
#include "dat/file_type/gfx_obj.hpp"
#include "dat/file_type/setup_model.hpp"
#include "dat/landblock.hpp"

namespace tools {

namespace {

constexpr std::uint32_t kGfxObjKind = 0x01;
constexpr std::uint32_t kSetupKind = 0x02;
constexpr std::uint32_t kSurfacePrefix = 0x08000000;

void add_all(SurfaceIdSet& set, const std::vector<std::uint32_t>& ids) {
  set.insert(ids.begin(), ids.end());
}

}  // namespace

std::vector<std::uint32_t> surfaces_for_gfx(const dat::DatDatabase& portal, std::uint32_t gfx_id) {
  auto bytes = portal.get_file(gfx_id);
  if (!bytes) return {};
  dat::RecordCursor cur(*bytes);
  auto mesh = dat::GfxObj::unpack(cur);
  if (!mesh) return {};
  return std::move(mesh->surfaces);
}

std::vector<std::uint32_t> surfaces_for_setup_or_gfx(const dat::DatDatabase& portal,
                                                     std::uint32_t model_id) {
  const std::uint32_t kind = model_id >> 24;
  if (kind == kGfxObjKind) return surfaces_for_gfx(portal, model_id);
  if (kind != kSetupKind) return {};

  auto bytes = portal.get_file(model_id);
  if (!bytes) return {};
  dat::RecordCursor cur(*bytes);
  auto setup = dat::SetupModel::unpack(cur);
  if (!setup) return {};
  std::vector<std::uint32_t> out;
  for (const std::uint32_t part : setup->parts) {
    const auto part_surfaces = surfaces_for_gfx(portal, part);
    out.insert(out.end(), part_surfaces.begin(), part_surfaces.end());
  }
  return out;
}

SurfaceIdSet discover_surfaces(const dat::DatDatabase& cell, const dat::DatDatabase& portal,
                               std::uint16_t key) {
  SurfaceIdSet set;
  const std::uint32_t base = std::uint32_t{key} << 16;

  if (auto bytes = cell.get_file(base + 0xFFFE)) {
    if (auto info = dat::LandblockInfo::unpack(*bytes)) {
      for (const auto& object : info->objects)
        add_all(set, surfaces_for_setup_or_gfx(portal, object.id));
      for (const auto& building : info->buildings)
        add_all(set, surfaces_for_setup_or_gfx(portal, building.model_id));
    }
  }

  const std::uint32_t low = base | 0x0001;
  const std::uint32_t high = base | 0xFFFD;
  std::vector<std::uint32_t> cells;
  for (const auto& [id, entry] : cell.files)
    if (id >= low && id <= high) cells.push_back(id);

  for (const std::uint32_t id : cells) {
    auto bytes = cell.get_file(id);
    if (!bytes) continue;
    dat::RecordCursor cur(*bytes);
    auto env = dat::EnvCell::unpack(cur);
    if (!env) continue;
    for (const std::uint16_t s : env->surfaces) set.insert(kSurfacePrefix | s);
    for (const auto& stab : env->stabs) add_all(set, surfaces_for_setup_or_gfx(portal, stab.stab_id));
  }

  set.erase(0);
  fmt::print(stderr, "  found {} unique surface DIDs\n", set.size());
  return set;
}

}  // namespace tools
