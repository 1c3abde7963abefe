#include "audit_document.hpp"

#include <fmt/format.h>

#include <cstdio>

#include "file_output.hpp"
#include "json_writer.hpp"

namespace tools {

AuditDoc build_audit_doc(std::uint16_t key, const std::filesystem::path& portal_dat,
                         const std::filesystem::path& cell_dat, const std::vector<Decoded>& decoded,
                         const CategoryCounts& counts) {
  AuditDoc doc;
  doc.landblock = fmt::format("0x{:04X}", key);
  doc.portal_dat = dat::display_path(portal_dat);
  doc.cell_dat = dat::display_path(cell_dat);
  doc.total_surfaces = decoded.size();
  doc.category_counts = counts;
  doc.surfaces.reserve(decoded.size());
  for (const auto& d : decoded) doc.surfaces.push_back(d.audit);
  return doc;
}

namespace {

void write_triple(JsonWriter& w, const char* name, const std::array<float, 3>& v) {
  w.key(name);
  w.begin_array();
  for (const float x : v) w.number(x);
  w.end_array();
}

}  // namespace

std::string audit_json(const AuditDoc& doc) {
  JsonWriter w;
  w.begin_object();
  w.key("landblock");
  w.string(doc.landblock);
  w.key("portal_dat");
  w.string(doc.portal_dat);
  w.key("cell_dat");
  w.string(doc.cell_dat);
  w.key("total_surfaces");
  w.integer(doc.total_surfaces);
  w.key("category_counts");
  w.begin_object();
  for (const auto& [name, count] : doc.category_counts) {
    w.key(name);
    w.integer(count);
  }
  w.end_object();
  w.key("surfaces");
  w.begin_array();
  for (const auto& s : doc.surfaces) {
    w.begin_object();
    w.key("did");
    w.string(s.did);
    w.key("category");
    w.string(s.category);
    w.key("surface_type");
    w.integer(s.surface_type);
    write_triple(w, "mean_rgb", s.mean_rgb);
    write_triple(w, "std_dev", s.std_dev);
    w.key("luminance");
    w.number(s.luminance);
    w.key("variance");
    w.number(s.variance);
    w.key("dominant_hue");
    w.number(s.dominant_hue);
    w.key("saturation");
    w.number(s.saturation);
    w.key("width");
    w.integer(s.width);
    w.key("height");
    w.integer(s.height);
    w.key("solid");
    w.boolean(s.solid);
    w.end_object();
  }
  w.end_array();
  w.end_object();
  return w.take();
}

std::string histogram_text(const CategoryCounts& counts) {
  std::string out = "Category histogram:\n";
  for (const auto& [name, count] : counts) out += fmt::format("  {:>8} {}\n", count, name);
  return out;
}

std::expected<void, Failure> write_audit(const AuditDoc& doc, const std::filesystem::path& out) {
  create_parent_directories(out);
  const std::string text = audit_json(doc);
  const auto fail = [&](const dat::IoError& e) {
    return std::unexpected(
        Failure::with_context(fmt::format("write {}", dat::display_path(out)), e.text()));
  };
  {
    auto file = OutputFile::create(out);
    if (!file) return fail(file.error());
    if (auto written = file->write_all(text); !written) return fail(written.error());
  }
  fmt::print(stderr, "Wrote audit: {}\n", dat::display_path(out));
  std::fputs(histogram_text(doc.category_counts).c_str(), stderr);
  return {};
}

}  // namespace tools
