#include "run.hpp"

#include <fmt/format.h>

#include <cstdio>

#include "audit_document.hpp"
#include "contact_sheet.hpp"
#include "dat/database.hpp"
#include "discovery.hpp"
#include "file_output.hpp"
#include "surface_audit.hpp"

namespace tools {

std::expected<void, Failure> run(const Cli& cli, std::uint16_t key) {
  fmt::print(stderr, "Loading portal dat: {}\n", dat::display_path(cli.portal_dat));
  auto portal = dat::DatDatabase::open(cli.portal_dat);
  if (!portal) return std::unexpected(Failure::from(portal.error()));
  fmt::print(stderr, "  portal files: {}\n", portal->files.size());

  fmt::print(stderr, "Loading cell dat: {}\n", dat::display_path(cli.cell_dat));
  auto cell = dat::DatDatabase::open(cli.cell_dat);
  if (!cell) return std::unexpected(Failure::from(cell.error()));
  fmt::print(stderr, "  cell files: {}\n", cell->files.size());

  fmt::print(stderr, "Discovering surfaces for landblock 0x{:04X}...\n", key);
  const SurfaceIdSet ids = discover_surfaces(*cell, *portal, key);
  // Each image is measured, then reduced to what the sheet needs (nothing without a sheet).
  const SurfaceAuditResult audited =
      audit_surfaces(*portal, ids, cli.contact_sheet ? std::optional(cli.tile) : std::nullopt);

  const AuditDoc doc =
      build_audit_doc(key, cli.portal_dat, cli.cell_dat, audited.decoded, audited.counts);
  if (auto written = write_audit(doc, cli.out); !written) return written;

  if (cli.contact_sheet) {
    create_parent_directories(*cli.contact_sheet);
    if (auto sheet = write_contact_sheet(audited.decoded, *cli.contact_sheet, cli.tile, cli.cols);
        !sheet)
      return sheet;
    fmt::print(stderr, "Wrote contact sheet: {}\n", dat::display_path(*cli.contact_sheet));
  }
  return {};
}

}  // namespace tools
