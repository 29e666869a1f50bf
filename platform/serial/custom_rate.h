// Line rates outside the termios table (14400, 56000, 128000 and any other
// a client may name), set through termios2 with BOTHER. Kept apart because
// the kernel's termios2 header cannot share a file with <termios.h>.
#pragma once

#include <cstdint>

namespace serial {

// Sets both directions of the open terminal `fd` to `baud`; false when the
// driver refuses.
bool SetCustomRate(int fd, uint32_t baud);
// The output rate the driver reports, or 0 when it cannot tell.
uint32_t CurrentRate(int fd);

}  // namespace serial
