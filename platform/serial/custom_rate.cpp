#include "platform/serial/custom_rate.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace serial {

bool SetCustomRate(int fd, uint32_t baud) {
  struct termios2 tio {};
  if (::ioctl(fd, TCGETS2, &tio) != 0) return false;
  tio.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
  tio.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
  tio.c_ispeed = baud;
  tio.c_ospeed = baud;
  return ::ioctl(fd, TCSETS2, &tio) == 0;
}

uint32_t CurrentRate(int fd) {
  struct termios2 tio {};
  return ::ioctl(fd, TCGETS2, &tio) == 0 ? tio.c_ospeed : 0;
}

}  // namespace serial
