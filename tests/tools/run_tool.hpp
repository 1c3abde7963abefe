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

namespace testing_support {

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

// A fresh directory under the system's temporary folder, removed on destruction.
class TempDir {
 public:
  TempDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "qvtest-XXXXXX").string();
    path_ = ::mkdtemp(tmpl.data());
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

// Runs the tool with `args` in working directory `cwd` (or the current one).
inline ToolRun run_tool(const std::vector<std::string>& args,
                        const std::filesystem::path& cwd = {}) {
  TempDir io;
  std::string cmd;
  if (!cwd.empty()) cmd.append("cd ").append(shell_quote(cwd.string())).append(" && ");
  cmd.append(shell_quote(QV_TOOL_BINARY));
  for (const auto& a : args) cmd.append(" ").append(shell_quote(a));
  cmd.append(" >").append(shell_quote((io / "out").string()));
  cmd.append(" 2>").append(shell_quote((io / "err").string())).append(" </dev/null");
  const int raw = std::system(cmd.c_str());
  ToolRun r;
  r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  r.out = slurp(io / "out");
  r.err = slurp(io / "err");
  return r;
}

}  // namespace testing_support
