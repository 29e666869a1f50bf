#include "sim/modem/pty_link.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace modemsim {

std::unique_ptr<PtyLink> PtyLink::Create(const std::string& deviceDir, int com, std::string& error) {
  std::unique_ptr<PtyLink> pty(new PtyLink);
  auto fail = [&](const std::string& what) {
    error = what + ": " + std::strerror(errno);
    return nullptr;
  };
  pty->master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (pty->master_ < 0) return fail("posix_openpt");
  if (::grantpt(pty->master_) != 0 || ::unlockpt(pty->master_) != 0) return fail("grantpt/unlockpt");
  char name[128];
  if (::ptsname_r(pty->master_, name, sizeof name) != 0) return fail("ptsname_r");
  pty->slavePath_ = name;
  pty->slave_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (pty->slave_ < 0) return fail("open " + pty->slavePath_);
  // A serial line passes bytes untouched; a terminal's defaults would echo
  // the modem's replies back to it and turn CR into LF.
  termios tio{};
  ::tcgetattr(pty->slave_, &tio);
  ::cfmakeraw(&tio);
  ::tcsetattr(pty->slave_, TCSANOW, &tio);
  ::fcntl(pty->master_, F_SETFL, ::fcntl(pty->master_, F_GETFL) | O_NONBLOCK);
  pty->watch_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (pty->watch_ < 0 || ::inotify_add_watch(pty->watch_, name, IN_OPEN | IN_CLOSE) < 0)
    return fail("inotify on " + pty->slavePath_);

  std::error_code ec;
  std::filesystem::create_directories(deviceDir, ec);
  if (ec) {
    error = "cannot create " + deviceDir + ": " + ec.message();
    return nullptr;
  }
  std::string link = deviceDir + "/COM" + std::to_string(com);
  // A link left by a simulator that died is replaced; anything else is not ours.
  if (std::filesystem::is_symlink(link, ec)) std::filesystem::remove(link, ec);
  if (::symlink(pty->slavePath_.c_str(), link.c_str()) != 0) return fail("symlink " + link);
  pty->linkPath_ = link;
  return pty;
}

void PtyLink::TrackClients() {
  alignas(inotify_event) char buffer[4096];
  ssize_t n;
  while ((n = ::read(watch_, buffer, sizeof buffer)) > 0) {
    for (char* p = buffer; p < buffer + n;) {
      auto* event = reinterpret_cast<inotify_event*>(p);
      if (event->mask & IN_OPEN) ++clients_;
      if ((event->mask & IN_CLOSE) && clients_ > 0 && --clients_ == 0) ::ioctl(slave_, TIOCNXCL);
      p += sizeof(inotify_event) + event->len;
    }
  }
}

PtyLink::~PtyLink() {
  std::error_code ec;
  if (!linkPath_.empty() && std::filesystem::read_symlink(linkPath_, ec) == slavePath_)
    std::filesystem::remove(linkPath_, ec);
  if (watch_ >= 0) ::close(watch_);
  if (slave_ >= 0) ::close(slave_);
  if (master_ >= 0) ::close(master_);
}

}  // namespace modemsim
