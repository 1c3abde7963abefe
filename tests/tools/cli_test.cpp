#include <gtest/gtest.h>

#include "cli.hpp"

namespace {

TEST(LandblockKey, AcceptedForms) {
  struct Case {
    const char* text;
    std::uint16_t key;
  };
  const Case cases[] = {
      {"A9B4", 0xA9B4},     {"a9b4", 0xA9B4},   {"0xA9B4", 0xA9B4},   {"0XA9B4", 0xA9B4},
      {"+A9B4", 0xA9B4},    {"0x0xA9B4", 0xA9B4}, {"00000000A9B4", 0xA9B4}, {"1A9B4", 0xA9B4},
      {"A9B4FFFF", 0xFFFF}, {"0x12", 0x0012},   {"FFFFFFFF", 0xFFFF}, {"0X0XA9B4", 0xA9B4},
  };
  for (const auto& c : cases) {
    const auto key = tools::parse_landblock_key(c.text);
    ASSERT_TRUE(key.has_value()) << c.text;
    EXPECT_EQ(*key, c.key) << c.text;
  }
}

TEST(LandblockKey, FailuresAndTheirCauses) {
  struct Case {
    const char* text;
    const char* cause;
  };
  const Case cases[] = {
      {"", "cannot parse integer from empty string"},
      {"0x", "cannot parse integer from empty string"},
      {"0x0x0X", "cannot parse integer from empty string"},
      {"0X0xA9B4", "invalid digit found in string"},
      {"-1", "invalid digit found in string"},
      {"+", "invalid digit found in string"},
      {"++A9B4", "invalid digit found in string"},
      {" A9B4", "invalid digit found in string"},
      {"A9_B4", "invalid digit found in string"},
      {"0xZZ", "invalid digit found in string"},
      {"100000000", "number too large to fit in target type"},
      {"100000000Z", "number too large to fit in target type"},
      {"Z100000000", "invalid digit found in string"},
  };
  for (const auto& c : cases) {
    const auto key = tools::parse_landblock_key(c.text);
    ASSERT_FALSE(key.has_value()) << c.text;
    EXPECT_EQ(key.error().message, "parse hex landblock");
    EXPECT_EQ(key.error().causes, std::vector<std::string>{c.cause}) << c.text;
  }
}

TEST(DecimalU32, DigitsOnlyWithinRange) {
  EXPECT_EQ(tools::parse_decimal_u32("0"), 0u);
  EXPECT_EQ(tools::parse_decimal_u32("010"), 10u);
  EXPECT_EQ(tools::parse_decimal_u32("4294967295"), 4294967295u);
  EXPECT_EQ(tools::parse_decimal_u32("0004294967295"), 4294967295u);
  for (const char* bad : {"", "4294967296", "0x10", "+5", "-1", " 5", "5 ", "1e3"})
    EXPECT_FALSE(tools::parse_decimal_u32(bad).has_value()) << bad;
}

TEST(ParseCli, DefaultsAndBothValueForms) {
  const char* argv[] = {"quorvane-tools", "--out", "x.json", "--tile=010", "--cols", "0",
                        "--landblock", "-1"};
  const auto cli = tools::parse_cli(8, argv);
  ASSERT_TRUE(cli.has_value());
  EXPECT_EQ(cli->portal_dat, "/home/tolvern/ac_base_dats/client_portal.dat");
  EXPECT_EQ(cli->cell_dat, "/home/tolvern/ac_base_dats/client_cell_1.dat");
  EXPECT_EQ(cli->landblock, "-1");
  EXPECT_EQ(cli->out, "x.json");
  EXPECT_FALSE(cli->contact_sheet.has_value());
  EXPECT_EQ(cli->tile, 10u);
  EXPECT_EQ(cli->cols, 0u);
}

}  // namespace
