#include <cstdio>

#include "cli/output/text_output.h"
#include "cli/terminal/language.h"

namespace kowaki::cli {

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The byte `text` writes as \xNN at its start, or -1.
int EscapedByte(std::string_view text) {
  if (text.size() < 4 || text[0] != '\\' || text[1] != 'x') return -1;
  const int high = HexValue(text[2]);
  const int low = HexValue(text[3]);
  return high < 0 || low < 0 ? -1 : high * 16 + low;
}

}  // namespace

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
  return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

// File names are bytes here, normally UTF-8 already.
std::string PathForDisplay(std::string_view path) { return ShownText(path); }

// A backslash is part of a name here, which is what lets it write \xNN.
std::string_view FileNameOf(std::string_view path) {
  const size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// Names are typed and stored in UTF-8 here but kept in code page 932 in the
// archive, where the game and the Windows tool read them.
bool EntryNameFromStem(std::string_view stem, std::string* name) {
  std::string bytes;
  std::string text;  // UTF-8 since the last escape
  for (size_t i = 0; i <= stem.size(); ++i) {
    const int escaped = EscapedByte(stem.substr(i));
    if (escaped < 0 && i < stem.size()) {
      text += stem[i];
      continue;
    }
    std::string encoded;
    if (!Utf8ToCp932(text, &encoded)) return false;
    bytes += encoded;
    text.clear();
    if (escaped >= 0) {
      bytes += static_cast<char>(escaped);
      i += 3;
    }
  }
  *name = std::move(bytes);
  return true;
}

void PrintText(std::FILE* out, std::string_view utf8) { PrintBytes(out, utf8); }

void PrintBytes(std::FILE* out, std::string_view bytes) {
  std::fwrite(bytes.data(), 1, bytes.size(), out);
}

// The locale variables say it here; with none set, the C locale's English.
bool platform::SystemLanguageIsJapanese() { return false; }

}  // namespace kowaki::cli
