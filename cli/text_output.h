#pragma once
// Text for the terminal and for machine-readable output. Entry names stay
// bytes in code page 932 everywhere else; they are decoded only here.

#include <cstdio>
#include <string>
#include <string_view>

namespace kowaki::cli {

// Code page 932 to UTF-8; a byte that starts no valid character becomes
// the four characters \xNN.
std::string Cp932ToUtf8(std::string_view bytes);
// The inverse: UTF-8 to code page 932, with \xNN taken as the byte NN so
// names shown by Cp932ToUtf8 come back unchanged. False when a character
// has no code page 932 form or the text is not UTF-8.
bool Utf8ToCp932(std::string_view utf8, std::string* bytes);

// A file name from the command line (or an entry name) as UTF-8 for output.
std::string PathForDisplay(std::string_view path);
// The archive entry name for a file stem given on the command line.
bool EntryNameFromStem(std::string_view stem, std::string* name);

std::string JsonString(std::string_view utf8);  // quoted and escaped
std::string HexBytes(std::string_view bytes);   // lowercase, no separators

// Writes UTF-8 text to a terminal or file in the form the platform's
// console expects.
void PrintText(std::FILE* out, std::string_view utf8);

// Platform layer: one character at a time.
namespace platform {
// Converts exactly `bytes` (one character) from code page 932 to UTF-8.
bool Cp932CharToUtf8(std::string_view bytes, std::string* utf8);
// Converts exactly one UTF-8 character to code page 932.
bool Utf8CharToCp932(std::string_view utf8_char, std::string* bytes);
}  // namespace platform

}  // namespace kowaki::cli
