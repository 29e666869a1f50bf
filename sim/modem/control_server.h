// The TCP side of the control protocol: a listener on 127.0.0.1 and its
// clients, served from the simulator's poll loop. Each complete line a client
// sends is answered with the handler's reply and a newline.
#pragma once

#include <functional>
#include <poll.h>
#include <string>
#include <vector>

namespace modemsim {

class ControlServer {
 public:
  using Handler = std::function<std::string(const std::string& line)>;

  explicit ControlServer(Handler handler) : handler_(std::move(handler)) {}
  ~ControlServer();
  ControlServer(const ControlServer&) = delete;
  ControlServer& operator=(const ControlServer&) = delete;

  // Listens on 127.0.0.1:port; false with a reason in `error`.
  bool Listen(int port, std::string& error);
  // Appends the descriptors to watch, remembering where they start.
  void AddPollFds(std::vector<pollfd>& fds);
  // Accepts, reads, answers and drops clients as `fds` (after poll) says.
  void Service(const std::vector<pollfd>& fds);

 private:
  struct Client {
    int fd;
    std::string in;
    std::string out;
    bool ended = false;  // the client sent its last request; close once answered
    bool failed = false;
  };
  void Read(Client& client);
  void Write(Client& client);

  Handler handler_;
  int listener_ = -1;
  std::vector<Client> clients_;
  size_t firstFd_ = 0;
};

}  // namespace modemsim
