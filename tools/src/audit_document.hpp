#pragma once
// The audit document: its JSON text, the written file and the console histogram.

#include <cstdint>
#include <expected>
#include <filesystem>
#include <string>
#include <vector>

#include "audit_record.hpp"
#include "report.hpp"

namespace tools {

struct AuditDoc {
  std::string landblock;  // "0x{:04X}"
  std::string portal_dat;  // display form
  std::string cell_dat;
  std::uint64_t total_surfaces = 0;
  CategoryCounts category_counts;
  std::vector<SurfaceAudit> surfaces;
};

AuditDoc build_audit_doc(std::uint16_t key, const std::filesystem::path& portal_dat,
                         const std::filesystem::path& cell_dat, const std::vector<Decoded>& decoded,
                         const CategoryCounts& counts);

// The document's exact JSON text (no final line feed).
std::string audit_json(const AuditDoc& doc);

// "Category histogram:" and one line per category, each ended by a line feed.
std::string histogram_text(const CategoryCounts& counts);

// Creates the parent directories, writes the document to `out`, then prints
// "Wrote audit: {}" and the histogram on standard error.
std::expected<void, Failure> write_audit(const AuditDoc& doc, const std::filesystem::path& out);

}  // namespace tools
