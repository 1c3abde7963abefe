#pragma once
// The micro-benchmarks (Google Benchmark) and their floors, run in this process.

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>

#include "summary.hpp"

namespace bench {

struct MicroOptions {
  int repetitions = 5;
  double min_time = 0.2;  // seconds per repetition
  std::filesystem::path portal;  // for read_file_data on the world's longest portal chain
  std::filesystem::path chains;  // chains.dat: 1 MiB files in 256-byte blocks
  std::string filter;            // a Google Benchmark filter; empty runs everything
};

struct MicroCase {
  Summary ns;              // CPU time per call, ns
  double work = 0;         // bytes out, pixels or blocks per call (see `work_unit`)
  std::string work_unit;   // "bytes", "pixels" or "blocks"
};

// Keyed by benchmark name: "decompress_dxt1", "squish_dxt1", "to_rgba8/P8", "memcpy_output",
// "compute_stats", "stats_floor", "decompress_lrs", "read_file_data/portal", ...
std::map<std::string, MicroCase> run_micro(const MicroOptions& options);

}  // namespace bench
