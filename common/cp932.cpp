#include "common/cp932.h"

namespace kowaki {

namespace {

constexpr char kHexDigits[] = "0123456789abcdef";

std::string EscapedByte(unsigned char byte) {
  return std::string("\\x") + kHexDigits[byte >> 4] + kHexDigits[byte & 15];
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Converts with \xNN escapes; `lossy` puts '?' for what cannot be converted
// instead of failing.
bool Encode(std::string_view utf8, bool lossy, std::string* bytes) {
  std::string out;
  for (size_t i = 0; i < utf8.size();) {
    if (utf8.substr(i, 2) == "\\x" && i + 3 < utf8.size() && HexValue(utf8[i + 2]) >= 0 &&
        HexValue(utf8[i + 3]) >= 0) {
      out += static_cast<char>(HexValue(utf8[i + 2]) * 16 + HexValue(utf8[i + 3]));
      i += 4;
      continue;
    }
    size_t length = Utf8SequenceLength(utf8.substr(i));
    if (length == 0 || !platform::Utf8CharToCp932(utf8.substr(i, length), &out)) {
      if (!lossy) return false;
      out += '?';
      length = length ? length : 1;
    }
    i += length;
  }
  *bytes = std::move(out);
  return true;
}

}  // namespace

size_t Utf8SequenceLength(std::string_view text) {
  if (text.empty()) return 0;
  const auto lead = static_cast<unsigned char>(text[0]);
  size_t length = lead < 0x80                   ? 1
                  : lead >= 0xC2 && lead < 0xE0 ? 2
                  : lead >= 0xE0 && lead < 0xF0 ? 3
                  : lead >= 0xF0 && lead < 0xF5 ? 4
                                                : 0;
  if (length == 0 || length > text.size()) return 0;
  for (size_t i = 1; i < length; ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) return 0;
  }
  // Overlong three- and four-byte forms and surrogates.
  const auto second = static_cast<unsigned char>(length > 1 ? text[1] : 0);
  if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second >= 0xA0) ||
      (lead == 0xF0 && second < 0x90) || (lead == 0xF4 && second >= 0x90)) {
    return 0;
  }
  return length;
}

std::string Cp932ToUtf8(std::string_view bytes) {
  std::string out;
  for (size_t i = 0; i < bytes.size();) {
    if (platform::Cp932CharToUtf8(bytes.substr(i, 1), &out)) {
      i += 1;
    } else if (i + 1 < bytes.size() && platform::Cp932CharToUtf8(bytes.substr(i, 2), &out)) {
      i += 2;
    } else {
      out += EscapedByte(static_cast<unsigned char>(bytes[i]));
      i += 1;
    }
  }
  return out;
}

bool Utf8ToCp932(std::string_view utf8, std::string* bytes) { return Encode(utf8, false, bytes); }

std::string Utf8ToCp932Lossy(std::string_view utf8) {
  std::string bytes;
  Encode(utf8, true, &bytes);
  return bytes;
}

}  // namespace kowaki
