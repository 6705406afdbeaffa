#pragma once
// Code page 932 (Shift-JIS), the encoding of entry names and of every text
// the Windows program shows, to and from UTF-8.

#include <string>
#include <string_view>

namespace kowaki {

// Code page 932 to UTF-8; a byte that starts no valid character becomes
// the four characters \xNN.
std::string Cp932ToUtf8(std::string_view bytes);
// The inverse: UTF-8 to code page 932, with \xNN taken as the byte NN so
// names shown by Cp932ToUtf8 come back unchanged. False when a character
// has no code page 932 form or the text is not UTF-8.
bool Utf8ToCp932(std::string_view utf8, std::string* bytes);
// The same, with '?' for what has no code page 932 form.
std::string Utf8ToCp932Lossy(std::string_view utf8);

// Length of the UTF-8 sequence at the start of `text`, or 0 if it starts
// with none (stray, overlong or surrogate bytes).
size_t Utf8SequenceLength(std::string_view text);

// Platform layer: one character at a time.
namespace platform {
// Converts exactly `bytes` (one character) from code page 932 to UTF-8.
bool Cp932CharToUtf8(std::string_view bytes, std::string* utf8);
// Converts exactly one UTF-8 character to code page 932.
bool Utf8CharToCp932(std::string_view utf8_char, std::string* bytes);
}  // namespace platform

}  // namespace kowaki
