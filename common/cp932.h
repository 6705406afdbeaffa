#pragma once
// Code page 932 (Shift-JIS), the encoding of entry names and of every text
// the Windows program shows, to and from UTF-8.
//
// Bytes that are no character take one of two forms. For people to read
// they are shown as the four characters \xNN, which do not come back as
// the byte (a name may hold "\x41" itself). Across a UTF-8 seam that must
// give the bytes back they are carried as the code points U+DC00 + byte:
// lone surrogates, which no real text holds.

#include <string>
#include <string_view>

namespace kowaki {

// Code page 932 to UTF-8 for people to read: what ShownText makes of the
// decoded text, so a byte that starts no valid character and a control
// character (C0, DEL, C1) both appear as \xNN.
std::string Cp932ToUtf8(std::string_view bytes);
// UTF-8 to code page 932, carried bytes becoming their bytes again. False
// when a character has no code page 932 form or the text is not UTF-8.
bool Utf8ToCp932(std::string_view utf8, std::string* bytes);

// UTF-8 as a terminal may print it: each control character (C0, DEL and
// C1), carried byte and byte that is not UTF-8 written as \xNN (the code
// point for a control, else the byte), so nothing moves the cursor or
// changes the terminal's state.
std::string ShownText(std::string_view utf8);

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
