#pragma once
// The error type of the archive operations, and the operating-system I/O error it wraps.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <variant>

#include "dat/cursor.hpp"

namespace dat {

// An I/O failure: an operating-system error number, or one of the two short-transfer cases.
struct IoError {
  enum class Kind { Os, UnexpectedEof, WriteZero };
  Kind kind = Kind::Os;
  int code = 0;  // errno, for Kind::Os

  static IoError from_errno(int code) { return IoError{Kind::Os, code}; }
  static IoError unexpected_eof() { return IoError{Kind::UnexpectedEof, 0}; }
  static IoError write_zero() { return IoError{Kind::WriteZero, 0}; }

  // The C library's strerror text, or "failed to fill whole buffer" /
  // "failed to write whole buffer".
  std::string text() const;
};

// The display form of a path: its bytes read as UTF-8, each maximal invalid
// subpart replaced by U+FFFD.
std::string display_path(const std::filesystem::path& path);

struct DatError {
  struct Io { IoError error; };
  struct BinRead { ReadError error; };
  struct NotFound { std::uint32_t id; };
  struct DuplicateId { std::uint32_t id; };
  struct DuplicateNamespacedId { std::string namespace_; std::uint32_t file_id; };
  struct InvalidMagic { std::string format; };
  struct UnsupportedVersion { std::uint32_t version; };
  struct InvalidNamespace { std::string namespace_; };
  struct Corruption { std::string what; };
  struct DecompressionFailed { std::uint32_t id; };
  struct PathError { std::filesystem::path path; IoError source; };
  struct Other { std::string what; };

  using Variant = std::variant<Io, BinRead, NotFound, DuplicateId, DuplicateNamespacedId,
                               InvalidMagic, UnsupportedVersion, InvalidNamespace, Corruption,
                               DecompressionFailed, PathError, Other>;
  Variant value;

  // Conversions from the wrapped error types.
  DatError(IoError e) : value(Io{e}) {}              // NOLINT(google-explicit-constructor)
  DatError(ReadError e) : value(BinRead{std::move(e)}) {}  // NOLINT(google-explicit-constructor)
  template <class V>
    requires std::is_constructible_v<Variant, V&&>
  DatError(V&& v) : value(std::forward<V>(v)) {}  // NOLINT(google-explicit-constructor)

  // Display form.
  std::string message() const;
  // Text of the wrapped error (Io, BinRead, PathError), else nothing.
  std::optional<std::string> cause() const;
  // Diagnostic form: the variant's name and payload.
  std::string debug() const;
};

template <class T>
using DatResult = std::expected<T, DatError>;

}  // namespace dat
