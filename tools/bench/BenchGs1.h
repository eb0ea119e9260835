// The bench's report of a GS1 code (a marking code): its fields, its GS1
// problems, its marking-code verdict and the hints as the reader finds them
// (gs1/Gs1.h), in the bench's language, as lines and as JSON; and the check
// command, which reports pasted codes.
#pragma once

#include <string>
#include <vector>

#include "BenchOutput.h"
#include "gs1/Gs1.h"

namespace veltra::bench {

// "  (01) 04607012345677  check digit ok", a line a field, then a line a
// problem, the marking-code verdict and the hints:
// "  missing GS after (21)? (91) starts inside it".
std::vector<std::u16string> Gs1Lines(const Gs1Split& split);

// The members that end an event's JSON object:
// ,"gs1":[{"ai":"01","value":"..."},...],"gs1_problems":["..."],"marking_code":"complete"
std::u16string Gs1Json(const Gs1Split& split);

// What follows a code's event with scan --gs1: its split; nothing after an
// event of another kind (a driver error's text is no element string).
EventDetail Gs1Detail(const substitute::HostEvent& event);

// Prints the report of `code` (with --json one object on stdout, with the
// code as "data"). Returns whether the code is sound.
bool CheckCode(const std::u16string& code);

}  // namespace veltra::bench
