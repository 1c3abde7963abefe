#include <cstdio>

#include "cli.hpp"
#include "report.hpp"
#include "run.hpp"

int main(int argc, char** argv) {
  auto cli = tools::parse_cli(argc, argv);
  if (!cli) return cli.error();

  auto report = [](const tools::Failure& f) {
    std::fputs(tools::format_report(f).c_str(), stderr);
    return 1;
  };
  const auto key = tools::parse_landblock_key(cli->landblock);
  if (!key) return report(key.error());
  if (auto done = tools::run(*cli, *key); !done) return report(done.error());
  return 0;
}
