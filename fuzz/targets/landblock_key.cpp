// tools::parse_landblock_key against a restatement of its rules in other terms: the value is
// decided by where the first non-digit stands relative to the ninth significant digit.

#include <string>
#include <string_view>

#include "cli.hpp"
#include "fuzz_input.hpp"

namespace {

struct Expected {
  const char* cause = nullptr;  // nullptr: success
  std::uint16_t key = 0;
};

bool is_hex(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

Expected restate(std::string_view text) {
  std::size_t at = 0;
  while (text.substr(at, 2) == "0x") at += 2;
  while (text.substr(at, 2) == "0X") at += 2;
  text.remove_prefix(at);
  if (text.empty()) return {"cannot parse integer from empty string"};
  if (text[0] == '+') text.remove_prefix(1);
  if (text.empty()) return {"invalid digit found in string"};

  std::size_t bad = 0;  // index of the first character that is not a digit
  while (bad < text.size() && is_hex(text[bad])) ++bad;
  std::size_t zeros = 0;
  while (zeros < text.size() && text[zeros] == '0') ++zeros;
  // A u32 holds eight significant digits; reading the ninth overflows.
  const std::size_t ninth = zeros + 8;
  if (bad < text.size() && bad <= ninth) return {"invalid digit found in string"};
  if (text.size() > ninth) return {"number too large to fit in target type"};
  // The key is the value's low 16 bits: its last four digits.
  const std::string last4(text.substr(text.size() > 4 ? text.size() - 4 : 0));
  return {nullptr, static_cast<std::uint16_t>(std::stoul(last4, nullptr, 16))};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto got = tools::parse_landblock_key(text);
  const Expected want = restate(text);
  if (want.cause == nullptr) {
    FUZZ_CHECK(got.has_value() && *got == want.key);
  } else {
    FUZZ_CHECK(!got.has_value());
    FUZZ_CHECK(got.error().message == "parse hex landblock");
    FUZZ_CHECK(got.error().causes.size() == 1 && got.error().causes[0] == want.cause);
  }
  return 0;
}
