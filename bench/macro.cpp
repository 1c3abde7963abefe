#include "macro.hpp"

#include <fmt/format.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <stdexcept>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "audit_document.hpp"
#include "contact_sheet.hpp"
#include "dat/database.hpp"
#include "discovery.hpp"
#include "file_output.hpp"
#include "floors.hpp"
#include "surface_audit.hpp"

namespace bench {

namespace {

using Clock = std::chrono::steady_clock;

double ms_since(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

struct Spawned {
  double wall_ms = 0;
  long max_rss_kib = 0;
  int status = -1;
};

// Runs the binary with standard output to /dev/null and standard error to `err`.
Spawned spawn(const std::filesystem::path& tool, const std::vector<std::string>& args,
              const std::filesystem::path& err) {
  std::vector<char*> argv;
  std::string program = tool.string();
  argv.push_back(program.data());
  std::vector<std::string> copy = args;
  for (auto& a : copy) argv.push_back(a.data());
  argv.push_back(nullptr);

  Spawned result;
  const auto start = Clock::now();
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int null = ::open("/dev/null", O_WRONLY);
    const int e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (null < 0 || e < 0) ::_exit(127);
    ::dup2(null, 1);
    ::dup2(e, 2);
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
  }
  if (pid < 0) throw std::runtime_error("fork failed");
  int status = 0;
  rusage usage{};
  ::wait4(pid, &status, 0, &usage);
  result.wall_ms = ms_since(start);
  result.max_rss_kib = usage.ru_maxrss;
  result.status = status;
  return result;
}

// Standard error of the parts goes to /dev/null while they run, as the run's goes to a file.
class QuietStderr {
 public:
  QuietStderr() : saved_(::dup(2)) {
    std::fflush(stderr);
    const int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, 2);
    ::close(null);
  }
  ~QuietStderr() {
    std::fflush(stderr);
    ::dup2(saved_, 2);
    ::close(saved_);
  }
  QuietStderr(const QuietStderr&) = delete;
  QuietStderr& operator=(const QuietStderr&) = delete;

 private:
  int saved_;
};

dat::DatDatabase open_or_throw(const std::filesystem::path& path) {
  auto db = dat::DatDatabase::open(path);
  if (!db) throw std::runtime_error(fmt::format("cannot open {}: {}", path.string(), db.error().message()));
  return std::move(*db);
}

struct OpenSamples {
  std::vector<double> open, floor, walk, two;
};

void sample_open(const std::filesystem::path& path, OpenSamples& s, OpenFigures& f) {
  auto t = Clock::now();
  auto db = open_or_throw(path);
  s.open.push_back(ms_since(t));
  f.entries = db.files.size();
  { dat::DatDatabase released = std::move(db); }  // released outside the timing

  t = Clock::now();
  const WalkResult floor = floor_walk_absl(path, Gather::Library);
  s.floor.push_back(ms_since(t));
  t = Clock::now();
  const WalkResult walk = floor_walk(path, Gather::Library);
  s.walk.push_back(ms_since(t));
  t = Clock::now();
  const WalkResult two = floor_walk(path, Gather::TwoReads);
  s.two.push_back(ms_since(t));
  if (!floor.ok || !walk.ok || !two.ok) throw std::runtime_error("floor walk failed on " + path.string());
  f.library_reads = walk.reads;
  f.two_reads = two.reads;
}

void finish_open(const OpenSamples& s, OpenFigures& f) {
  f.open_ms = summarize(s.open);
  f.floor_ms = summarize(s.floor);
  f.walk_ms = summarize(s.walk);
  f.two_reads_ms = summarize(s.two);
}

}  // namespace

