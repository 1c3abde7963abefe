// End to end on the sample world: the generator writes the archives and its manifest, the
// audit runs on them, and what the audit reports must be what the manifest says the sample
// was built to contain. Nothing here is a stored copy of the tool's output.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "run_tool.hpp"

#ifndef QV_SAMPLE_BINARY
#error "QV_SAMPLE_BINARY (the sample generator's path) is defined by samples/CMakeLists.txt"
#endif

namespace {

using testing_support::run_tool;
using testing_support::shell_quote;
using testing_support::slurp;
using testing_support::TempDir;

namespace fs = std::filesystem;

// One manifest row, by column name.
using Row = std::map<std::string, std::string>;

std::vector<std::string> split(const std::string& text, char sep) {
  std::vector<std::string> parts;
  std::string part;
  std::istringstream in(text);
  while (std::getline(in, part, sep)) parts.push_back(part);
  if (!text.empty() && text.back() == sep) parts.emplace_back();
  return parts;
}

std::vector<Row> read_manifest(const fs::path& path) {
  std::vector<Row> rows;
  std::vector<std::string> columns;
  for (const std::string& line : split(slurp(path), '\n')) {
    if (line.empty() || line.front() == '#') continue;
    const std::vector<std::string> fields = split(line, '\t');
    if (columns.empty()) {
      columns = fields;
      continue;
    }
    EXPECT_EQ(fields.size(), columns.size()) << line;
    Row row;
    for (std::size_t i = 0; i < columns.size() && i < fields.size(); ++i)
      row[columns[i]] = fields[i];
    rows.push_back(std::move(row));
  }
  return rows;
}

int generate(const fs::path& dir, const fs::path& log) {
  const std::string cmd = shell_quote(QV_SAMPLE_BINARY) + " --out-dir " +
                          shell_quote(dir.string()) + " >" + shell_quote(log.string()) + " 2>&1";
  const int raw = std::system(cmd.c_str());
  return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

std::vector<Row> with_expect(const std::vector<Row>& rows, const std::string& expect) {
  std::vector<Row> out;
  for (const Row& r : rows)
    if (r.at("expect") == expect) out.push_back(r);
  std::sort(out.begin(), out.end(), [](const Row& a, const Row& b) {
    return std::stoul(a.at("surface"), nullptr, 16) < std::stoul(b.at("surface"), nullptr, 16);
  });
  return out;
}

// The audit document has one member per line, so a member's value is the rest of its line.
struct AuditSurface {
  std::string did, category, width, height, solid;
};
struct AuditDocument {
  std::string total_surfaces;
  std::map<std::string, std::string> category_counts;
  std::vector<AuditSurface> surfaces;
};

std::string unquote(std::string v) {
  if (!v.empty() && v.back() == ',') v.pop_back();
  if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
  return v;
}

AuditDocument read_audit(const std::string& json) {
  AuditDocument doc;
  bool in_counts = false;
  for (const std::string& raw : split(json, '\n')) {
    const std::string line = raw.substr(std::min(raw.find_first_not_of(' '), raw.size()));
    const auto colon = line.find("\": ");
    if (in_counts && (line == "}," || line == "}")) {
      in_counts = false;
      continue;
    }
    if (colon == std::string::npos || line.front() != '"') continue;
    const std::string key = line.substr(1, colon - 1);
    const std::string value = unquote(line.substr(colon + 3));
    if (in_counts) {
      doc.category_counts[key] = value;
    } else if (key == "total_surfaces") {
      doc.total_surfaces = value;
    } else if (key == "category_counts") {
      in_counts = value == "{";
    } else if (key == "did") {
      doc.surfaces.push_back({value, "", "", "", ""});
    } else if (!doc.surfaces.empty()) {
      AuditSurface& s = doc.surfaces.back();
      if (key == "category") s.category = value;
      if (key == "width") s.width = value;
      if (key == "height") s.height = value;
      if (key == "solid") s.solid = value;
    }
  }
  return doc;
}

std::vector<std::string> warned_ids(const std::string& err) {
  std::vector<std::string> ids;
  const std::string head = "  warn: surface ";
  const std::string tail = " failed to decode";
  for (const std::string& line : split(err, '\n')) {
    if (line.starts_with(head) && line.ends_with(tail))
      ids.push_back(line.substr(head.size(), line.size() - head.size() - tail.size()));
  }
  return ids;
}

class SampleE2E : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(generate(sample_dir(), tmp_.path() / "generator.log"), 0)
        << slurp(tmp_.path() / "generator.log");
    rows_ = read_manifest(sample_dir() / "sample-manifest.tsv");
    ASSERT_FALSE(rows_.empty());
  }

