#include "json_writer.hpp"

#include <fmt/format.h>

#include <charconv>
#include <cmath>

namespace tools {

std::string format_f32(float value) {
  if (!std::isfinite(value)) return "null";
  if (value == 0.0f) return std::signbit(value) ? "-0.0" : "0.0";

  // Shortest round-trip digits in scientific form: [-]d[.ddd]e(+|-)xx
  char buf[64];
  const auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific);
  const std::string_view sci(buf, static_cast<std::size_t>(res.ptr - buf));

  std::string out;
  std::size_t i = 0;
  if (sci[i] == '-') {
    out += '-';
    ++i;
  }
  std::string digits;
  const auto e_pos = sci.find('e');
  for (std::size_t k = i; k < e_pos; ++k)
    if (sci[k] != '.') digits += sci[k];
  int exponent = 0;
  std::from_chars(sci.data() + e_pos + (sci[e_pos + 1] == '+' ? 2 : 1), sci.data() + sci.size(),
                  exponent);
  const int n = static_cast<int>(digits.size());

  if (exponent >= -6 && exponent <= 12 && exponent >= n - 1) {
    out += digits;
    out.append(static_cast<std::size_t>(exponent - n + 1), '0');
    out += ".0";
  } else if (exponent >= 0 && exponent < n - 1) {
    out.append(digits, 0, static_cast<std::size_t>(exponent + 1));
    out += '.';
    out.append(digits, static_cast<std::size_t>(exponent + 1));
  } else if (exponent >= -6 && exponent < 0) {
    out += "0.";
    out.append(static_cast<std::size_t>(-exponent - 1), '0');
    out += digits;
  } else {
    out += digits[0];
    if (n > 1) {
      out += '.';
      out.append(digits, 1);
    }
    out += exponent < 0 ? "e-" : "e+";
    out += std::to_string(exponent < 0 ? -exponent : exponent);
  }
  return out;
}

void append_json_string(std::string& out, std::string_view text) {
  out += '"';
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\b': out += "\\b"; break;
      case '\f': out += "\\f"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          out += fmt::format("\\u00{:02x}", c);
        } else {
          out += ch;
        }
    }
  }
  out += '"';
}

void JsonWriter::before_item() {
  if (after_key_) {
    after_key_ = false;
    return;
  }
  if (levels_.empty()) return;
  Level& level = levels_.back();
  if (!level.empty) out_ += ',';
  level.empty = false;
  out_ += '\n';
  out_.append(2 * levels_.size(), ' ');
}

void JsonWriter::open(char c) {
  before_item();
  out_ += c;
  levels_.push_back(Level{});
}

void JsonWriter::close(char c) {
  const bool empty = levels_.back().empty;
  levels_.pop_back();
  if (!empty) {
    out_ += '\n';
    out_.append(2 * levels_.size(), ' ');
  }
  out_ += c;
}

void JsonWriter::begin_object() { open('{'); }
void JsonWriter::end_object() { close('}'); }
void JsonWriter::begin_array() { open('['); }
void JsonWriter::end_array() { close(']'); }

void JsonWriter::key(std::string_view name) {
  before_item();
  append_json_string(out_, name);
  out_ += ": ";
  after_key_ = true;
}

void JsonWriter::string(std::string_view text) {
  before_item();
  append_json_string(out_, text);
}

void JsonWriter::integer(std::uint64_t number) {
  before_item();
  out_ += std::to_string(number);
}

void JsonWriter::number(float number) {
  before_item();
  out_ += format_f32(number);
}

void JsonWriter::boolean(bool flag) {
  before_item();
  out_ += flag ? "true" : "false";
}

}  // namespace tools
