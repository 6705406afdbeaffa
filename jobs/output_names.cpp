#include "jobs/output_names.h"

#include <array>
#include <cctype>

#include "common/cp932.h"

namespace kowaki {

namespace {

bool IsLeadByte(uint8_t b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }
bool IsTrailByte(uint8_t b) { return b >= 0x40 && b <= 0xFC && b != 0x7F; }

// A single byte that is a character of its own and harmless in a file name.
bool IsSafeSingle(uint8_t b) {
  if (b >= 0xA1 && b <= 0xDF) return true;  // half-width katakana
  if (b < 0x20 || b >= 0x7F) return false;
  constexpr std::string_view kUnsafe = "/\\:*?\"<>|%";
  return kUnsafe.find(static_cast<char>(b)) == std::string_view::npos;
}

void AppendEscaped(std::string* out, uint8_t b) {
  constexpr char kHex[] = "0123456789ABCDEF";
  *out += '%';
  *out += kHex[b >> 4];
  *out += kHex[b & 15];
}

// Windows opens a device for these whatever extension follows.
bool IsDeviceName(std::string_view name) {
  std::string_view base = name.substr(0, name.find('.'));
  while (!base.empty() && base.back() == ' ') base.remove_suffix(1);
  std::string upper;
  for (char c : base) upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  constexpr std::array<std::string_view, 6> kDevices = {"CON", "PRN",    "AUX",
                                                        "NUL", "CONIN$", "CONOUT$"};
  for (std::string_view device : kDevices) {
    if (upper == device) return true;
  }
  return upper.size() == 4 && (upper.starts_with("COM") || upper.starts_with("LPT")) &&
         upper[3] >= '1' && upper[3] <= '9';
}

char32_t Upper(char32_t c) {
  if (c >= U'a' && c <= U'z') return c - 0x20;
  if (c >= 0xFF41 && c <= 0xFF5A) return c - 0x20;  // full-width Latin
  if (c == 0x03C2) return 0x03A3;                   // final sigma
  if (c >= 0x03B1 && c <= 0x03C9) return c - 0x20;  // Greek
  if (c >= 0x0430 && c <= 0x044F) return c - 0x20;  // Cyrillic
  if (c == 0x0451) return 0x0401;
  if (c >= 0x2170 && c <= 0x217F) return c - 0x10;  // Roman numerals
  return c;
}

}  // namespace

std::string SafeFileStem(std::string_view name) {
  if (name.empty()) return "%00";
  std::string out;
  for (size_t i = 0; i < name.size(); ++i) {
    const auto b = static_cast<uint8_t>(name[i]);
    if (IsLeadByte(b) && i + 1 < name.size() && IsTrailByte(static_cast<uint8_t>(name[i + 1]))) {
      out += name.substr(i, 2);
      ++i;
    } else if (IsSafeSingle(b) && !(i == 0 && b == '.')) {
      out += static_cast<char>(b);
    } else {
      AppendEscaped(&out, b);
    }
  }
  if (IsDeviceName(out)) {
    const auto first = static_cast<uint8_t>(out[0]);
    out.erase(0, 1);
    std::string escaped;
    AppendEscaped(&escaped, first);
    out.insert(0, escaped);
  }
  return out;
}

char32_t NextCodePoint(std::string_view utf8, size_t* i) {
  const size_t length = Utf8SequenceLength(utf8.substr(*i));
  const auto lead = static_cast<uint8_t>(utf8[*i]);
  if (length <= 1) {
    ++*i;
    return lead;
  }
  char32_t c = lead & (0x7F >> length);
  for (size_t k = 1; k < length; ++k) c = c << 6 | (static_cast<uint8_t>(utf8[*i + k]) & 0x3F);
  *i += length;
  return c;
}

std::u32string FoldCase(std::string_view utf8) {
  std::u32string key;
  for (size_t i = 0; i < utf8.size();) key += Upper(NextCodePoint(utf8, &i));
  return key;
}

std::string OutputNames::Claim(std::string_view name, int32_t entry) {
  std::string stem = SafeFileStem(name);
  while (!taken_.insert(FoldCase(text_of_(stem))).second) stem += "~" + std::to_string(entry);
  return stem;
}

}  // namespace kowaki
