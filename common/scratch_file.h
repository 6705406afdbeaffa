#pragma once
// A file for bytes wanted only while the program runs, such as audio that
// waits for its turn: it has no name anyone sees, and the system removes it
// when it is closed, however the program ends.

#include <cstdio>

namespace kowaki {

// Open for writing and reading back, in the system's folder for temporary
// files; null (with errno) when none can be made.
std::FILE* OpenScratchFile();

}  // namespace kowaki