  fs::path sample_dir() const { return tmp_.path() / "sample"; }

  TempDir tmp_;
  std::vector<Row> rows_;
};

TEST_F(SampleE2E, AuditReportsWhatTheSampleWasBuiltToContain) {
  const fs::path audit = tmp_.path() / "out" / "audit.json";
  const fs::path sheet = tmp_.path() / "out" / "sheet.ppm";
  const auto r =
      run_tool({"--portal-dat", (sample_dir() / "client_portal.dat").string(), "--cell-dat",
                (sample_dir() / "client_cell_1.dat").string(), "--landblock", "0xA9B4", "--out",
                audit.string(), "--contact-sheet", sheet.string()});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(r.out.empty());

  const std::vector<Row> decode = with_expect(rows_, "decode");
  const std::vector<Row> fail = with_expect(rows_, "fail");
  const std::vector<Row> absent = with_expect(rows_, "absent");
  ASSERT_FALSE(decode.empty());
  ASSERT_FALSE(fail.empty());

  EXPECT_NE(r.err.find("  found " + std::to_string(decode.size() + fail.size()) +
                       " unique surface DIDs\n"),
            std::string::npos)
      << r.err;

  // The broken surfaces, and only they, are warned about, in ascending order.
  std::vector<std::string> expected_warnings;
  for (const Row& row : fail) expected_warnings.push_back(row.at("surface"));
  EXPECT_EQ(warned_ids(r.err), expected_warnings);

  // Every other surface is in the document, in ascending order, as it was built.
  const AuditDocument doc = read_audit(slurp(audit));
  EXPECT_EQ(doc.total_surfaces, std::to_string(decode.size()));
  ASSERT_EQ(doc.surfaces.size(), decode.size());
  std::map<std::string, unsigned> per_category;
  for (std::size_t i = 0; i < decode.size(); ++i) {
    const Row& row = decode[i];
    const AuditSurface& got = doc.surfaces[i];
    SCOPED_TRACE(row.at("surface") + " " + row.at("description"));
    EXPECT_EQ(got.did, row.at("surface"));
    EXPECT_EQ(got.category, row.at("category"));
    EXPECT_EQ(got.width, row.at("width"));
    EXPECT_EQ(got.height, row.at("height"));
    EXPECT_EQ(got.solid, row.at("kind") == "solid" ? "true" : "false");
    ++per_category[row.at("category")];
  }
  std::map<std::string, std::string> expected_counts;
  for (const auto& [name, count] : per_category) expected_counts[name] = std::to_string(count);
  EXPECT_EQ(doc.category_counts, expected_counts);
  std::string histogram = "Category histogram:\n";
  for (const auto& [name, count] : per_category) {
    const std::string n = std::to_string(count);
    histogram +=
        "  " + std::string(8 - std::min<std::size_t>(8, n.size()), ' ') + n + " " + name + "\n";
  }
  EXPECT_NE(r.err.find(histogram), std::string::npos) << r.err;

  // Surfaces of the neighbouring landblock are neither found nor reported.
  std::set<std::string> reported;
  for (const AuditSurface& s : doc.surfaces) reported.insert(s.did);
  for (const std::string& id : warned_ids(r.err)) reported.insert(id);
  for (const Row& row : absent)
    EXPECT_FALSE(reported.contains(row.at("surface"))) << row.at("surface");

  // The sheet: ten 64-pixel tiles per row, as many rows as the decoded surfaces need.
  const std::size_t rows = (decode.size() + 9) / 10;
  const std::string header = "P6\n640 " + std::to_string(rows * 64) + "\n255\n";
  const std::string ppm = slurp(sheet);
  ASSERT_GE(ppm.size(), header.size());
  EXPECT_EQ(ppm.substr(0, header.size()), header);
  EXPECT_EQ(ppm.size(), header.size() + 640 * rows * 64 * 3);
}

