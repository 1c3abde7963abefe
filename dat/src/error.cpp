#include "dat/error.hpp"

#include <fmt/format.h>

#include <cstring>

namespace dat {

namespace {

template <class... F>
struct Overloaded : F... {
  using F::operator()...;
};
// Spelled out for compilers without aggregate deduction (clang before 17).
template <class... F>
Overloaded(F...) -> Overloaded<F...>;

}  // namespace

std::string IoError::text() const {
  switch (kind) {
    case Kind::UnexpectedEof:
      return "failed to fill whole buffer";
    case Kind::WriteZero:
      return "failed to write whole buffer";
    case Kind::Os:
      break;
  }
  return std::strerror(code);
}

std::string display_path(const std::filesystem::path& path) {
  const std::string& s = path.native();
  std::string out;
  out.reserve(s.size());
  const auto* p = reinterpret_cast<const unsigned char*>(s.data());
  const std::size_t n = s.size();
  std::size_t i = 0;
  while (i < n) {
    const unsigned char c = p[i];
    if (c < 0x80) {
      out += static_cast<char>(c);
      ++i;
      continue;
    }
    // Length of the sequence and the allowed range of its second byte.
    std::size_t len = 0;
    unsigned char lo = 0x80, hi = 0xBF;
    if (c >= 0xC2 && c <= 0xDF) {
      len = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
      len = 3;
      if (c == 0xE0) lo = 0xA0;
      if (c == 0xED) hi = 0x9F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      len = 4;
      if (c == 0xF0) lo = 0x90;
      if (c == 0xF4) hi = 0x8F;
    }
    if (len == 0) {
      out += "\xEF\xBF\xBD";
      ++i;
      continue;
    }
    // Take the longest valid prefix; an incomplete one is one maximal subpart.
    std::size_t k = 1;
    while (k < len && i + k < n) {
      const unsigned char b = p[i + k];
      const unsigned char l = k == 1 ? lo : 0x80;
      const unsigned char h = k == 1 ? hi : 0xBF;
      if (b < l || b > h) break;
      ++k;
    }
    if (k == len) {
      out.append(s, i, len);
    } else {
      out += "\xEF\xBF\xBD";
    }
    i += k;
  }
  return out;
}

std::string DatError::message() const {
  return std::visit(
      Overloaded{
          [](const Io& e) { return fmt::format("IO error: {}", e.error.text()); },
          [](const BinRead& e) { return fmt::format("Binary read error: {}", e.error.text()); },
          [](const NotFound& e) { return fmt::format("File ID {:08X} not found in provider", e.id); },
          [](const DuplicateId& e) { return fmt::format("Duplicate File ID {:08X} detected", e.id); },
          [](const DuplicateNamespacedId& e) {
            return fmt::format("Duplicate namespaced file {}:{:08X} detected", e.namespace_,
                               e.file_id);
          },
          [](const InvalidMagic& e) { return fmt::format("Invalid magic for format: {}", e.format); },
          [](const UnsupportedVersion& e) {
            return fmt::format("Unsupported version: {}", e.version);
          },
          [](const InvalidNamespace& e) {
            return fmt::format("Invalid namespace: {}", e.namespace_);
          },
          [](const Corruption& e) { return fmt::format("Corruption detected: {}", e.what); },
          [](const DecompressionFailed& e) {
            return fmt::format("Failed to recover compressed file {:08X}", e.id);
          },
          [](const PathError& e) {
            return fmt::format("Failed to open file at {}: {}", display_path(e.path),
                               e.source.text());
          },
          [](const Other& e) { return fmt::format("Other error: {}", e.what); },
      },
      value);
}

std::optional<std::string> DatError::cause() const {
  if (const auto* e = std::get_if<Io>(&value)) return e->error.text();
  if (const auto* e = std::get_if<BinRead>(&value)) return e->error.text();
  if (const auto* e = std::get_if<PathError>(&value)) return e->source.text();
  return std::nullopt;
}

std::string DatError::debug() const {
  return std::visit(
      Overloaded{
          [](const Io& e) { return fmt::format("Io({:?})", e.error.text()); },
          [](const BinRead& e) { return fmt::format("BinRead({:?})", e.error.text()); },
          [](const NotFound& e) { return fmt::format("NotFound({})", e.id); },
          [](const DuplicateId& e) { return fmt::format("DuplicateId({})", e.id); },
          [](const DuplicateNamespacedId& e) {
            return fmt::format("DuplicateNamespacedId {{ namespace: {:?}, file_id: {} }}",
                               e.namespace_, e.file_id);
          },
          [](const InvalidMagic& e) { return fmt::format("InvalidMagic({:?})", e.format); },
          [](const UnsupportedVersion& e) {
            return fmt::format("UnsupportedVersion({})", e.version);
          },
          [](const InvalidNamespace& e) {
            return fmt::format("InvalidNamespace({:?})", e.namespace_);
          },
          [](const Corruption& e) { return fmt::format("Corruption({:?})", e.what); },
          [](const DecompressionFailed& e) {
            return fmt::format("DecompressionFailed({})", e.id);
          },
          [](const PathError& e) {
            return fmt::format("PathError {{ path: {:?}, source: {:?} }}", display_path(e.path),
                               e.source.text());
          },
          [](const Other& e) { return fmt::format("Other({:?})", e.what); },
      },
      value);
}

}  // namespace dat
