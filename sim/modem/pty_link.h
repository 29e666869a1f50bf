// A pseudo-terminal standing in for the modem's serial port, reachable as
// DIR/COMn: a symbolic link to the terminal's slave side.
#pragma once

#include <memory>
#include <string>

namespace modemsim {

class PtyLink {
 public:
  // Opens the pseudo-terminal and (re)places the link; nullptr with a reason
  // in `error` when either fails.
  static std::unique_ptr<PtyLink> Create(const std::string& deviceDir, int com, std::string& error);
  // Removes the link, unless it has since been pointed elsewhere.
  ~PtyLink();
  PtyLink(const PtyLink&) = delete;
  PtyLink& operator=(const PtyLink&) = delete;

  // The modem's end, non-blocking.
  int master() const { return master_; }
  const std::string& linkPath() const { return linkPath_; }

  // Readable when clients open or close the port; then call
  // TrackClients(), which reads those events.
  int clientWatch() const { return watch_; }
  void TrackClients();

 private:
  PtyLink() = default;

  int master_ = -1;
  // Held open for the simulator's whole life: while any slave descriptor is
  // open, the master never reads EIO or reports a hang-up, however often
  // clients open and close the port.
  int slave_ = -1;
  std::string slavePath_;
  // A serial port forgets a client's exclusive mode (TIOCEXCL) at its last
  // close; our own open slave prevents that last close, so the simulator
  // clears the mode itself once every client has closed the port. Without
  // this only a process with CAP_SYS_ADMIN could reopen it.
  int watch_ = -1;
  int clients_ = 0;
  std::string linkPath_;
};

}  // namespace modemsim
