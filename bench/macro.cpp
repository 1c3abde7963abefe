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

constexpr std::uint32_t kTile = 64;  // the binary's default
constexpr std::uint32_t kMeasureRequest = 0xFFFFFFFF;

double ms_since(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

struct Spawned {
  double wall_ms = 0;
  long max_rss_kib = 0;
  int status = -1;
};

// Runs the binary with standard output to /dev/null and standard error to `err`.
Spawned spawn_here(const std::vector<std::string>& argv_text, const std::string& err) {
  std::vector<std::string> copy = argv_text;
  std::vector<char*> argv;
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
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  if (pid < 0) return result;
  int status = 0;
  rusage usage{};
  ::wait4(pid, &status, 0, &usage);
  result.wall_ms = ms_since(start);
  result.max_rss_kib = usage.ru_maxrss;
  result.status = status;
  return result;
}

bool write_all(int fd, const void* data, std::size_t size) {
  const auto* p = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t n = ::write(fd, p, size);
    if (n <= 0) return false;
    p += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

bool read_all(int fd, void* data, std::size_t size) {
  auto* p = static_cast<char*>(data);
  while (size > 0) {
    const ssize_t n = ::read(fd, p, size);
    if (n <= 0) return false;
    p += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

bool write_string(int fd, const std::string& s) {
  const std::uint32_t n = static_cast<std::uint32_t>(s.size());
  return write_all(fd, &n, 4) && write_all(fd, s.data(), s.size());
}

bool read_string(int fd, std::string& s) {
  std::uint32_t n = 0;
  if (!read_all(fd, &n, 4)) return false;
  s.resize(n);
  return read_all(fd, s.data(), n);
}

OpResult measure_here(const OpRequest& q);

}  // namespace

Spawner::Spawner() {
  int requests[2], replies[2];
  if (::pipe(requests) != 0 || ::pipe(replies) != 0) throw std::runtime_error("pipe failed");
  pid_ = ::fork();
  if (pid_ < 0) throw std::runtime_error("fork failed");
  if (pid_ == 0) {
    ::close(requests[1]);
    ::close(replies[0]);
    for (;;) {
      std::uint32_t count = 0;
      if (!read_all(requests[0], &count, 4)) ::_exit(0);
      if (count == kMeasureRequest) {
        OpRequest q;
        std::string portal, cell, out;
        std::uint32_t op = 0, key = 0;
        if (!read_all(requests[0], &op, 4) || !read_string(requests[0], portal) ||
            !read_string(requests[0], cell) || !read_string(requests[0], out) ||
            !read_all(requests[0], &key, 4))
          ::_exit(1);
        q.op = static_cast<Op>(op);
        q.portal = portal;
        q.cell = cell;
        q.out_dir = out;
        q.key = static_cast<std::uint16_t>(key);
        const pid_t child = ::fork();
        if (child == 0) {
          OpResult r;
          try {
            r = measure_here(q);
          } catch (...) {
            r.ok = false;
          }
          ::_exit(write_all(replies[1], &r, sizeof r) ? 0 : 1);
        }
        int status = 0;
        if (child > 0) ::waitpid(child, &status, 0);
        if (child < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
          const OpResult failed;
          if (!write_all(replies[1], &failed, sizeof failed)) ::_exit(1);
        }
        continue;
      }
      std::vector<std::string> argv(count);
      std::string err;
      for (auto& a : argv)
        if (!read_string(requests[0], a)) ::_exit(1);
      if (!read_string(requests[0], err)) ::_exit(1);
      const Spawned r = spawn_here(argv, err);
      if (!write_all(replies[1], &r, sizeof r)) ::_exit(1);
    }
  }
  ::close(requests[0]);
  ::close(replies[1]);
  to_ = requests[1];
  from_ = replies[0];
}

Spawner::~Spawner() {
  ::close(to_);
  ::close(from_);
  int status = 0;
  ::waitpid(pid_, &status, 0);
}

OpResult Spawner::measure(const OpRequest& q) {
  const std::uint32_t kind = kMeasureRequest;
  const auto op = static_cast<std::uint32_t>(q.op);
  const std::uint32_t key = q.key;
  const bool ok = write_all(to_, &kind, 4) && write_all(to_, &op, 4) &&
                  write_string(to_, q.portal.string()) && write_string(to_, q.cell.string()) &&
                  write_string(to_, q.out_dir.string()) && write_all(to_, &key, 4);
  OpResult r;
  if (!ok || !read_all(from_, &r, sizeof r)) throw std::runtime_error("the spawner process failed");
  return r;
}

Spawner::Result Spawner::run(const std::filesystem::path& tool, const std::vector<std::string>& args,
                             const std::filesystem::path& err) {
  const auto count = static_cast<std::uint32_t>(args.size() + 1);
  bool ok = write_all(to_, &count, 4) && write_string(to_, tool.string());
  for (const auto& a : args) ok = ok && write_string(to_, a);
  ok = ok && write_string(to_, err.string());
  Spawned r;
  if (!ok || !read_all(from_, &r, sizeof r)) throw std::runtime_error("the spawner process failed");
  return Result{r.wall_ms, r.max_rss_kib, r.status};
}

namespace {

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

// The run's stages, each timed on its own.
OpResult measure_parts(const OpRequest& q) {
  OpResult r;
  QuietStderr quiet;
  auto t = Clock::now();
  auto portal = std::make_unique<dat::DatDatabase>(open_or_throw(q.portal));
  r.ms[kOpenPortal] = ms_since(t);
  t = Clock::now();
  auto cell = std::make_unique<dat::DatDatabase>(open_or_throw(q.cell));
  r.ms[kOpenCell] = ms_since(t);
  t = Clock::now();
  const tools::SurfaceIdSet ids = tools::discover_surfaces(*cell, *portal, q.key);
  r.ms[kDiscover] = ms_since(t);
  t = Clock::now();
  auto audited = std::make_unique<tools::SurfaceAuditResult>(
      tools::audit_surfaces(*portal, ids, std::optional<std::uint32_t>(kTile)));
  r.ms[kAudit] = ms_since(t);
  t = Clock::now();
  const tools::AuditDoc doc = tools::build_audit_doc(q.key, q.portal, q.cell, audited->decoded, audited->counts);
  if (!tools::write_audit(doc, q.out_dir / "audit.json")) throw std::runtime_error("write_audit failed");
  r.ms[kDocument] = ms_since(t);
  t = Clock::now();
  tools::create_parent_directories(q.out_dir / "sheet.ppm");
  if (!tools::write_contact_sheet(audited->decoded, q.out_dir / "sheet.ppm", kTile, 10))
    throw std::runtime_error("write_contact_sheet failed");
  r.ms[kSheet] = ms_since(t);

  r.map_payload = (portal->files.size() + cell->files.size()) *
                  sizeof(std::pair<const std::uint32_t, dat::DatFileEntry>);
  for (const auto& d : audited->decoded) {
    r.held_bytes += d.rgba.size() + d.tile.size();
    r.decoded_image_bytes += std::uint64_t{d.width} * d.height * 4;
  }
  r.entries = audited->decoded.size();

  t = Clock::now();
  audited.reset();
  cell.reset();
  portal.reset();
  r.ms[kRelease] = ms_since(t);
  r.ok = true;
  return r;
}

OpResult measure_here(const OpRequest& q) {
  if (q.op == Op::Parts) return measure_parts(q);
  OpResult r;
  const auto t = Clock::now();
  if (q.op == Op::Open) {
    auto db = open_or_throw(q.portal);
    r.ms[0] = ms_since(t);  // the release is not part of opening
    r.entries = db.files.size();
    r.ok = true;
    return r;
  }
  const WalkResult w = q.op == Op::FloorAbsl   ? floor_walk_absl(q.portal, Gather::Library)
                       : q.op == Op::FloorWalk ? floor_walk(q.portal, Gather::Library)
                                               : floor_walk(q.portal, Gather::TwoReads);
  r.ms[0] = ms_since(t);
  r.entries = w.entries;
  r.reads = w.reads;
  r.ok = w.ok;
  return r;
}

struct OpenSamples {
  std::vector<double> open, floor, walk, two;
};

void sample_open(Spawner& spawner, const std::filesystem::path& path, OpenSamples& s, OpenFigures& f) {
  const auto take = [&](Op op) {
    const OpResult r = spawner.measure(OpRequest{op, path, {}, {}, 0});
    if (!r.ok) throw std::runtime_error("measuring " + path.string() + " failed");
    return r;
  };
  const OpResult open = take(Op::Open);
  s.open.push_back(open.ms[0]);
  f.entries = open.entries;
  s.floor.push_back(take(Op::FloorAbsl).ms[0]);
  const OpResult walk = take(Op::FloorWalk);
  s.walk.push_back(walk.ms[0]);
  f.library_reads = walk.reads;
  const OpResult two = take(Op::FloorTwoReads);
  s.two.push_back(two.ms[0]);
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
  Spawner& spawner = *options.spawner;

  OpenSamples portal_samples, cell_samples;
  std::vector<double> wall, rss;
  std::vector<std::vector<double>> parts(kPartCount + 1);
  const char* names[kPartCount + 1] = {"process start and exit", "open portal", "open cell",
                                       "discover", "audit", "document", "contact sheet", "release"};
  const std::vector<std::string> run_args = {
      "--portal-dat", portal_path.string(), "--cell-dat", cell_path.string(), "--landblock", key,
      "--out", (run_dir / "audit.json").string(), "--contact-sheet", (run_dir / "sheet.ppm").string()};

  // Every round measures each figure once, so slow spells of a shared machine touch all
  // figures alike.
  for (int round = 0; round < options.runs; ++round) {
    sample_open(spawner, portal_path, portal_samples, figures.portal);
    sample_open(spawner, cell_path, cell_samples, figures.cell);

    const Spawner::Result whole = spawner.run(options.tool, run_args, run_dir / "stderr.txt");
    if (!WIFEXITED(whole.status) || WEXITSTATUS(whole.status) != 0)
      throw std::runtime_error("the run failed; see " + (run_dir / "stderr.txt").string());
    wall.push_back(whole.wall_ms);
    rss.push_back(static_cast<double>(whole.max_rss_kib) / 1024.0);

    const Spawner::Result help = spawner.run(options.tool, {"--help"}, parts_dir / "help-stderr.txt");
    parts[0].push_back(help.wall_ms);
    const OpResult pr = spawner.measure(OpRequest{Op::Parts, portal_path, cell_path, parts_dir, options.landblock});
    if (!pr.ok) throw std::runtime_error("measuring the parts failed");
    for (int k = 0; k < kPartCount; ++k) parts[k + 1].push_back(pr.ms[k]);
    figures.run.map_payload = pr.map_payload;
    figures.run.image_bytes = pr.held_bytes;
    figures.run.decoded_image_bytes = pr.decoded_image_bytes;
    figures.run.surfaces = pr.entries;
  }

  finish_open(portal_samples, figures.portal);
  finish_open(cell_samples, figures.cell);
  figures.run.wall_ms = summarize(wall);
  figures.run.rss_mib = summarize(rss);
  for (int k = 0; k <= kPartCount; ++k) {
    const Summary s = summarize(parts[k]);
    figures.run.parts_ms.emplace_back(names[k], s);
    figures.run.parts_sum_ms += s.median;
  }
  figures.run.audit_ms = summarize(parts[1 + kAudit]);
  return figures;
}

}  // namespace bench
