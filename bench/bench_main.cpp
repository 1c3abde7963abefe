// qv-bench: measures the library and the binary on the benchmark world, each figure beside
// its floor, and prints one table (median of the runs, with min and max) that it also writes
// as JSON.
//
//   qv-bench --world bench-world/full --tool build/bench/quorvane-tools --json results.json
//            [--runs 7] [--micro-min-time 0.2] [--scaling bench-world/quarter,bench-world/half]

#include <fmt/format.h>

#include <omp.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "macro.hpp"
#include "micro.hpp"

namespace {

using bench::Summary;

struct Floor {
  std::string name;
  Summary value;
};

struct Row {
  std::string section;
  std::string name;
  std::string unit;
  Summary value;
  std::optional<Floor> floor;
  std::optional<double> ratio;  // value / floor, or floor / value for rates (see target)
  std::string target;           // e.g. "<= 1.30"; empty when the figure has no target
  std::optional<bool> met;
  std::string note;
};

std::string num(double v) {
  if (v == 0) return "0";
  const double a = std::fabs(v);
  if (a >= 1000) return fmt::format("{:.0f}", v);
  if (a >= 100) return fmt::format("{:.1f}", v);
  if (a >= 10) return fmt::format("{:.2f}", v);
  return fmt::format("{:.3f}", v);
}

void print_table(const std::vector<Row>& rows, std::FILE* out) {
  const std::string rule(150, '-');
  fmt::print(out, "{:<38} {:>9} {:>9} {:>9} {:<7} | {:<34} {:>9} | {:>6} {:<8} {}\n", "measure",
             "median", "min", "max", "unit", "floor", "median", "ratio", "target", "");
  std::string section;
  for (const Row& r : rows) {
    if (r.section != section) {
      section = r.section;
      fmt::print(out, "{}\n{}\n", rule, section);
    }
    const std::string floor_name = r.floor ? r.floor->name : "";
    const std::string floor_median = r.floor ? num(r.floor->value.median) : "";
    const std::string ratio = r.ratio ? fmt::format("{:.2f}", *r.ratio) : "";
    const std::string verdict = r.met ? (*r.met ? "met" : "MISSED") : "";
    fmt::print(out, "{:<38} {:>9} {:>9} {:>9} {:<7} | {:<34} {:>9} | {:>6} {:<8} {}{}\n", r.name,
               num(r.value.median), num(r.value.min), num(r.value.max), r.unit, floor_name,
               floor_median, ratio, r.target, verdict, r.note.empty() ? "" : "  " + r.note);
  }
  fmt::print(out, "{}\n", rule);
}

std::string json_escape(const std::string& s) {
  std::string out;
  for (const char c : s) {
    if (c == '"' || c == '\\') out += '\\';
    if (static_cast<unsigned char>(c) < 0x20) {
      out += fmt::format("\\u{:04x}", static_cast<unsigned>(c));
      continue;
    }
    out += c;
  }
  return out;
}

std::string json_number(double v) {
  if (!std::isfinite(v)) return "null";
  return fmt::format("{}", v);
}

std::string json_summary(const Summary& s) {
  return fmt::format(R"({{"median": {}, "min": {}, "max": {}, "samples": {}}})", json_number(s.median),
                     json_number(s.min), json_number(s.max), s.samples);
}

std::string json_rows(const std::vector<Row>& rows) {
  std::string out = "[\n";
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const Row& r = rows[i];
    out += fmt::format(R"(    {{"section": "{}", "name": "{}", "unit": "{}", "value": {})",
                       json_escape(r.section), json_escape(r.name), json_escape(r.unit),
                       json_summary(r.value));
    if (r.floor)
      out += fmt::format(R"(, "floor": {{"name": "{}", "value": {}}})", json_escape(r.floor->name),
                         json_summary(r.floor->value));
    if (r.ratio) out += fmt::format(R"(, "ratio": {})", json_number(*r.ratio));
    if (!r.target.empty()) out += fmt::format(R"(, "target": "{}")", json_escape(r.target));
    if (r.met) out += fmt::format(R"(, "met": {})", *r.met ? "true" : "false");
    if (!r.note.empty()) out += fmt::format(R"(, "note": "{}")", json_escape(r.note));
    out += i + 1 < rows.size() ? "},\n" : "}\n";
  }
  return out + "  ]";
}

