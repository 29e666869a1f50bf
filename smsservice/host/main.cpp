// Quillon, the SMS service.
#include <cstdio>
#include <string>
#include <vector>

#include "platform/service/win_error.h"
#include "quillon_version.h"
#include "smsservice/host/command_line.h"
#include "smsservice/host/host_platform.h"
#include "smsservice/host/quillon_module.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  // Before the verbs and options: any other word would start the service.
  for (const std::string& arg : args) {
    if (arg == "--version") {
      std::printf("Quillon %s\n", kQuillonVersion);
      return 0;
    }
  }
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
  CQuillonModule module(MakeLinuxHostPlatform(), *options);
  return module.WinMain(args);
}
