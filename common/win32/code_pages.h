#pragma once
// Windows code page conversions through UTF-16, for the Windows-only files.
//
// The Windows build passes paths and texts between its parts in UTF-8 and
// calls the system's wide (UTF-16) functions, so that nothing depends on
// the code page the system is set to. Entry names stay code page 932
// bytes until a face shows them or names a file after them (Cp932Text).

#include <windows.h>

#include <string>
#include <string_view>

namespace kowaki::win32 {

// Converts all of `text` from code page `from` to code page `to`,
// appending to `out`. False (and nothing appended) when a byte is invalid
// in `from` or a character has no exact form in `to`.
bool Recode(UINT from, UINT to, std::string_view text, std::string* out);

// UTF-8 to UTF-16 and back (a lone surrogate becomes U+FFFD).
std::wstring Wide(std::string_view utf8);
std::string Utf8(std::wstring_view wide);
// Code page 932 bytes in UTF-8 as a Japanese system's ANSI functions read
// them, whatever this system's code page: a name looks the same and a file
// named after it gets the same name there. A byte that is no character
// becomes the table's stand-in, so two names may read alike (OutputNames
// keeps their files apart).
std::string Cp932Text(std::string_view bytes);

}  // namespace kowaki::win32