// FNV-1a of a whole file, to show that the run's outputs do not change between builds.
std::string file_digest(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::uint64_t h = 0xcbf29ce484222325ull;
  char c;
  while (in.get(c)) {
    h ^= static_cast<unsigned char>(c);
    h *= 0x100000001b3ull;
  }
  return fmt::format("{:016x}", h);
}

bool same_file(const std::filesystem::path& a, const std::filesystem::path& b) {
  std::ifstream x(a, std::ios::binary), y(b, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(x), {}) ==
         std::string(std::istreambuf_iterator<char>(y), {});
}

Row ratio_row(std::string section, std::string name, std::string unit, Summary value, Floor floor,
              double ratio, std::string target, bool met, std::string note = {}) {
  return Row{std::move(section), std::move(name), std::move(unit), value, std::move(floor),
             ratio, std::move(target), met, std::move(note)};
}

void open_rows(std::vector<Row>& rows, const std::string& name, const bench::OpenFigures& f) {
  const double ratio = f.open_ms.median / f.floor_ms.median;
  const double per_entry = 1e6 / static_cast<double>(f.entries);
  rows.push_back(ratio_row("a. opening", "open " + name, "ms", f.open_ms,
                           Floor{"walk + absl::flat_hash_map", f.floor_ms}, ratio, "<= 1.30",
                           ratio <= 1.30, fmt::format("{} entries", f.entries)));
  rows.push_back(Row{"a. opening", "  per entry", "ns", bench::scaled(f.open_ms, per_entry),
                     Floor{"walk + absl, per entry", bench::scaled(f.floor_ms, per_entry)},
                     std::nullopt, "", std::nullopt, ""});
  rows.push_back(Row{"a. opening", "  floor part: bare walk (counts only)", "ms", f.walk_ms,
                     std::nullopt, std::nullopt, "", std::nullopt,
                     fmt::format("{} positioned reads", f.library_reads)});
  rows.push_back(Row{"a. opening", "  walk with 2 reads per block", "ms", f.two_reads_ms,
                     std::nullopt, std::nullopt, "", std::nullopt,
                     fmt::format("{} positioned reads (link, then payload)", f.two_reads)});
}

void run_rows(std::vector<Row>& rows, const bench::RunFigures& r, const std::string& label) {
  const std::string section = "b. whole run on 0xA9B4 with contact sheet" + label;
  const double ratio = r.wall_ms.median / r.parts_sum_ms;
  rows.push_back(ratio_row(section, "whole run (fork, exec, wait)", "ms", r.wall_ms,
                           Floor{"sum of the parts' medians", Summary{r.parts_sum_ms, r.parts_sum_ms, r.parts_sum_ms, 1}},
                           ratio, "<= 1.20", ratio <= 1.20,
                           fmt::format("{} surfaces", r.surfaces)));
  rows.push_back(Row{section, "whole run, absolute", "ms", r.wall_ms, std::nullopt, std::nullopt,
                     "< 500", r.wall_ms.median < 500, ""});
  for (const auto& [name, s] : r.parts_ms)
    rows.push_back(Row{section, "  part: " + name, "ms", s, std::nullopt, std::nullopt, "",
                       std::nullopt, ""});
  const double budget_mib = static_cast<double>(r.map_payload + r.image_bytes) / (1024.0 * 1024.0);
  const double rss_ratio = r.rss_mib.median / budget_mib;
  rows.push_back(ratio_row(section, "peak RSS vs pixels held", "MiB", r.rss_mib,
                           Floor{"map payload + pixels held for sheet", Summary{budget_mib, budget_mib, budget_mib, 1}},
                           rss_ratio, "<= 1.50", rss_ratio <= 1.50,
                           fmt::format("payload {:.1f} MiB + held {:.1f} MiB",
                                       r.map_payload / 1048576.0, r.image_bytes / 1048576.0)));
  const double images_mib = static_cast<double>(r.map_payload + r.decoded_image_bytes) / (1024.0 * 1024.0);
  rows.push_back(ratio_row(section, "peak RSS vs decoded images", "MiB", r.rss_mib,
                           Floor{"map payload + decoded images", Summary{images_mib, images_mib, images_mib, 1}},
                           r.rss_mib.median / images_mib, "<= 1.50", r.rss_mib.median / images_mib <= 1.50,
                           fmt::format("decoded images {:.1f} MiB", r.decoded_image_bytes / 1048576.0)));
}

