#include "report.hpp"

#include <fmt/format.h>

namespace tools {

Failure Failure::from(const dat::DatError& e) {
  Failure f{e.message(), {}};
  if (auto c = e.cause()) f.causes.push_back(std::move(*c));
  return f;
}

Failure Failure::with_context(std::string context, const dat::DatError& e) {
  Failure f{std::move(context), {e.message()}};
  if (auto c = e.cause()) f.causes.push_back(std::move(*c));
  return f;
}

Failure Failure::with_context(std::string context, std::string cause) {
  return Failure{std::move(context), {std::move(cause)}};
}

namespace {

// Writes `text` with `indent` in front of every line after the first.
void append_indented(std::string& out, std::string_view text, std::string_view indent) {
  std::size_t start = 0;
  for (;;) {
    const auto nl = text.find('\n', start);
    if (nl == std::string_view::npos) {
      out.append(text.substr(start));
      return;
    }
    out.append(text.substr(start, nl - start + 1));
    out.append(indent);
    start = nl + 1;
  }
}

}  // namespace

std::string format_report(const Failure& f) {
  std::string out = "Error: ";
  out += f.message;
  if (!f.causes.empty()) {
    out += "\n\nCaused by:";
    if (f.causes.size() == 1) {
      out += "\n    ";
      append_indented(out, f.causes.front(), "    ");
    } else {
      for (std::size_t i = 0; i < f.causes.size(); ++i) {
        out += fmt::format("\n{:>5}: ", i);
        append_indented(out, f.causes[i], "       ");
      }
    }
  }
  out += '\n';
  return out;
}

}  // namespace tools
