#pragma once
// Text for the terminal and for machine-readable output. Entry names stay
// bytes in code page 932 everywhere else; they are decoded only here.

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "common/cp932.h"

namespace kowaki::cli {

// The arguments after the program's name, in UTF-8 like every path and
// text: on Windows read again from the wide command line, so that no
// name depends on the system's code page.
std::vector<std::string> Utf8Arguments(int argc, char** argv);

// A file name from the command line as UTF-8 for output, shown as
// ShownText shows it.
std::string PathForDisplay(std::string_view path);
// What follows the last separator of `path`: '/' on Linux and macOS; also
// '\' and a drive's ':' on Windows.
std::string_view FileNameOf(std::string_view path);
// The archive entry name for a file stem given on the command line: its
// code page 932 bytes; false when a character has none. On Linux and
// macOS \xNN in the stem stands for a raw byte.
bool EntryNameFromStem(std::string_view stem, std::string* name);

std::string HexBytes(std::string_view bytes);  // lowercase, no separators

// Columns on a terminal: code page 932's double-byte characters and most
// of what is not ASCII take two cells, half-width katakana one.
size_t DisplayWidth(std::string_view utf8);
// `text` padded with spaces to `width` columns, on the left when `right`.
std::string Padded(const std::string& text, size_t width, bool right);

// Writes UTF-8 text to a terminal or file in the form the platform's
// console expects.
void PrintText(std::FILE* out, std::string_view utf8);
// Writes JSON to standard output as UTF-8, whatever the console.
void PrintJson(std::string_view json);
// Writes the bytes as they are, at once.
void PrintBytes(std::FILE* out, std::string_view bytes);

}  // namespace kowaki::cli