void micro_rows(std::vector<Row>& rows, const std::map<std::string, bench::MicroCase>& m) {
  const std::string section = "c. micro-benchmarks (Google Benchmark, CPU time per call)";
  const auto mbs = [](const bench::MicroCase& c) { return bench::as_rate(c.ns, c.work * 1e3); };  // bytes/ns*1e3 = MB/s
  const auto has = [&m](const std::string& name) { return m.count(name) != 0; };
  for (const char* fmt_name : {"dxt1", "dxt3", "dxt5"}) {
    if (!has(std::string("decompress_") + fmt_name) || !has(std::string("squish_") + fmt_name)) continue;
    const auto& ours = m.at(std::string("decompress_") + fmt_name);
    const auto& theirs = m.at(std::string("squish_") + fmt_name);
    const Summary a = mbs(ours), b = mbs(theirs);
    const double ratio = a.median / b.median;
    rows.push_back(ratio_row(section, fmt::format("decompress_{} 512x512", fmt_name), "MB/s", a,
                             Floor{"libsquish DecompressImage", b}, ratio, ">= 4.00", ratio >= 4.0,
                             "MB of RGBA output"));
  }
  for (const auto& [name, c] : m) {
    if (name.rfind("to_rgba8/", 0) != 0 || !has("memcpy_output")) continue;
    const auto& copy = m.at("memcpy_output");
    const double ratio = c.ns.median / copy.ns.median;
    rows.push_back(ratio_row(section, name + " 512x512", "us", bench::scaled(c.ns, 1e-3),
                             Floor{"memcpy of the 1 MiB output", bench::scaled(copy.ns, 1e-3)}, ratio,
                             "<= 2.00", ratio <= 2.0,
                             fmt::format("{:.3f} ns/pixel", c.ns.median / c.work)));
  }
  if (has("compute_stats") && has("stats_floor")) {
    const auto& stats = m.at("compute_stats");
    const auto& stats_floor = m.at("stats_floor");
    const double stats_ratio = stats.ns.median / stats_floor.ns.median;
    rows.push_back(ratio_row(section, "compute_stats 512x512", "ns/px", bench::scaled(stats.ns, 1 / stats.work),
                             Floor{"5 + 3 sequential adds per pixel", bench::scaled(stats_floor.ns, 1 / stats_floor.work)},
                             stats_ratio, "<= 1.10", stats_ratio <= 1.10));
  }
  if (has("decompress_lrs"))
    rows.push_back(Row{section, "decompress_lrs (256 KiB of meshes)", "MB/s", mbs(m.at("decompress_lrs")),
                       std::nullopt, std::nullopt, "", std::nullopt, "MB of output"});
  for (const char* which : {"read_file_data/portal", "read_file_data/chains"}) {
    if (!has(which)) continue;
    const auto& c = m.at(which);
    rows.push_back(Row{section, which, "us/blk", bench::scaled(c.ns, 1e-3 / c.work), std::nullopt,
                       std::nullopt, "", std::nullopt,
                       fmt::format("{:.0f} blocks per call", c.work)});
  }
}

struct Fit {
  double slope = 0, intercept = 0;
};

Fit least_squares(const std::vector<std::pair<double, double>>& points) {
  double sx = 0, sy = 0, sxx = 0, sxy = 0;
  const double n = static_cast<double>(points.size());
  for (const auto& [x, y] : points) {
    sx += x;
    sy += y;
    sxx += x * x;
    sxy += x * y;
  }
  Fit f;
  const double d = n * sxx - sx * sx;
  if (n < 2 || d == 0) return f;
  f.slope = (n * sxy - sx * sy) / d;
  f.intercept = (sy - f.slope * sx) / n;
  return f;
}

