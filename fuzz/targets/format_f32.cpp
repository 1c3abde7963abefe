// tools::format_f32 on every float of the input (4 bytes each): the text reads back to the
// same bits, no string of fewer significant digits reads back to them, and the layout rule
// matches the decimal exponent.

#include <bit>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz_input.hpp"
#include "json_writer.hpp"

namespace {

bool reads_back(const std::string& text, std::uint32_t bits) {
  char* end = nullptr;
  const float back = std::strtof(text.c_str(), &end);
  return *end == '\0' && std::bit_cast<std::uint32_t>(back) == bits;
}

// The significant digits of a JSON number and its decimal exponent (value = d1.d2... × 10^e).
struct Decimal {
  std::string digits;
  int exponent = 0;
};

Decimal decimal_of(const std::string& text) {
  std::size_t i = text[0] == '-' ? 1 : 0;
  std::string mantissa;
  int point = -1;  // digits before the point
  for (; i < text.size() && text[i] != 'e'; ++i) {
    if (text[i] == '.') {
      point = static_cast<int>(mantissa.size());
    } else {
      mantissa += text[i];
    }
  }
  if (point < 0) point = static_cast<int>(mantissa.size());
  int exp10 = i < text.size() ? std::atoi(text.c_str() + i + 1) : 0;
  const std::size_t first = mantissa.find_first_not_of('0');
  const std::size_t last = mantissa.find_last_not_of('0');
  Decimal d;
  d.digits = mantissa.substr(first, last - first + 1);
  d.exponent = exp10 + point - 1 - static_cast<int>(first);
  return d;
}

// The decimals of `digits` significant digits just below and just above |value| (the
// bracket of candidates that could read back), as exponent-form texts.
std::pair<std::string, std::string> bracket(float value, int digits) {
  // A double holds the float exactly, and 120 digits print it exactly.
  char exact[160];
  std::snprintf(exact, sizeof exact, "%.120e", std::fabs(static_cast<double>(value)));
  const std::string s(exact);
  const std::size_t e = s.find('e');
  std::string all = s.substr(0, 1) + s.substr(2, e - 2);
  const int exp10 = std::atoi(s.c_str() + e + 1);
  std::string low = all.substr(0, static_cast<std::size_t>(digits));
  std::string high = low;
  int high_exp = exp10;
  int k = digits - 1;
  while (k >= 0 && high[static_cast<std::size_t>(k)] == '9') high[static_cast<std::size_t>(k--)] = '0';
  if (k < 0) {
    high.insert(high.begin(), '1');
    high.pop_back();
    ++high_exp;
  } else {
    ++high[static_cast<std::size_t>(k)];
  }
  const std::string sign = std::signbit(value) ? "-" : "";
  const auto text = [&](const std::string& m, int exp) {
    return sign + m.substr(0, 1) + (m.size() > 1 ? "." + m.substr(1) : "") + "e" +
           std::to_string(exp);
  };
  return {text(low, exp10), text(high, high_exp)};
}

void check(float value) {
  const std::uint32_t bits = std::bit_cast<std::uint32_t>(value);
  const std::string text = tools::format_f32(value);
  if (!std::isfinite(value)) {
    FUZZ_CHECK(text == "null");
    return;
  }
  FUZZ_CHECK(reads_back(text, bits));
  if (value == 0.0f) {
    FUZZ_CHECK(text == (std::signbit(value) ? "-0.0" : "0.0"));
    return;
  }
  const Decimal d = decimal_of(text);
  const int n = static_cast<int>(d.digits.size());
  const bool exponent_form = text.find('e') != std::string::npos;
  FUZZ_CHECK(exponent_form == (d.exponent < -6 || d.exponent > 12));
  if (!exponent_form) FUZZ_CHECK(text.find('.') != std::string::npos);
  if (n > 1) {
    const auto [low, high] = bracket(value, n - 1);
    FUZZ_CHECK(!reads_back(low, bits));
    FUZZ_CHECK(!reads_back(high, bits));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::Input in(data, size);
  while (in.remaining() >= 4) check(std::bit_cast<float>(in.u32()));
  return 0;
}
