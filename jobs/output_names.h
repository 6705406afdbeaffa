#pragma once
// File names for exported entries. An entry name is up to 8 bytes of code
// page 932 that nobody checked: it may hold '/', '\', ':', "..", control
// bytes or be a Windows device name. SafeFileStem maps every name to a
// stem that stays inside the destination folder on every system, the same
// way each time; OutputNames keeps two entries of one run from sharing a
// file.

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <string_view>

namespace kowaki {

// The name with each byte that is unsafe in a file name written as "%XX"
// (two upper-case hex digits): bytes below 0x20, 0x7F, / \ : * ? " < > |
// and % itself, a leading '.', bytes that start no code page 932
// character, and the first letter of a Windows device name (CON, PRN,
// AUX, NUL, COM1-9, LPT1-9, CONIN$, CONOUT$, also before a '.'). An empty
// name becomes "%00". Names that need none of this stay as they are.
std::string SafeFileStem(std::string_view name);

class OutputNames {
 public:
  // `text_of` turns a stem into the text the file system will see, as
  // JobWindow::NameText does.
  explicit OutputNames(std::function<std::string(std::string_view)> text_of)
      : text_of_(std::move(text_of)) {}

  // The stem for entry `entry` named `name`: SafeFileStem(name), followed
  // by "~N" (N = the entry number) for as long as an earlier file of this
  // run has the same name, ignoring case as Windows and macOS do.
  std::string Claim(std::string_view name, int32_t entry);

 private:
  std::function<std::string(std::string_view)> text_of_;
  std::set<std::u32string> taken_;
};

// `utf8` with letters in one case, as a key for names a case-insensitive
// file system takes as the same: ASCII, full-width Latin, Greek, Cyrillic
// and Roman numerals (the cased letters code page 932 has).
std::u32string FoldCase(std::string_view utf8);

// The character of `utf8` at `*i`, moving `*i` past it; a byte that starts
// no UTF-8 sequence stands for itself.
char32_t NextCodePoint(std::string_view utf8, size_t* i);

}  // namespace kowaki
