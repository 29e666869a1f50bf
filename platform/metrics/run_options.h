// How Heraldo and Vigimon are asked to run their monitoring work: with the
// window or without (--headless), and whether to serve metrics and a status
// page (--metrics HOST:PORT). Their other commands (--version, --export,
// --speak) are told apart before these are read.
#pragma once

#include <optional>
#include <string>
#include <vector>

struct RunOptions {
  bool headless = false;
  // "HOST:PORT" to serve on; empty: no metrics.
  std::string metrics;
};

// "[--headless] [--metrics HOST:PORT]" in either order, "--metrics=HOST:PORT"
// too. Nothing, with `error` saying why, for any other argument, one given
// twice, or an address that is not HOST:PORT.
std::optional<RunOptions> ParseRunOptions(const std::vector<std::string>& args, std::string& error);