// The manifest itself must keep covering what the sample is for: every category the
// classifier produces, each pixel format, solid and textured, the flag-dependent rules, the
// three kinds of deliberate failure, compression and sizes that are not multiples of 4.
TEST_F(SampleE2E, ManifestCoversEveryCategoryFormatAndFailure) {
  std::set<std::string> categories, formats, failures, kinds, rules_by_category;
  bool foliage_with_04 = false, foliage_without_04 = false, compressed = false, odd_dxt = false;
  for (const Row& row : with_expect(rows_, "decode")) {
    categories.insert(row.at("category"));
    formats.insert(row.at("format"));
    kinds.insert(row.at("kind"));
    rules_by_category.insert(row.at("category") + " " + row.at("rule"));
    const unsigned long type = std::stoul(row.at("surface_type"), nullptr, 16);
    if (row.at("category") == "Foliage")
      ((type & 0x04) ? foliage_with_04 : foliage_without_04) = true;
    if (row.at("category") == "Lava") {
      EXPECT_TRUE(type & 0x40) << row.at("surface");
    }
    if (row.at("category") == "Water") {
      EXPECT_TRUE(type & 0x10) << row.at("surface");
    }
    compressed = compressed || row.at("compressed") == "yes";
    if (row.at("format").starts_with("DXT") &&
        (std::stoul(row.at("width")) % 4 != 0 || std::stoul(row.at("height")) % 4 != 0))
      odd_dxt = true;
  }
  for (const Row& row : with_expect(rows_, "fail")) failures.insert(row.at("failure"));

  EXPECT_EQ(categories, (std::set<std::string>{"Dirt", "Foliage", "Generic", "Lava", "Metal",
                                               "Sand", "Snow", "Stone", "Water", "Wood"}));
  EXPECT_EQ(formats, (std::set<std::string>{"A8", "A8R8G8B8", "B8G8R8", "DXT1-four-colour",
                                            "DXT1-three-colour", "DXT3", "DXT5", "Index16", "L8",
                                            "P8", "R8G8B8", "solid"}));
  EXPECT_EQ(kinds, (std::set<std::string>{"solid", "textured"}));
  for (const char* rule : {"Lava 1", "Water 2", "Foliage 3", "Foliage 4", "Stone 10", "Stone 11"})
    EXPECT_TRUE(rules_by_category.contains(rule)) << rule;
  EXPECT_TRUE(foliage_with_04);
  EXPECT_TRUE(foliage_without_04);
  EXPECT_TRUE(compressed);
  EXPECT_TRUE(odd_dxt);
  for (const char* failure : {"missing-palette", "unsupported-format", "empty-texture-list"})
    EXPECT_TRUE(failures.contains(failure)) << failure;
  const std::size_t on_landblock =
      with_expect(rows_, "decode").size() + with_expect(rows_, "fail").size();
  EXPECT_GE(on_landblock, 40u);
  EXPECT_LE(on_landblock, 80u);
}

TEST_F(SampleE2E, GeneratorWritesTheSameBytesEveryTime) {
  const fs::path again = tmp_.path() / "again";
  ASSERT_EQ(generate(again, tmp_.path() / "again.log"), 0);
  for (const char* name : {"client_portal.dat", "client_cell_1.dat", "sample-manifest.tsv"}) {
    const std::string first = slurp(sample_dir() / name);
    EXPECT_FALSE(first.empty()) << name;
    EXPECT_TRUE(first == slurp(again / name)) << name;
  }
}

}  // namespace
