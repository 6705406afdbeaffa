#include "cli/output/text_output.h"

#include "common/cp932.h"
#include "jobs/output_names.h"

namespace kowaki::cli {

namespace {

constexpr char kHexDigits[] = "0123456789abcdef";

void AppendHex(std::string* out, const char* prefix, unsigned value) {
  *out += prefix;
  *out += kHexDigits[value >> 4 & 15];
  *out += kHexDigits[value & 15];
}

}  // namespace

std::string JsonString(std::string_view utf8) {
  std::string out = "\"";
  for (size_t i = 0; i < utf8.size();) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    const size_t length = Utf8SequenceLength(utf8.substr(i));
    const auto second = static_cast<unsigned char>(length == 2 ? utf8[i + 1] : 0);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c < 0x20 || c == 0x7F) {
      AppendHex(&out, "\\u00", c);
    } else if (length == 0) {  // not UTF-8: shown as \xNN
      AppendHex(&out, "\\\\x", c);
    } else if (c == 0xC2 && second < 0xA0) {  // C1 controls, U+0080 to U+009F
      AppendHex(&out, "\\u00", second);
    } else {
      out.append(utf8.substr(i, length));
    }
    i += length ? length : 1;
  }
  out += '"';
  return out;
}

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

void PrintJson(std::string_view json) { std::fwrite(json.data(), 1, json.size(), stdout); }

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
