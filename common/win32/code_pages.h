#pragma once
// Windows code page conversions through UTF-16, for the Windows-only files.

#include <windows.h>

#include <string>
#include <string_view>

namespace kowaki::win32 {

// Converts all of `text` from code page `from` to code page `to`,
// appending to `out`. False (and nothing appended) when a byte is invalid
// in `from` or a character has no exact form in `to`.
bool Recode(UINT from, UINT to, std::string_view text, std::string* out);

}  // namespace kowaki::win32
