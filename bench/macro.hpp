#pragma once
// Whole-archive and whole-run measurements: opening both archives beside their floors, and
// runs of the binary on the dense landblock beside the sum of their parts. Every figure is
// taken in a fresh process, as a real run starts: on a virtual machine whose first touch of a
// page costs microseconds, warm memory in a long-lived process would flatter everything.

#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "summary.hpp"

namespace bench {

// What a fresh process measures (see Spawner::measure).
enum class Op : std::uint32_t { Parts, Open, FloorAbsl, FloorWalk, FloorTwoReads };

// The parts of a run, in run order.
enum Part { kOpenPortal, kOpenCell, kDiscover, kAudit, kDocument, kSheet, kRelease, kPartCount };

struct OpRequest {
  Op op = Op::Open;
  std::filesystem::path portal;  // the archive for Open and the floors
  std::filesystem::path cell;
  std::filesystem::path out_dir;
  std::uint16_t key = 0;
};

struct OpResult {  // sent through a pipe as bytes
  bool ok = false;
  double ms[kPartCount] = {};  // Parts: each part; otherwise ms[0]
  std::uint64_t entries = 0;   // Open and floors: entries; Parts: decoded surfaces
  std::uint64_t reads = 0;     // floors: positioned read calls
  std::uint64_t map_payload = 0, held_bytes = 0, decoded_image_bytes = 0;
};

// A child process forked while the driver is still small, from which every measured run and
// every fresh measuring process is started. exec keeps the highest resident size the process
// ever had, so a run forked from the grown driver would report the driver's memory as its own.
class Spawner {
 public:
  Spawner();
  ~Spawner();
  Spawner(const Spawner&) = delete;
  Spawner& operator=(const Spawner&) = delete;

  struct Result {
    double wall_ms = 0;
    long max_rss_kib = 0;
    int status = -1;
  };
  // Runs `tool` with `args`, standard output to /dev/null, standard error to `err`.
  Result run(const std::filesystem::path& tool, const std::vector<std::string>& args,
             const std::filesystem::path& err);
  // Forks a fresh process from the spawner that takes the measurement.
  OpResult measure(const OpRequest& request);

 private:
  int pid_ = -1, to_ = -1, from_ = -1;
};

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
  std::uint64_t image_bytes = 0; // pixels held for the sheet: tiles, or images where smaller
  std::uint64_t decoded_image_bytes = 0;  // the decoded images themselves, were they all held
  std::uint64_t surfaces = 0;    // decoded surfaces
  Summary audit_ms;              // the audit part alone, for scaling
};

struct WorldFigures {
  std::filesystem::path dir;
  OpenFigures portal, cell;
  RunFigures run;
};

struct MacroOptions {
  Spawner* spawner = nullptr;
  std::filesystem::path tool;  // the quorvane-tools binary
  int runs = 7;
  std::uint16_t landblock = 0xA9B4;
};

WorldFigures measure_world(const std::filesystem::path& world, const MacroOptions& options);

}  // namespace bench
