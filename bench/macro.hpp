#pragma once
// Whole-archive and whole-run measurements: opening both archives beside their floors, and
// runs of the binary on the dense landblock beside the sum of their parts.

#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "summary.hpp"

namespace bench {

struct OpenFigures {
  std::uint64_t entries = 0;  // entries in the file map
  Summary open_ms;            // DatDatabase::open
  Summary floor_ms;           // bare walk with the library's reads + absl::flat_hash_map inserts
  Summary walk_ms;            // the bare walk alone, counting entries
  Summary two_reads_ms;       // the bare walk with two reads per block (link, then payload)
  std::uint64_t library_reads = 0;
  std::uint64_t two_reads = 0;
};

struct RunFigures {
  Summary wall_ms;   // fork + exec + wait of the whole run
  Summary rss_mib;   // peak resident set of the run (wait4's ru_maxrss)
  std::vector<std::pair<std::string, Summary>> parts_ms;  // in run order
  double parts_sum_ms = 0;       // sum of the parts' medians
  std::uint64_t map_payload = 0; // entries of both maps × sizeof(key, entry)
  std::uint64_t image_bytes = 0; // decoded images held for the sheet
  std::uint64_t surfaces = 0;    // decoded surfaces
  Summary audit_ms;              // the audit part alone, for scaling
};

struct WorldFigures {
  std::filesystem::path dir;
  OpenFigures portal, cell;
  RunFigures run;
};

struct MacroOptions {
  std::filesystem::path tool;  // the quorvane-tools binary
  int runs = 7;
  std::uint16_t landblock = 0xA9B4;
};

WorldFigures measure_world(const std::filesystem::path& world, const MacroOptions& options);

}  // namespace bench