WorldFigures measure_world(const std::filesystem::path& world, const MacroOptions& options) {
  WorldFigures figures;
  figures.dir = world;
  const auto portal_path = world / "portal.dat";
  const auto cell_path = world / "cell.dat";
  const auto run_dir = world / "run";
  const auto parts_dir = world / "parts";
  std::filesystem::create_directories(run_dir);
  std::filesystem::create_directories(parts_dir);
  const std::string key = fmt::format("{:04X}", options.landblock);

  OpenSamples portal_samples, cell_samples;
  std::vector<double> wall, rss;
  std::map<std::string, std::vector<double>> parts;
  const std::vector<std::string> part_order = {"process start and exit", "open portal",
                                               "open cell",  "discover", "audit",
                                               "document",   "contact sheet", "release"};
  const std::vector<std::string> run_args = {
      "--portal-dat", portal_path.string(), "--cell-dat", cell_path.string(), "--landblock", key,
      "--out", (run_dir / "audit.json").string(), "--contact-sheet", (run_dir / "sheet.ppm").string()};

  // Every round measures each figure once, so slow spells of a shared machine touch all
  // figures alike.
  for (int round = 0; round < options.runs; ++round) {
    sample_open(portal_path, portal_samples, figures.portal);
    sample_open(cell_path, cell_samples, figures.cell);

    const Spawned whole = spawn(options.tool, run_args, run_dir / "stderr.txt");
    if (!WIFEXITED(whole.status) || WEXITSTATUS(whole.status) != 0)
      throw std::runtime_error("the run failed; see " + (run_dir / "stderr.txt").string());
    wall.push_back(whole.wall_ms);
    rss.push_back(static_cast<double>(whole.max_rss_kib) / 1024.0);

    const Spawned help = spawn(options.tool, {"--help"}, parts_dir / "help-stderr.txt");
    parts["process start and exit"].push_back(help.wall_ms);

    QuietStderr quiet;
    auto t = Clock::now();
    auto portal = std::make_unique<dat::DatDatabase>(open_or_throw(portal_path));
    parts["open portal"].push_back(ms_since(t));
    t = Clock::now();
    auto cell = std::make_unique<dat::DatDatabase>(open_or_throw(cell_path));
    parts["open cell"].push_back(ms_since(t));
    t = Clock::now();
    const tools::SurfaceIdSet ids = tools::discover_surfaces(*cell, *portal, options.landblock);
    parts["discover"].push_back(ms_since(t));
    t = Clock::now();
    auto audited = std::make_unique<tools::SurfaceAuditResult>(tools::audit_surfaces(*portal, ids));
    parts["audit"].push_back(ms_since(t));
    t = Clock::now();
    const tools::AuditDoc doc = tools::build_audit_doc(options.landblock, portal_path, cell_path,
                                                       audited->decoded, audited->counts);
    if (!tools::write_audit(doc, parts_dir / "audit.json")) throw std::runtime_error("write_audit failed");
    parts["document"].push_back(ms_since(t));
    t = Clock::now();
    tools::create_parent_directories(parts_dir / "sheet.ppm");
    if (!tools::write_contact_sheet(audited->decoded, parts_dir / "sheet.ppm", 64, 10))
      throw std::runtime_error("write_contact_sheet failed");
    parts["contact sheet"].push_back(ms_since(t));

    figures.run.map_payload =
        (portal->files.size() + cell->files.size()) * sizeof(std::pair<const std::uint32_t, dat::DatFileEntry>);
    figures.run.image_bytes = 0;
    for (const auto& d : audited->decoded) figures.run.image_bytes += d.rgba.size();
    figures.run.surfaces = audited->decoded.size();

    t = Clock::now();
    audited.reset();
    cell.reset();
    portal.reset();
    parts["release"].push_back(ms_since(t));
  }

  finish_open(portal_samples, figures.portal);
  finish_open(cell_samples, figures.cell);
  figures.run.wall_ms = summarize(wall);
  figures.run.rss_mib = summarize(rss);
  for (const auto& name : part_order) {
    const Summary s = summarize(parts[name]);
    figures.run.parts_ms.emplace_back(name, s);
    figures.run.parts_sum_ms += s.median;
  }
  figures.run.audit_ms = summarize(parts["audit"]);
  return figures;
}

}  // namespace bench
