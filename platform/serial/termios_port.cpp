#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <syslog.h>
#include <termios.h>
#include <unistd.h>

#include "platform/log/activity_log.h"
#include "platform/serial/custom_rate.h"
#include "platform/serial/serial_port.h"
#include "platform/timescale/timescale.h"

namespace serial {
namespace {

using std::chrono::milliseconds;

speed_t SpeedOf(uint32_t baud) {
  switch (baud) {
    case 1200: return B1200;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    case 230400: return B230400;
    case 460800: return B460800;
    case 921600: return B921600;
    default: return B0;
  }
}

// What a device that went away reports, on a read, a write or a poll.
bool DeviceGone(int error) { return error == EIO || error == ENXIO || error == ENODEV || error == EBADF; }
constexpr short kGoneEvents = POLLHUP | POLLERR | POLLNVAL;

int RemainingMs(timescale::Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<milliseconds>(deadline - timescale::Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

class TermiosPort final : public SerialPort {
 public:
  explicit TermiosPort(const Timeouts& timeouts) : timeouts_(timeouts) {}
  ~TermiosPort() override { Close(); }

  bool Open(const std::string& path, uint32_t baud, Parity parity, int dataBits, StopBits stopBits) override {
    Close();
    if (baud == 0) return false;
    speed_t speed = SpeedOf(baud);
    // Non-blocking open: a port without carrier must not hang the caller.
    int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    // Exclusive: the kernel's own lock for other users, an advisory lock
    // between our own processes (the kernel's does not stop root).
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::ioctl(fd, TIOCEXCL) != 0) {
      ::close(fd);
      return false;
    }
    termios tio{};
    if (::tcgetattr(fd, &tio) != 0) {
      ::close(fd);
      return false;
    }
    // Rate and framing as asked. The line discipline must pass bytes through
    // untouched (no echo, no line editing, no CR/LF mapping), as a serial
    // port does on the platform the driver was written for; flow-control
    // settings stay as they were found.
    bool rtscts = tio.c_cflag & CRTSCTS;
    cfmakeraw(&tio);
    if (rtscts) tio.c_cflag |= CRTSCTS;
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB);
    tio.c_cflag |= dataBits == 7 ? CS7 : dataBits == 6 ? CS6 : dataBits == 5 ? CS5 : CS8;
    if (parity != Parity::None) tio.c_cflag |= PARENB | (parity == Parity::Odd ? PARODD : 0);
    if (stopBits == StopBits::Two) tio.c_cflag |= CSTOPB;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    if (speed != B0) {
      cfsetispeed(&tio, speed);
      cfsetospeed(&tio, speed);
    }
    ::tcsetattr(fd, TCSANOW, &tio);
    // A rate the table lacks is still a rate the client chose: set it
    // directly, or keep the line's speed rather than refuse the modem.
    if (speed == B0 && !SetCustomRate(fd, baud))
      activity_log::Log(LOG_WARNING, "%s: the driver refuses %u baud; the port keeps %u baud", path.c_str(), baud,
                        CurrentRate(fd));
    ::tcflush(fd, TCIOFLUSH);
    fd_ = fd;
    lost_ = false;
    return true;
  }

  void Close() override {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

  bool Lost() override {
    if (fd_ < 0 || lost_) return lost_;
    pollfd pfd{fd_, 0, 0};
    if (::poll(&pfd, 1, 0) > 0 && (pfd.revents & kGoneEvents)) lost_ = true;
    return lost_;
  }

  bool IsOpen() const override { return fd_ >= 0; }

  int Write(const void* bytes, int count) override {
    if (fd_ < 0 || count <= 0) return 0;
    auto deadline =
        timescale::Clock::now() +
        timescale::Real(milliseconds(timeouts_.writeTotalPerByteMs * count + timeouts_.writeTotalConstantMs));
    const char* p = static_cast<const char*>(bytes);
    int written = 0;
    while (written < count) {
      ssize_t n = ::write(fd_, p + written, count - written);
      if (n > 0) {
        written += static_cast<int>(n);
        continue;
      }
      if (n < 0 && errno != EAGAIN && errno != EINTR) {
        lost_ = lost_ || DeviceGone(errno);
        break;
      }
      pollfd pfd{fd_, POLLOUT, 0};
      if (::poll(&pfd, 1, RemainingMs(deadline)) <= 0) break;
      if (pfd.revents & kGoneEvents) {
        lost_ = true;
        break;
      }
    }
    return written;
  }

  bool WaitForInput(milliseconds nominal) override {
    if (fd_ < 0) return false;
    auto deadline = timescale::Clock::now() + timescale::Real(nominal);
    for (;;) {
      pollfd pfd{fd_, POLLIN, 0};
      int ready = ::poll(&pfd, 1, RemainingMs(deadline));
      if (ready > 0) return true;
      if (ready == 0 || errno != EINTR) return false;
    }
  }

  int Read(void* buffer, int count) override {
    if (fd_ < 0 || count <= 0) return 0;
    auto total = milliseconds(timeouts_.readTotalPerByteMs * count + timeouts_.readTotalConstantMs);
    auto deadline = timescale::Clock::now() + timescale::Real(total);
    int intervalMs = static_cast<int>(
        std::chrono::duration_cast<milliseconds>(timescale::Real(milliseconds(timeouts_.readIntervalMs))).count());
    char* p = static_cast<char*>(buffer);
    int got = 0;
    while (got < count) {
      int wait = RemainingMs(deadline);
      if (got > 0 && intervalMs < wait) wait = intervalMs;
      pollfd pfd{fd_, POLLIN, 0};
      int ready = ::poll(&pfd, 1, wait);
      if (ready < 0 && errno == EINTR) continue;
      if (ready <= 0) break;
      ssize_t n = ::read(fd_, p + got, count - got);
      if (n > 0) {
        got += static_cast<int>(n);
      } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
        // Hang-up or error: nothing more comes this call; do not spin.
        lost_ = lost_ || (pfd.revents & kGoneEvents) || (n < 0 && DeviceGone(errno));
        if (got == 0 && !lost_) ::poll(nullptr, 0, wait);
        break;
      }
    }
    return got;
  }

 private:
  Timeouts timeouts_;
  int fd_ = -1;
  bool lost_ = false;
};

}  // namespace

std::unique_ptr<SerialPort> MakeTermiosPort(const Timeouts& timeouts) {
  return std::make_unique<TermiosPort>(timeouts);
}

std::string ResolveDevicePath(const std::string& windowsName) {
  std::string name = windowsName;
  if (name.rfind("\\\\.\\", 0) == 0) name = name.substr(4);
  if (name.size() < 4 || name.compare(0, 3, "COM") != 0) return "";
  std::string digits = name.substr(3);
  if (digits.find_first_not_of("0123456789") != std::string::npos || digits.size() > 3) return "";
  int number = std::atoi(digits.c_str());
  if (number < 1) return "";
  std::string com = "COM" + std::to_string(number);
  if (const char* dir = std::getenv("QUILLON_DEVICE_DIR")) return std::string(dir) + "/" + com;
  std::string link = "/dev/quillon/" + com;
  std::error_code error;
  if (std::filesystem::exists(link, error)) return link;
  return "/dev/ttyS" + std::to_string(number - 1);
}

}  // namespace serial
