#include <gtest/gtest.h>

#include "run_tool.hpp"

namespace {

using testing_support::run_tool;
using testing_support::TempDir;

TEST(CommandLine, HelpGoesToStandardOutput) {
  for (const char* flag : {"-h", "--help"}) {
    const auto r = run_tool({flag});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(r.err.empty());
    for (const char* expected :
         {"--portal-dat", "PORTAL_DAT", "Path to the portal DAT",
          "/home/tolvern/ac_base_dats/client_portal.dat", "--cell-dat", "CELL_DAT",
          "Path to the cell DAT (used to read LandblockInfo + EnvCells)",
          "/home/tolvern/ac_base_dats/client_cell_1.dat", "--landblock", "LANDBLOCK",
          "Landblock packed key (e.g. 0xA9B4 = Brackwater)", "0xA9B4", "--out", "OUT",
          "Output JSON path", "--contact-sheet", "CONTACT_SHEET",
          "Optional PPM contact sheet output path. Each tile is 64\xC3\x97" "64; tile label baked "
          "in stats JSON. PPM is uncompressed but universally viewable; convert with `convert "
          "sheet.ppm sheet.png` for sharing",
          "--tile", "TILE", "Tile size for the contact sheet (default 64)", "--cols", "COLS",
          "Tiles per row in the contact sheet (default 10)"}) {
      EXPECT_NE(r.out.find(expected), std::string::npos) << expected;
    }
  }
}

TEST(CommandLine, UsageErrorsExitTwoAndOpenNothing) {
  TempDir dir;
  const std::string out = (dir.path() / "x.json").string();
  const std::vector<std::vector<std::string>> cases = {
      {},                                          // missing --out
      {"--out"},                                   // missing value
      {"--out", out, "--out", out},                // given twice
      {"--out", out, "--bogus", "1"},              // unknown option
      {"--out", out, "positional"},
      {"--out", out, "--tile", "0x10"},
      {"--out", out, "--tile", "+5"},
      {"--out", out, "--tile", "-1"},
      {"--out", out, "--tile", ""},
      {"--out", out, "--cols", "4294967296"},
      {"--out", out, "--tile=1", "--tile=2"},
      {"--out", out, "-x"},
  };
  for (const auto& args : cases) {
    const auto r = run_tool(args);
    EXPECT_EQ(r.status, 2) << r.err;
    EXPECT_TRUE(r.out.empty());
    EXPECT_FALSE(r.err.empty());
    EXPECT_EQ(r.err.find("Loading"), std::string::npos);
  }
  EXPECT_FALSE(std::filesystem::exists(out));
}

TEST(CommandLine, BadKeyReportsBeforeOpening) {
  struct Case {
    std::vector<std::string> key_args;
    const char* cause;
  };
  const Case cases[] = {
      {{"--landblock", "0xZZ"}, "invalid digit found in string"},
      {{"--landblock", "-1"}, "invalid digit found in string"},
      {{"--landblock=-1"}, "invalid digit found in string"},
      {{"--landblock", "0x"}, "cannot parse integer from empty string"},
      {{"--landblock", "100000000"}, "number too large to fit in target type"},
  };
  TempDir dir;
  for (const auto& c : cases) {
    std::vector<std::string> args = {"--out", (dir.path() / "x.json").string(), "--portal-dat",
                                     (dir.path() / "missing.dat").string()};
    args.insert(args.end(), c.key_args.begin(), c.key_args.end());
    const auto r = run_tool(args);
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.out.empty());
    std::string expected = "Error: parse hex landblock\n\nCaused by:\n    ";
    expected.append(c.cause).append("\n");
    EXPECT_EQ(r.err, expected);
  }
}

}  // namespace
