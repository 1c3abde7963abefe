#pragma once
// The run driver: opens both archives and runs the audit's stages in order.

#include <cstdint>
#include <expected>

#include "cli.hpp"
#include "report.hpp"

namespace tools {

std::expected<void, Failure> run(const Cli& cli, std::uint16_t key);

}  // namespace tools
