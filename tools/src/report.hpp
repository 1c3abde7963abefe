#pragma once
// A run-ending failure: its message and its causes, outermost first.

#include <string>
#include <vector>

#include "dat/error.hpp"

namespace tools {

struct Failure {
  std::string message;
  std::vector<std::string> causes;

  static Failure from(const dat::DatError& e);
  // A failure with a line of context in front of an error with its own causes.
  static Failure with_context(std::string context, const dat::DatError& e);
  static Failure with_context(std::string context, std::string cause);
};

// "Error: {message}", then "Caused by:" and the causes, each line laid out as the
// report requires; ends with a line feed.
std::string format_report(const Failure& f);

}  // namespace tools
