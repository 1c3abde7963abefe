#pragma once
// Encoders of the cell archive's records: the landblock record and the interior cell.
// Like every encoder here they produce well-formed records (see graphics_records.hpp).

#include <cstdint>
#include <utility>
#include <vector>

#include "dat/file_type/env_cell.hpp"
#include "dat/landblock.hpp"
#include "writer/byte_writer.hpp"

namespace writer {

struct RestrictionTableDesc {
  std::uint16_t bucket_size = 0;
  // Written in this order; a repeated key is written again (the reader keeps the last).
  std::vector<std::pair<std::uint32_t, std::uint32_t>> pairs;
};

struct LandblockInfoDesc {
  std::uint32_t id = 0;
  std::uint32_t num_cells = 0;
  std::vector<dat::Stab> objects;
  std::uint16_t pack_mask = 0;
  std::vector<dat::BuildInfo> buildings;
  RestrictionTableDesc restriction_table;  // written when pack_mask bit 0 is set
};

void write_stab(ByteWriter& w, const dat::Stab& stab);
// Adds the 2 padding bytes after an odd number of stabs.
void write_portal_internal(ByteWriter& w, const dat::PortalInternal& portal);
void write_build_info(ByteWriter& w, const dat::BuildInfo& building);
void write_restriction_table(ByteWriter& w, const RestrictionTableDesc& table);
std::vector<std::uint8_t> encode_landblock_info(const LandblockInfoDesc& info);

void write_cell_portal(ByteWriter& w, const dat::CellPortal& portal);
void write_env_cell_stab(ByteWriter& w, const dat::env_cell::Stab& stab);
// Counts come from the lists (surfaces and portals cut to 255, aux_values to 65,535);
// stabs are written when flags bit 1 is set, the trailer (0 when absent) when bit 3 is.
std::vector<std::uint8_t> encode_env_cell(const dat::EnvCell& cell);

}  // namespace writer
