#pragma once
// Runs the built quorvane-tools binary and captures its exit status and both streams.

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/temp_archive.hpp"

namespace testing_support {

using test_support::TempDir;

struct ToolRun {
  int status = -1;
  std::string out;
  std::string err;
};

inline std::string shell_quote(const std::string& s) {
  std::string q = "'";
  for (const char c : s) {
    if (c == '\'') {
      q += "'\\''";
    } else {
      q += c;
    }
  }
  q += '\'';
  return q;
}

inline std::string slurp(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// Runs the tool with `args` in working directory `cwd` (or the current one).
inline ToolRun run_tool(const std::vector<std::string>& args,
                        const std::filesystem::path& cwd = {}) {
  TempDir io;
  std::string cmd;
  if (!cwd.empty()) cmd.append("cd ").append(shell_quote(cwd.string())).append(" && ");
  cmd.append(shell_quote(QV_TOOL_BINARY));
  for (const auto& a : args) cmd.append(" ").append(shell_quote(a));
  cmd.append(" >").append(shell_quote((io.path() / "out").string()));
  cmd.append(" 2>").append(shell_quote((io.path() / "err").string())).append(" </dev/null");
  const int raw = std::system(cmd.c_str());
  ToolRun r;
  r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  r.out = slurp(io.path() / "out");
  r.err = slurp(io.path() / "err");
  return r;
}

}  // namespace testing_support
