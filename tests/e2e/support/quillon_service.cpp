#include "tests/e2e/support/quillon_service.h"

#include <netinet/in.h>
#include <stdexcept>
#include <stdlib.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

bool Listening(int port) {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bool connected = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  close(fd);
  return connected;
}

}  // namespace

QuillonService::QuillonService(int com, const std::string& timeScale, std::vector<std::string> options) {
  char pattern[] = "/tmp/quillon-XXXXXX";
  if (mkdtemp(pattern) == nullptr) throw std::runtime_error("mkdtemp failed");
  scratch_ = pattern;
  sim_ = std::make_unique<ModemSim>(com);
  port_ = FreeLoopbackPort();
  env_ = {{"QUILLON_REGISTRY", (scratch_ / "registry").string()},
          {"QUILLON_USER_REGISTRY", (scratch_ / "user-registry").string()},
          {"QUILLON_UNIT_DIR", (scratch_ / "units").string()},
          {"QUILLON_STATE_DIR", (scratch_ / "state").string()},
          {"QUILLON_DEVICE_DIR", sim_->deviceDir().string()},
          {"QUILLON_TIME_SCALE", timeScale},
          {"QUILLON_SERVICE_PORT", std::to_string(port_)}};
  {
    ChildProcess registration({BinDir() + "/Quillon", "-RegServer"}, env_);
    if (registration.Stop(0, std::chrono::seconds(10)) != 0) throw std::runtime_error("Quillon -RegServer failed");
  }
  std::vector<std::string> command{BinDir() + "/Quillon", "--port", std::to_string(port_)};
  command.insert(command.end(), options.begin(), options.end());
  process_ = std::make_unique<ChildProcess>(command, env_, (scratch_ / "quillon.log").string());
  if (!WaitUntil([this] { return Listening(port_); }, 10)) throw std::runtime_error("Quillon did not listen");
}

QuillonService::~QuillonService() {
  process_.reset();
  sim_.reset();
  std::error_code ignored;
  std::filesystem::remove_all(scratch_, ignored);
}
