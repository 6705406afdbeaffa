#include "cli/output/text_output.h"

#include "jobs/output_names.h"

namespace kowaki::cli {

namespace {
constexpr char kHexDigits[] = "0123456789abcdef";
}  // namespace

std::string HexBytes(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() * 2);
  for (char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    out += kHexDigits[b >> 4];
    out += kHexDigits[b & 15];
  }
  return out;
}

void PrintJson(std::string_view json) { PrintBytes(stdout, json); }

// Columns on a terminal: code page 932's double-byte characters and most
// of what is not ASCII take two cells, half-width katakana one.
size_t DisplayWidth(std::string_view utf8) {
  size_t width = 0;
  for (size_t i = 0; i < utf8.size();) {
    const char32_t c = NextCodePoint(utf8, &i);
    width += (c < 0x1100 || (c >= 0xFF61 && c <= 0xFF9F)) ? 1 : 2;
  }
  return width;
}

std::string Padded(const std::string& text, size_t width, bool right) {
  const size_t used = DisplayWidth(text);
  const std::string pad(used < width ? width - used : 0, ' ');
  return right ? pad + text : text + pad;
}

}  // namespace kowaki::cli
