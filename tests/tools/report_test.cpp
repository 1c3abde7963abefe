#include <gtest/gtest.h>

#include "report.hpp"

namespace {

TEST(ErrorReport, Layouts) {
  struct Case {
    tools::Failure failure;
    const char* text;
  };
  const Case cases[] = {
      {{"no causes", {}}, "Error: no causes\n"},
      {{"parse hex landblock", {"invalid digit found in string"}},
       "Error: parse hex landblock\n\nCaused by:\n    invalid digit found in string\n"},
      {{"Binary read error: not enough bytes in reader\nWhile parsing field 'version_string' in DatHeader",
        {"not enough bytes in reader\nWhile parsing field 'version_string' in DatHeader"}},
       "Error: Binary read error: not enough bytes in reader\nWhile parsing field 'version_string' in "
       "DatHeader\n\nCaused by:\n    not enough bytes in reader\n    While parsing field "
       "'version_string' in DatHeader\n"},
      {{"top", {"first", "second\nmore"}},
       "Error: top\n\nCaused by:\n    0: first\n    1: second\n       more\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(tools::format_report(c.failure), c.text);
}

TEST(ErrorReport, TwoDigitNumbersStayRightAligned) {
  tools::Failure f{"m", {}};
  for (int i = 0; i < 11; ++i) f.causes.push_back("c");
  const std::string text = tools::format_report(f);
  EXPECT_NE(text.find("\n    9: c\n   10: c\n"), std::string::npos) << text;
}

}  // namespace
