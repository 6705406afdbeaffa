#include "cli/text_output.h"

#include "common/cp932.h"

namespace kowaki::cli {

namespace {
constexpr char kHexDigits[] = "0123456789abcdef";
}  // namespace

std::string JsonString(std::string_view utf8) {
  std::string out = "\"";
  for (size_t i = 0; i < utf8.size();) {
    const auto c = static_cast<unsigned char>(utf8[i]);
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
      out += "\\u00";
      out += kHexDigits[c >> 4];
      out += kHexDigits[c & 15];
    } else if (c >= 0x80) {
      // Only valid UTF-8 goes out as it is; anything else is shown as \xNN.
      const size_t length = Utf8SequenceLength(utf8.substr(i));
      if (length == 0) {
        out += "\\\\x";
        out += kHexDigits[c >> 4];
        out += kHexDigits[c & 15];
        i += 1;
      } else {
        out.append(utf8.substr(i, length));
        i += length;
      }
      continue;
    } else {
      out += static_cast<char>(c);
    }
    i += 1;
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

}  // namespace kowaki::cli
