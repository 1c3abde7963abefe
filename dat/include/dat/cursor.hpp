#pragma once
// The read cursor that every record decoder is handed, and the failure it returns.

#include <cstdint>
#include <cstring>
#include <expected>
#include <source_location>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace dat {

enum class ReadErrorKind {
  EndOfData,    // the data ended inside a value
  InvalidData,  // a decoder rejected a value it had read
  Io,           // the platform failed a read (only when reading straight from a file)
};

// One enclosing field that a failure passed through on its way out.
struct ReadContext {
  std::string message;  // "While parsing field '{}' in {}"
  const char* file = "";
  std::uint_least32_t line = 0;
};

struct ReadError {
  ReadErrorKind kind = ReadErrorKind::EndOfData;
  // EndOfData: true for runs of raw bytes read by count ("not enough bytes in reader").
  bool raw_bytes = false;
  // InvalidData: the decoder's message; Io: the platform's text.
  std::string message;
  // InvalidData: cursor position at which the value was rejected.
  std::uint64_t position = 0;
  // Innermost first.
  std::vector<ReadContext> context;

  static ReadError end_of_data() { return ReadError{}; }
  static ReadError not_enough_bytes() {
    ReadError e;
    e.raw_bytes = true;
    return e;
  }
  static ReadError invalid_data(std::string message, std::uint64_t position) {
    ReadError e;
    e.kind = ReadErrorKind::InvalidData;
    e.message = std::move(message);
    e.position = position;
    return e;
  }

  // The kind's own text, without context.
  std::string kind_text() const;
  // The kind's text followed, for each frame innermost first, by a line feed and the frame.
  std::string text() const;

  void add_context(std::string_view field, std::string_view record,
                   std::source_location loc = std::source_location::current());
};

template <class T>
using ReadResult = std::expected<T, ReadError>;

// Attaches the frame of `field` in `record` to a failed read; passes a success through.
template <class T>
ReadResult<T> in_field(ReadResult<T>&& r, std::string_view field, std::string_view record,
                       std::source_location loc = std::source_location::current()) {
  if (!r) r.error().add_context(field, record, loc);
  return std::move(r);
}

// A read position over the complete bytes of one file. It does not own the bytes.
class RecordCursor {
 public:
  explicit RecordCursor(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

  std::uint64_t position() const { return position_; }
  std::uint64_t remaining() const {
    return position_ >= bytes_.size() ? 0 : bytes_.size() - position_;
  }
  // Moves forward without reading; may move past the end (the next read then fails).
  void skip(std::uint64_t n) { position_ += n; }

  ReadResult<std::uint8_t> read_u8() { return read_le<std::uint8_t>(); }
  ReadResult<std::uint16_t> read_u16() { return read_le<std::uint16_t>(); }
  ReadResult<std::int16_t> read_i16() { return read_le<std::int16_t>(); }
  ReadResult<std::uint32_t> read_u32() { return read_le<std::uint32_t>(); }
  ReadResult<std::int32_t> read_i32() { return read_le<std::int32_t>(); }
  ReadResult<float> read_f32() { return read_le<float>(); }

  // A run of raw bytes, copied out.
  ReadResult<std::vector<std::uint8_t>> read_bytes(std::uint64_t count) {
    if (count > remaining()) return std::unexpected(ReadError::not_enough_bytes());
    const auto* p = bytes_.data() + position_;
    std::vector<std::uint8_t> out(p, p + count);
    position_ += count;
    return out;
  }

 private:
  template <class T>
  ReadResult<T> read_le() {
    if (remaining() < sizeof(T)) return std::unexpected(ReadError::end_of_data());
    T value;
    // The target is little-endian, so the bytes are the value.
    std::memcpy(&value, bytes_.data() + position_, sizeof(T));
    position_ += sizeof(T);
    return value;
  }

  std::span<const std::uint8_t> bytes_;
  std::uint64_t position_ = 0;
};

}  // namespace dat

// Evaluates a ReadResult (or any std::expected) and returns its error from the enclosing
// function on failure; otherwise declares `var` holding the value.
#define DAT_TRY(var, expr)                                        \
  auto var##_result_ = (expr);                                    \
  if (!var##_result_) return std::unexpected(std::move(var##_result_).error()); \
  auto var = std::move(*var##_result_)

// Same, for a read whose value is stored into an existing lvalue.
#define DAT_TRY_SET(lvalue, expr)                                 \
  do {                                                            \
    auto try_result_ = (expr);                                    \
    if (!try_result_) return std::unexpected(std::move(try_result_).error()); \
    (lvalue) = std::move(*try_result_);                           \
  } while (0)
