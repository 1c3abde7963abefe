#pragma once
// The command line of the audit tool and the landblock key conversion.

#include <cstdint>
#include <expected>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "report.hpp"

namespace tools {

struct Cli {
  std::filesystem::path portal_dat = "/home/tolvern/ac_base_dats/client_portal.dat";
  std::filesystem::path cell_dat = "/home/tolvern/ac_base_dats/client_cell_1.dat";
  std::string landblock = "0xA9B4";
  std::filesystem::path out;
  std::optional<std::filesystem::path> contact_sheet;
  std::uint32_t tile = 64;
  std::uint32_t cols = 10;
};

// Parses the command line. The help goes to standard output and a command-line error to
// standard error; in both cases the process's exit status is returned instead of a Cli.
std::expected<Cli, int> parse_cli(int argc, const char* const* argv);

// Turns the landblock text into its 16-bit key (the low half of a hexadecimal u32).
std::expected<std::uint16_t, Failure> parse_landblock_key(std::string_view text);

// Decimal digits only, leading zeros allowed, at most 4294967295.
std::optional<std::uint32_t> parse_decimal_u32(std::string_view text);

}  // namespace tools
