#pragma once
// printf-style formatting into a string of whatever length the text needs,
// so a long path or name never gets cut or overruns a buffer.

#include <string>

namespace kowaki {

#if defined(__GNUC__)
__attribute__((format(printf, 1, 2)))
#endif
std::string
FormatText(const char* format, ...);

}  // namespace kowaki
