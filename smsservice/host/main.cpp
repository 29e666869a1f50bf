// Quillon, the SMS service.
#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "command_line.h"
#include "host_platform.h"
#include "quillon_module.h"
#include "win_error.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  std::string error;
  const auto options = ParseHostOptions(args, &error);
  if (!options) {
    std::fprintf(stderr, "Quillon: %s\n\n%s", error.c_str(), kHostUsage);
    return service::kErrorInvalidParameter;
  }
  if (options->help) {
    std::fputs(kHostUsage, stdout);
    return 0;
  }
  // A client that goes away while being answered must not end the service.
  std::signal(SIGPIPE, SIG_IGN);
  CQuillonModule module(MakeLinuxHostPlatform(), *options);
  return module.WinMain(args);
}
