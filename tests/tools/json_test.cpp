#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "audit_document.hpp"
#include "json_writer.hpp"

namespace {

TEST(FormatF32, Layouts) {
  struct Case {
    float value;
    const char* text;
  };
  const Case cases[] = {
      {64.0f, "64.0"},
      {12.5f, "12.5"},
      {0.05f, "0.05"},
      {0.000001f, "0.000001"},
      {1e13f, "1e+13"},
      {1e12f, "1000000000000.0"},
      {2.5e-7f, "2.5e-7"},
      {1e-7f, "1e-7"},
      {1234567.0f, "1234567.0"},
      {std::numeric_limits<float>::max(), "3.4028235e+38"},
      {std::numeric_limits<float>::denorm_min(), "1e-45"},
      {0.0f, "0.0"},
      {-0.0f, "-0.0"},
      {-12.5f, "-12.5"},
      {0.1f, "0.1"},
      {0.3f, "0.3"},
      {125.99999f, "125.99999"},
      {3.529412f, "3.529412"},
      {1.5e13f, "1.5e+13"},
      {-2.5e-7f, "-2.5e-7"},
      {std::numeric_limits<float>::infinity(), "null"},
      {-std::numeric_limits<float>::infinity(), "null"},
      {std::numeric_limits<float>::quiet_NaN(), "null"},
  };
  for (const auto& c : cases) EXPECT_EQ(tools::format_f32(c.value), c.text) << c.value;
}

// Every 65,536th bit pattern reads back to the same float, and no shorter digit string does.
TEST(FormatF32, RoundTripsAndIsShortest) {
  for (std::uint64_t bits = 0; bits <= 0xFFFFFFFFull; bits += 65536 + 7) {
    const float f = std::bit_cast<float>(static_cast<std::uint32_t>(bits));
    const std::string text = tools::format_f32(f);
    if (!std::isfinite(f)) {
      EXPECT_EQ(text, "null");
      continue;
    }
    const float back = std::strtof(text.c_str(), nullptr);
    ASSERT_EQ(std::bit_cast<std::uint32_t>(back), std::bit_cast<std::uint32_t>(f)) << text;
    // Count significant digits and check that one digit fewer cannot round-trip.
    std::string digits;
    for (const char ch : text.substr(0, text.find('e')))
      if (ch >= '0' && ch <= '9') digits += ch;
    const auto first = digits.find_first_not_of('0');
    if (first == std::string::npos) continue;
    const auto last = digits.find_last_not_of('0');
    const int significant = static_cast<int>(last - first + 1);
    if (significant > 1) {
      char buf[64];
      std::snprintf(buf, sizeof buf, "%.*e", significant - 2, static_cast<double>(f));
      EXPECT_NE(std::bit_cast<std::uint32_t>(std::strtof(buf, nullptr)),
                std::bit_cast<std::uint32_t>(f))
          << text << " could be " << buf;
    }
  }
}

TEST(JsonString, Escapes) {
  std::string out;
  tools::append_json_string(out, std::string("a\"b\\c/\b\f\n\r\t\x01\x1f\x7f\xC3\xA9", 16));
  EXPECT_EQ(out, "\"a\\\"b\\\\c/\\b\\f\\n\\r\\t\\u0001\\u001f\x7f\xC3\xA9\"");
}

tools::SurfaceAudit example_row() {
  tools::SurfaceAudit s;
  s.did = "0x08000123";
  s.category = "Stone";
  s.surface_type = 2;
  s.mean_rgb = {0.5f, 0.25f, 0.125f};
  s.std_dev = {0.1f, 0.1f, 0.1f};
  s.luminance = 0.3f;
  s.variance = 0.01f;
  s.dominant_hue = 30.0f;
  s.saturation = 0.75f;
  s.width = 256;
  s.height = 256;
  s.solid = false;
  return s;
}

std::string lines(std::initializer_list<std::pair<int, const char*>> rows) {
  std::string out;
  bool first = true;
  for (const auto& [indent, text] : rows) {
    if (!first) out += '\n';
    first = false;
    out.append(static_cast<std::size_t>(indent), ' ');
    out += text;
  }
  return out;
}

TEST(AuditJson, OneSurfaceDocument) {
  tools::AuditDoc doc;
  doc.landblock = "0xA9B4";
  doc.portal_dat = "/home/tolvern/ac_base_dats/client_portal.dat";
  doc.cell_dat = "/home/tolvern/ac_base_dats/client_cell_1.dat";
  doc.total_surfaces = 1;
  doc.category_counts = {{"Stone", 1}};
  doc.surfaces = {example_row()};
  const std::string expected = lines({
      {0, "{"},
      {2, "\"landblock\": \"0xA9B4\","},
      {2, "\"portal_dat\": \"/home/tolvern/ac_base_dats/client_portal.dat\","},
      {2, "\"cell_dat\": \"/home/tolvern/ac_base_dats/client_cell_1.dat\","},
      {2, "\"total_surfaces\": 1,"},
      {2, "\"category_counts\": {"},
      {4, "\"Stone\": 1"},
      {2, "},"},
      {2, "\"surfaces\": ["},
      {4, "{"},
      {6, "\"did\": \"0x08000123\","},
      {6, "\"category\": \"Stone\","},
      {6, "\"surface_type\": 2,"},
      {6, "\"mean_rgb\": ["},
      {8, "0.5,"},
      {8, "0.25,"},
      {8, "0.125"},
      {6, "],"},
      {6, "\"std_dev\": ["},
      {8, "0.1,"},
      {8, "0.1,"},
      {8, "0.1"},
      {6, "],"},
      {6, "\"luminance\": 0.3,"},
      {6, "\"variance\": 0.01,"},
      {6, "\"dominant_hue\": 30.0,"},
      {6, "\"saturation\": 0.75,"},
      {6, "\"width\": 256,"},
      {6, "\"height\": 256,"},
      {6, "\"solid\": false"},
      {4, "}"},
      {2, "]"},
      {0, "}"},
  });
  EXPECT_EQ(tools::audit_json(doc), expected);
}

TEST(AuditJson, EmptyDocumentAndKeyLayout) {
  const auto doc = tools::build_audit_doc(0x12, "data/p.dat", "c\xFF.dat", {}, {});
  const std::string expected = lines({
      {0, "{"},
      {2, "\"landblock\": \"0x0012\","},
      {2, "\"portal_dat\": \"data/p.dat\","},
      {2, "\"cell_dat\": \"c\xEF\xBF\xBD.dat\","},
      {2, "\"total_surfaces\": 0,"},
      {2, "\"category_counts\": {},"},
      {2, "\"surfaces\": []"},
      {0, "}"},
  });
  EXPECT_EQ(tools::audit_json(doc), expected);
}

TEST(Histogram, ByteOrderAndWidth) {
  const tools::CategoryCounts counts = {
      {"Wood", 3}, {"Stone", 123456789}, {"Snow", 1}, {"Foliage", 2}, {"Dirt", 12345678}};
  EXPECT_EQ(tools::histogram_text(counts),
            "Category histogram:\n"
            "  12345678 Dirt\n"
            "         2 Foliage\n"
            "         1 Snow\n"
            "  123456789 Stone\n"
            "         3 Wood\n");
  EXPECT_EQ(tools::histogram_text({}), "Category histogram:\n");
}

}  // namespace
