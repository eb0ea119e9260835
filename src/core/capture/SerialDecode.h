// Turning one serial read into a queue entry. Plain standard C++.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "core/capture/CodeQueues.h"

namespace veltra {

// Whether a byte is a key of the keyboard layout now in use. The Windows glue
// asks MapVirtualKeyW(byte, 0), (byte, 1) and (byte, 2), in that order, and
// answers true at the first non-zero result. On Linux no layout stands behind
// a serial port: IsSevenBitCode (PosixSerialPort.h) takes the 7-bit codes.
using IsLayoutKey = std::function<bool(uint8_t byte)>;

// The text of one burst: each byte becomes the character of the same code
// (0..255, no code page), so a zero byte stays as U+0000. A zero byte is
// always taken; any other byte must be a layout key. At the first byte that
// is not, the burst is unreadable: nothing. No bytes give an empty text.
std::optional<std::u16string> DecodeBurst(const uint8_t* bytes, size_t n, const IsLayoutKey& isLayoutKey);

// What the reader does with the bytes of one read. An empty read (the read
// time-out passed in silence) does nothing. Otherwise the decoded text is
// traced (an unreadable burst as "Error"), and queued on the serial queue: a
// code as it is, terminators included, unless nothing but blanks and control
// characters is in it; an unreadable burst as such.
void AcceptBurst(const uint8_t* bytes, size_t n, const IsLayoutKey& isLayoutKey, CodeQueues& queues);

}  // namespace veltra
