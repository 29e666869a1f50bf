// Build step: writes the systemd unit the Debian package installs, with the
// code that writes the unit of "Quillon -Service", so that the two are the
// same but for the program's path.
//
//   service_unit <program path> <unit file>
#include <cstdio>
#include <fstream>

#include "platform/service/systemd_unit.h"
#include "smsservice/host/quillon_module.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fputs("usage: service_unit PROGRAM UNIT-FILE\n", stderr);
    return 2;
  }
  const char* name = CQuillonModule::kServiceName;
  const auto execStart = service::ExecStartLine(name, argv[1]);
  if (!execStart) {
    std::fprintf(stderr, "service_unit: not a full program path: %s\n", argv[1]);
    return 2;
  }
  // As the "Service" verb leaves it: described, and started at boot.
  const service::ServiceSettings settings{name, CQuillonModule::kDescription, true};
  std::ofstream unit(argv[2], std::ios::binary | std::ios::trunc);
  unit << service::RenderUnit(name, *execStart, settings);
  unit.close();
  if (!unit) {
    std::fprintf(stderr, "service_unit: cannot write %s\n", argv[2]);
    return 1;
  }
  return 0;
}
