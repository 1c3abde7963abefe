#pragma once
// A small pretty-printing JSON writer whose output is fixed to the byte: two blanks per
// level, one member or element per line, "{}" and "[]" for empty containers, and 32-bit
// floats in their shortest round-trip form.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tools {

// The shortest decimal digits that read back to the same float, laid out as 64.0, 12.5,
// 0.05, 1e+13, 2.5e-7; null for infinities and NaN.
std::string format_f32(float value);

// Appends `text` quoted, with the JSON escapes.
void append_json_string(std::string& out, std::string_view text);

class JsonWriter {
 public:
  void begin_object();
  void end_object();
  void begin_array();
  void end_array();
  void key(std::string_view name);

  void string(std::string_view text);
  void integer(std::uint64_t number);
  void number(float number);
  void boolean(bool flag);

  std::string take() { return std::move(out_); }

 private:
  // Separator and indentation before a member or an element.
  void before_item();
  void open(char c);
  void close(char c);

  struct Level {
    bool empty = true;
  };
  std::string out_;
  std::vector<Level> levels_;
  bool after_key_ = false;
};

}  // namespace tools
