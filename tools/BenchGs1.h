// The bench's report of a GS1 code (a marking code): its fields and problems
// as the splitter finds them (Gs1.h), in the bench's language, as lines and
// as JSON; and the check command, which reports a pasted code.
#pragma once

#include <string>
#include <vector>

#include "Gs1.h"

namespace veltra::bench {

// "  (01) 04607012345677  check digit ok", a line a field, then a line a
// problem: "  missing GS after (21)? (91) starts inside it".
std::vector<std::u16string> Gs1Lines(const Gs1Split& split);

// The members that end an event's JSON object:
// ,"gs1":[{"ai":"01","value":"..."},...],"gs1_problems":["..."]
std::u16string Gs1Json(const Gs1Split& split);

// Prints the report of `code` (with --json one object on stdout, with the
// code as "data"). Throws BenchError (kCodeProblem) when it has a problem.
void CheckCode(const std::u16string& code);

}  // namespace veltra::bench
