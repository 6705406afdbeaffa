#include <cstdio>

#include "cli/text_output.h"

namespace kowaki::cli {

// File names are bytes here, normally UTF-8 already; JsonString shows any
// that are not as \xNN.
std::string PathForDisplay(std::string_view path) { return std::string(path); }

// Names are typed and stored in UTF-8 here but kept in code page 932 in the
// archive, where the game and the Windows tool read them.
bool EntryNameFromStem(std::string_view stem, std::string* name) { return Utf8ToCp932(stem, name); }

void PrintText(std::FILE* out, std::string_view utf8) {
  std::fwrite(utf8.data(), 1, utf8.size(), out);
}

}  // namespace kowaki::cli
