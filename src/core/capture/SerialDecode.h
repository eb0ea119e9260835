// Turning one serial read into a queue entry. Plain standard C++.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
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
// is not, the whole burst reads exactly u"Error", which the dispatch thread
// reports as bad serial data. No bytes give an empty text.
std::u16string DecodeBurst(const uint8_t* bytes, size_t n, const IsLayoutKey& isLayoutKey);

// The entry the reader queues when the line is lost (a read failed: the port
// went away, or its device was unplugged). No burst reads so: the characters
// of a burst are at most U+00FF.
inline const std::u16string kLineLostEntry = u"\uFFFFline lost";

// What the reader does with the bytes of one read. An empty read (the read
// time-out passed in silence) does nothing. Otherwise the decoded text is
// traced, and queued on the serial queue as it is, terminators included, unless
// nothing but blanks and control characters is in it.
void AcceptBurst(const uint8_t* bytes, size_t n, const IsLayoutKey& isLayoutKey, CodeQueues& queues);

}  // namespace veltra
