#include "cli.hpp"

#include <CLI/CLI.hpp>

#include <iostream>

namespace tools {

std::optional<std::uint32_t> parse_decimal_u32(std::string_view text) {
  if (text.empty()) return std::nullopt;
  std::uint64_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<unsigned>(c - '0');
    if (value > 0xFFFFFFFFull) return std::nullopt;
  }
  return static_cast<std::uint32_t>(value);
}

std::expected<std::uint16_t, Failure> parse_landblock_key(std::string_view text) {
  const auto fail = [](const char* cause) {
    return std::unexpected(Failure::with_context("parse hex landblock", cause));
  };
  while (text.starts_with("0x")) text.remove_prefix(2);
  while (text.starts_with("0X")) text.remove_prefix(2);
  if (text.empty()) return fail("cannot parse integer from empty string");
  if (text.front() == '+') {
    text.remove_prefix(1);
    if (text.empty()) return fail("invalid digit found in string");
  }
  // Left to right: the first problem met decides.
  std::uint64_t value = 0;
  for (const char c : text) {
    unsigned digit;
    if (c >= '0' && c <= '9') {
      digit = static_cast<unsigned>(c - '0');
    } else if (c >= 'a' && c <= 'f') {
      digit = static_cast<unsigned>(c - 'a' + 10);
    } else if (c >= 'A' && c <= 'F') {
      digit = static_cast<unsigned>(c - 'A' + 10);
    } else {
      return fail("invalid digit found in string");
    }
    value = value * 16 + digit;
    if (value > 0xFFFFFFFFull) return fail("number too large to fit in target type");
  }
  return static_cast<std::uint16_t>(value & 0xFFFF);
}

namespace {

CLI::Validator decimal_u32() {
  return CLI::Validator(
      [](std::string& value) -> std::string {
        if (parse_decimal_u32(value)) return {};
        return "Value " + value + " is not a decimal number from 0 to 4294967295";
      },
      "", "UINT32");
}

std::string failure_message(const CLI::App*, const CLI::Error& e) {
  return std::string("error: ") + e.what() +
         "\n\nUsage: quorvane-tools [OPTIONS] --out <OUT>\n\n"
         "For more information, try '--help'.\n";
}

}  // namespace

std::expected<Cli, int> parse_cli(int argc, const char* const* argv) {
  CLI::App app{"", "quorvane-tools"};
  app.failure_message(failure_message);

  Cli cli;
  std::string portal = cli.portal_dat.native();
  std::string cell = cli.cell_dat.native();
  std::string out;
  std::string sheet;
  std::string tile = "64";
  std::string cols = "10";

  const auto once = CLI::MultiOptionPolicy::Throw;
  app.add_option("--portal-dat", portal, "Path to the portal DAT")
      ->type_name("PORTAL_DAT")
      ->capture_default_str()
      ->multi_option_policy(once);
  app.add_option("--cell-dat", cell, "Path to the cell DAT (used to read LandblockInfo + EnvCells)")
      ->type_name("CELL_DAT")
      ->capture_default_str()
      ->multi_option_policy(once);
  app.add_option("--landblock", cli.landblock, "Landblock packed key (e.g. 0xA9B4 = Brackwater)")
      ->type_name("LANDBLOCK")
      ->capture_default_str()
      ->multi_option_policy(once);
  app.add_option("--out", out, "Output JSON path")
      ->type_name("OUT")
      ->required()
      ->multi_option_policy(once);
  auto* sheet_option =
      app.add_option("--contact-sheet", sheet,
                     "Optional PPM contact sheet output path. Each tile is 64×64; tile label baked "
                     "in stats JSON. PPM is uncompressed but universally viewable; convert with "
                     "`convert sheet.ppm sheet.png` for sharing")
          ->type_name("CONTACT_SHEET")
          ->multi_option_policy(once);
  app.add_option("--tile", tile, "Tile size for the contact sheet (default 64)")
      ->type_name("TILE")
      ->capture_default_str()
      ->check(decimal_u32())
      ->multi_option_policy(once);
  app.add_option("--cols", cols, "Tiles per row in the contact sheet (default 10)")
      ->type_name("COLS")
      ->capture_default_str()
      ->check(decimal_u32())
      ->multi_option_policy(once);

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int status = app.exit(e, std::cout, std::cerr);
    return std::unexpected(status == 0 ? 0 : 2);
  }

  cli.portal_dat = portal;
  cli.cell_dat = cell;
  cli.out = out;
  if (sheet_option->count() > 0) cli.contact_sheet = std::filesystem::path(sheet);
  cli.tile = *parse_decimal_u32(tile);
  cli.cols = *parse_decimal_u32(cols);
  return cli;
}

}  // namespace tools
