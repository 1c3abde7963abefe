#include "writer/cell_records.hpp"

#include <algorithm>

#include "writer/graphics_records.hpp"

// g++ 12 reports a false -Wstringop-overflow when the first write into a fresh ByteWriter
// is inlined here; the writes are plain vector appends.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wstringop-overflow"

namespace writer {

void write_stab(ByteWriter& w, const dat::Stab& stab) {
  w.u32(stab.id);
  write_frame(w, stab.frame);
}

void write_portal_internal(ByteWriter& w, const dat::PortalInternal& portal) {
  const std::size_t n = std::min<std::size_t>(portal.stab_list.size(), 0xFFFF);
  w.u16(portal.flags).u16(portal.other_cell_id).u16(portal.other_portal_id);
  w.u16(static_cast<std::uint16_t>(n));
  for (std::size_t i = 0; i < n; ++i) w.u16(portal.stab_list[i]);
  if (n % 2 != 0) w.zeros(2);
}

void write_build_info(ByteWriter& w, const dat::BuildInfo& building) {
  w.u32(building.model_id);
  write_frame(w, building.frame);
  w.u32(building.num_leaves).u32(static_cast<std::uint32_t>(building.portals.size()));
  for (const auto& portal : building.portals) write_portal_internal(w, portal);
}

void write_restriction_table(ByteWriter& w, const RestrictionTableDesc& table) {
  const std::size_t n = std::min<std::size_t>(table.pairs.size(), 0xFFFF);
  w.u16(static_cast<std::uint16_t>(n)).u16(table.bucket_size);
  for (std::size_t i = 0; i < n; ++i) w.u32(table.pairs[i].first).u32(table.pairs[i].second);
}

std::vector<std::uint8_t> encode_landblock_info(const LandblockInfoDesc& info) {
  ByteWriter w;
  w.u32(info.id).u32(info.num_cells).u32(static_cast<std::uint32_t>(info.objects.size()));
  for (const auto& stab : info.objects) write_stab(w, stab);
  const std::size_t buildings = std::min<std::size_t>(info.buildings.size(), 0xFFFF);
  w.u16(static_cast<std::uint16_t>(buildings)).u16(info.pack_mask);
  for (std::size_t i = 0; i < buildings; ++i) write_build_info(w, info.buildings[i]);
  if (info.pack_mask & 1) write_restriction_table(w, info.restriction_table);
  return w.take();
}

void write_cell_portal(ByteWriter& w, const dat::CellPortal& portal) {
  w.u16(portal.flags).u16(portal.polygon_id).u16(portal.other_cell_id).u16(portal.other_portal_id);
}

void write_env_cell_stab(ByteWriter& w, const dat::env_cell::Stab& stab) {
  w.u32(stab.stab_id);
  write_frame(w, stab.position);
}

std::vector<std::uint8_t> encode_env_cell(const dat::EnvCell& cell) {
  const std::size_t surfaces = std::min<std::size_t>(cell.surfaces.size(), 0xFF);
  const std::size_t portals = std::min<std::size_t>(cell.portals.size(), 0xFF);
  const std::size_t aux_values = std::min<std::size_t>(cell.aux_values.size(), 0xFFFF);
  ByteWriter w;
  w.u32(cell.id).u32(cell.flags).u32(cell.aux_word);
  w.u8(static_cast<std::uint8_t>(surfaces)).u8(static_cast<std::uint8_t>(portals));
  w.u16(static_cast<std::uint16_t>(aux_values));
  for (std::size_t i = 0; i < surfaces; ++i) w.u16(cell.surfaces[i]);
  w.u16(cell.aux_a).u16(cell.aux_b);
  write_frame(w, cell.position);
  for (std::size_t i = 0; i < portals; ++i) write_cell_portal(w, cell.portals[i]);
  for (std::size_t i = 0; i < aux_values; ++i) w.u16(cell.aux_values[i]);
  if (cell.flags & 2) {
    w.u32(static_cast<std::uint32_t>(cell.stabs.size()));
    for (const auto& stab : cell.stabs) write_env_cell_stab(w, stab);
  }
  if (cell.flags & 8) w.u32(cell.trailer.value_or(0));
  return w.take();
}

}  // namespace writer

#pragma GCC diagnostic pop
