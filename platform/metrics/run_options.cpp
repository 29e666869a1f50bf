#include "platform/metrics/run_options.h"

#include "platform/metrics/metrics_endpoint.h"

std::optional<RunOptions> ParseRunOptions(const std::vector<std::string>& args, std::string& error) {
  RunOptions options;
  bool metricsGiven = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--headless" && !options.headless) {
      options.headless = true;
      continue;
    }
    bool inlineValue = arg.rfind("--metrics=", 0) == 0;
    if ((arg != "--metrics" && !inlineValue) || metricsGiven) {
      error = "unexpected argument \"" + arg + "\"";
      return std::nullopt;
    }
    if (!inlineValue && i + 1 == args.size()) {
      error = "--metrics needs an address HOST:PORT";
      return std::nullopt;
    }
    std::string address = inlineValue ? arg.substr(sizeof "--metrics=" - 1) : args[++i];
    if (!metrics::ValidAddress(address)) {
      error = "--metrics needs an address HOST:PORT with a port of 1 to 65535, not \"" + address + "\"";
      return std::nullopt;
    }
    options.metrics = address;
    metricsGiven = true;
  }
  return options;
}