int usage() {
  std::fputs(
      "usage: qv-bench --world DIR --tool PATH [--json PATH] [--runs N] [--micro-min-time S]\n"
      "                [--scaling DIR,DIR,...] [--no-micro]\n",
      stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  // Forked before anything else, while this process is small (see Spawner).
  bench::Spawner spawner;
  // libsquish decodes with OpenMP; its floor is one thread, like our decoders.
  omp_set_num_threads(1);

  std::filesystem::path world, tool, json;
  int runs = 7;
  double min_time = 0.2;
  bool micro = true;
  bool macro = true;
  std::string filter;
  std::vector<std::filesystem::path> scaling;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const auto value = [&]() -> std::string { return i + 1 < argc ? argv[++i] : ""; };
    if (a == "--world") world = value();
    else if (a == "--tool") tool = value();
    else if (a == "--json") json = value();
    else if (a == "--runs") runs = std::stoi(value());
    else if (a == "--micro-min-time") min_time = std::stod(value());
    else if (a == "--no-micro") micro = false;
    else if (a == "--micro-only") macro = false;
    else if (a == "--micro-filter") filter = value();
    else if (a == "--scaling") {
      std::stringstream list(value());
      for (std::string item; std::getline(list, item, ',');)
        if (!item.empty()) scaling.emplace_back(item);
    } else return usage();
  }
  if (world.empty() || tool.empty() || runs < 1) return usage();

  try {
    std::vector<Row> rows;
    bench::MacroOptions options{&spawner, tool, runs};
    bench::WorldFigures full;
    bool outputs_agree = true;
    if (macro) {
      fmt::print(stderr, "measuring {} ({} rounds)...\n", world.string(), runs);
      full = bench::measure_world(world, options);
      open_rows(rows, "portal.dat", full.portal);
      open_rows(rows, "cell.dat", full.cell);
      run_rows(rows, full.run, "");
      outputs_agree = same_file(world / "run" / "audit.json", world / "parts" / "audit.json") &&
                      same_file(world / "run" / "sheet.ppm", world / "parts" / "sheet.ppm");
    }

    if (micro) {
      fmt::print(stderr, "micro-benchmarks ({} repetitions of >= {} s each)...\n", runs, min_time);
      const auto m = bench::run_micro({runs, min_time, world / "portal.dat", world / "chains.dat", filter});
      micro_rows(rows, m);
    }

    std::vector<bench::WorldFigures> scaled_worlds;
    for (const auto& dir : scaling) {
      fmt::print(stderr, "scaling: measuring {}...\n", dir.string());
      scaled_worlds.push_back(bench::measure_world(dir, options));
    }
    std::string scaling_json = "[]";
    std::vector<std::string> scaling_lines;
    if (!scaled_worlds.empty() && macro) {
      scaled_worlds.push_back(full);
      std::sort(scaled_worlds.begin(), scaled_worlds.end(),
                [](const auto& a, const auto& b) { return a.cell.entries < b.cell.entries; });
      std::vector<std::pair<double, double>> cell_pts, portal_pts, floor_pts, audit_pts;
      scaling_json = "[\n";
      for (std::size_t i = 0; i < scaled_worlds.size(); ++i) {
        const auto& w = scaled_worlds[i];
        cell_pts.emplace_back(static_cast<double>(w.cell.entries), w.cell.open_ms.median);
        portal_pts.emplace_back(static_cast<double>(w.portal.entries), w.portal.open_ms.median);
        floor_pts.emplace_back(static_cast<double>(w.cell.entries), w.cell.floor_ms.median);
        audit_pts.emplace_back(static_cast<double>(w.run.surfaces), w.run.audit_ms.median);
        scaling_lines.push_back(fmt::format(
            "{:<22} portal {:>6} entries {:>8} ms | cell {:>7} entries {:>8} ms ({:.1f} ns/entry) | "
            "run {:>8} ms, audit {:>8} ms for {:>3} surfaces ({:.3f} ms/surface), RSS {:.1f} MiB",
            w.dir.string(), w.portal.entries, num(w.portal.open_ms.median), w.cell.entries,
            num(w.cell.open_ms.median), w.cell.open_ms.median * 1e6 / static_cast<double>(w.cell.entries),
            num(w.run.wall_ms.median), num(w.run.audit_ms.median), w.run.surfaces,
            w.run.audit_ms.median / static_cast<double>(w.run.surfaces), w.run.rss_mib.median));
        scaling_json += fmt::format(
            R"(    {{"world": "{}", "portal_entries": {}, "cell_entries": {}, "open_portal_ms": {}, "open_cell_ms": {}, "open_cell_floor_ms": {}, "run_ms": {}, "audit_ms": {}, "surfaces": {}, "peak_rss_mib": {}}}{})",
            json_escape(w.dir.string()), w.portal.entries, w.cell.entries, json_summary(w.portal.open_ms),
            json_summary(w.cell.open_ms), json_summary(w.cell.floor_ms), json_summary(w.run.wall_ms),
            json_summary(w.run.audit_ms), w.run.surfaces, json_summary(w.run.rss_mib),
            i + 1 < scaled_worlds.size() ? ",\n" : "\n");
      }
      scaling_json += "  ]";
      const Fit cell = least_squares(cell_pts), portal = least_squares(portal_pts);
      const Fit floor = least_squares(floor_pts), audit = least_squares(audit_pts);
      scaling_lines.push_back(fmt::format(
          "opening slope: cell {:.1f} ns/entry (intercept {:.2f} ms), floor {:.1f} ns/entry; "
          "portal {:.1f} ns/entry; audit slope {:.3f} ms/surface (intercept {:.2f} ms)",
          cell.slope * 1e6, cell.intercept, floor.slope * 1e6, portal.slope * 1e6, audit.slope,
          audit.intercept));
      scaling_json = fmt::format(
          R"({{"worlds": {}, "open_cell_ns_per_entry": {}, "open_cell_floor_ns_per_entry": {}, "open_portal_ns_per_entry": {}, "audit_ms_per_surface": {}, "audit_intercept_ms": {}}})",
          scaling_json, json_number(cell.slope * 1e6), json_number(floor.slope * 1e6),
          json_number(portal.slope * 1e6), json_number(audit.slope), json_number(audit.intercept));
    }

    std::FILE* out = stdout;
    fmt::print(out, "\nquorvane-tools benchmark: world {}, {} rounds (micro: {} repetitions); "
                    "median, min, max; ratios of medians from the same run\n",
               world.string(), runs, runs);
    print_table(rows, out);
    if (!scaling_lines.empty()) {
      fmt::print(out, "d. scaling (medians)\n");
      for (const auto& line : scaling_lines) fmt::print(out, "  {}\n", line);
    }
    const std::string audit_digest = macro ? file_digest(world / "run" / "audit.json") : "";
    const std::string sheet_digest = macro ? file_digest(world / "run" / "sheet.ppm") : "";
    if (macro)
      fmt::print(out, "outputs: audit.json {} sheet.ppm {} (FNV-1a); run and in-process parts {}\n",
                 audit_digest, sheet_digest, outputs_agree ? "byte-identical" : "DIFFER");

    if (!json.empty()) {
      std::filesystem::create_directories(json.parent_path().empty() ? "." : json.parent_path());
      std::ofstream j(json);
      j << fmt::format(
          "{{\n  \"world\": \"{}\",\n  \"rounds\": {},\n  \"micro_repetitions\": {},\n"
          "  \"audit_json_fnv1a\": \"{}\",\n  \"sheet_ppm_fnv1a\": \"{}\",\n  \"outputs_agree\": {},\n"
          "  \"rows\": {},\n  \"scaling\": {}\n}}\n",
          json_escape(world.string()), runs, micro ? runs : 0, audit_digest, sheet_digest,
          outputs_agree ? "true" : "false", json_rows(rows), scaling_json);
      fmt::print(out, "wrote {}\n", json.string());
    }
    return outputs_agree ? 0 : 1;
  } catch (const std::exception& e) {
    fmt::print(stderr, "qv-bench: {}\n", e.what());
    return 1;
  }
}
