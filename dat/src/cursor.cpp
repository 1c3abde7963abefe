#include "dat/cursor.hpp"

#include <fmt/format.h>

namespace dat {

std::string ReadError::kind_text() const {
  switch (kind) {
    case ReadErrorKind::EndOfData:
      return raw_bytes ? "not enough bytes in reader" : "failed to fill whole buffer";
    case ReadErrorKind::InvalidData:
      return fmt::format("{} at 0x{:x}", message, position);
    case ReadErrorKind::Io:
      return message;
  }
  return {};
}

std::string ReadError::text() const {
  std::string out = kind_text();
  for (const auto& frame : context) {
    out += '\n';
    out += frame.message;
  }
  return out;
}

void ReadError::add_context(std::string_view field, std::string_view record,
                            std::source_location loc) {
  context.push_back(ReadContext{fmt::format("While parsing field '{}' in {}", field, record),
                                loc.file_name(), loc.line()});
}

}  // namespace dat
