// Line speeds that have no termios constant (14400, 56000, 128000, 256000 and
// the like). Apart from the port: the kernel's own termios declarations, which
// this needs, cannot share a unit with <termios.h>.
#pragma once

#include <cstdint>

namespace veltra {

// Sets the open terminal's input and output speed to `rate` bits per second,
// whatever the rate; the rest of the line stays as it is. False when the
// system or the device refused, or this system has no way to ask.
bool SetAnyLineSpeed(int fd, uint32_t rate) noexcept;

}  // namespace veltra
