#include "core/capture/PosixLineSpeed.h"

#if defined(__linux__)
#include <asm/termbits.h>
#include <sys/ioctl.h>
#endif

namespace veltra {

#if defined(__linux__)

// termios2 carries the speed as a number beside the flags, marked BOTHER in
// the speed bits. The input speed bits left zero make the input speed follow
// the output one.
bool SetAnyLineSpeed(int fd, uint32_t rate) noexcept {
    termios2 line{};
    if (::ioctl(fd, TCGETS2, &line) != 0) return false;
    line.c_cflag &= ~static_cast<tcflag_t>(CBAUD | (CBAUD << IBSHIFT));
    line.c_cflag |= static_cast<tcflag_t>(BOTHER);
    line.c_ispeed = rate;
    line.c_ospeed = rate;
    return ::ioctl(fd, TCSETS2, &line) == 0;
}

#else

bool SetAnyLineSpeed(int, uint32_t) noexcept { return false; }

#endif

}  // namespace veltra
