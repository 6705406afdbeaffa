#include "common/cp932.h"

namespace kowaki {

namespace {

constexpr char kHexDigits[] = "0123456789abcdef";

void AppendEscaped(std::string* out, unsigned value) {
  *out += "\\x";
  *out += kHexDigits[value >> 4 & 15];
  *out += kHexDigits[value & 15];
}

// U+DC00 + byte in UTF-8: ED, B0 to B3, 80 to BF.
void AppendCarried(std::string* out, unsigned char byte) {
  *out += '\xED';
  *out += static_cast<char>(0xB0 | byte >> 6);
  *out += static_cast<char>(0x80 | (byte & 0x3F));
}

// The byte carried at the start of `text`, or -1 when none is.
int CarriedByte(std::string_view text) {
  if (text.size() < 3 || static_cast<unsigned char>(text[0]) != 0xED) return -1;
  const auto second = static_cast<unsigned char>(text[1]);
  const auto third = static_cast<unsigned char>(text[2]);
  if ((second & 0xFC) != 0xB0 || (third & 0xC0) != 0x80) return -1;
  return (second & 3) << 6 | (third & 0x3F);
}

// Decodes the character `bytes` starts with onto `out`; its length in
// bytes, 0 when it starts none.
size_t DecodeChar(std::string_view bytes, std::string* out) {
  std::string decoded;
  size_t length = 1;
  if (!platform::Cp932CharToUtf8(bytes.substr(0, 1), &decoded)) {
    length = 2;
    if (bytes.size() < 2 || !platform::Cp932CharToUtf8(bytes.substr(0, 2), &decoded)) return 0;
  }
  *out += decoded;
  return length;
}

std::string Decode(std::string_view bytes) {
  std::string out;
  for (size_t i = 0; i < bytes.size();) {
    const size_t length = DecodeChar(bytes.substr(i), &out);
    if (length == 0) AppendCarried(&out, static_cast<unsigned char>(bytes[i]));
    i += length ? length : 1;
  }
  return out;
}

bool Encode(std::string_view utf8, std::string* bytes) {
  std::string out;
  for (size_t i = 0; i < utf8.size();) {
    const std::string_view rest = utf8.substr(i);
    if (const int byte = CarriedByte(rest); byte >= 0) {
      out += static_cast<char>(byte);
      i += 3;
      continue;
    }
    size_t length = Utf8SequenceLength(rest);
    if (length == 0 || !platform::Utf8CharToCp932(rest.substr(0, length), &out)) return false;
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

std::string ShownText(std::string_view utf8) {
  std::string out;
  for (size_t i = 0; i < utf8.size();) {
    const std::string_view rest = utf8.substr(i);
    const auto lead = static_cast<unsigned char>(rest[0]);
    const int carried = CarriedByte(rest);
    const size_t length = carried >= 0 ? 3 : Utf8SequenceLength(rest);
    // C1 controls, U+0080 to U+009F, are C2 80 to C2 9F.
    const auto second = static_cast<unsigned char>(length == 2 ? rest[1] : 0);
    if (carried >= 0) {
      AppendEscaped(&out, static_cast<unsigned>(carried));
    } else if (length == 0 || lead < 0x20 || lead == 0x7F) {
      AppendEscaped(&out, lead);
    } else if (lead == 0xC2 && second < 0xA0) {
      AppendEscaped(&out, second);
    } else {
      out += rest.substr(0, length);
    }
    i += length ? length : 1;
  }
  return out;
}

std::string Cp932ToUtf8(std::string_view bytes) { return ShownText(Decode(bytes)); }

bool Utf8ToCp932(std::string_view utf8, std::string* bytes) { return Encode(utf8, bytes); }

}  // namespace kowaki
