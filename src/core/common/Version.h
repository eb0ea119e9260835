// The versions the driver reports and its files carry. Plain macros: the
// resource compiler reads this file too.
#pragma once

#define VELTRA_VERSION_MAJOR 1
#define VELTRA_VERSION_MINOR 0
#define VELTRA_VERSION_TEXT "1.0"             // what GetVersion answers
#define VELTRA_COMPONENT_VERSION_TEXT "2000"  // what IInitDone::GetInfo answers
