#include "settings/reg_file.h"

#include <cctype>
#include <cstdio>
#include <unordered_map>

#include "settings/settings_store.h"

namespace kowaki {

namespace {

std::string Folded(std::string_view text) {
  std::string folded(text);
  for (char& c : folded) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return folded;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

void AppendUtf8(std::string* out, char32_t c) {
  if (c < 0x80) {
    *out += static_cast<char>(c);
  } else if (c < 0x800) {
    *out += static_cast<char>(0xC0 | c >> 6);
    *out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    *out += static_cast<char>(0xE0 | c >> 12);
    *out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    *out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    *out += static_cast<char>(0xF0 | c >> 18);
    *out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
    *out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    *out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// Reads an escaped text up to the unescaped `end` character; `text` is
// left after it. Nothing when the text does not end.
std::optional<std::string> ParseEscaped(std::string_view* text, char end) {
  std::string out;
  char16_t high = 0;  // a UTF-16 high surrogate waiting for its partner
  size_t i = 0;
  while (i < text->size() && (*text)[i] != end) {
    char c = (*text)[i++];
    if (c != '\\' || i == text->size()) {
      out += c;
      continue;
    }
    c = (*text)[i++];
    constexpr std::string_view kLetters = "abefnrtv";
    constexpr char kControls[] = {'\a', '\b', '\x1b', '\f', '\n', '\r', '\t', '\v'};
    if (const size_t k = kLetters.find(c); k != std::string_view::npos) {
      out += kControls[k];
    } else if (c == 'x') {
      char32_t unit = 0;
      for (int digits = 0; digits < 4 && i < text->size() && HexDigit((*text)[i]) >= 0; ++digits) {
        unit = unit * 16 + static_cast<char32_t>(HexDigit((*text)[i++]));
      }
      if (unit >= 0xD800 && unit < 0xDC00) {
        high = static_cast<char16_t>(unit);
        continue;
      }
      if (unit >= 0xDC00 && unit < 0xE000 && high)
        unit = 0x10000 + ((high - 0xD800) << 10) + (unit - 0xDC00);
      AppendUtf8(&out, unit);
    } else if (c >= '0' && c <= '7') {
      int value = c - '0';
      for (int digits = 1; digits < 3 && i < text->size() && (*text)[i] >= '0' && (*text)[i] <= '7';
           ++digits) {
        value = value * 8 + ((*text)[i++] - '0');
      }
      out += static_cast<char>(value);
    } else {
      out += c;
    }
    high = 0;
  }
  if (i == text->size()) return std::nullopt;
  text->remove_prefix(i + 1);
  return out;
}

std::string Escaped(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '\\' || c == '"' || c == ']' || c == '[') out += '\\';
    if (c == '\n') {
      out += "\\n";
    } else if (static_cast<unsigned char>(c) < 0x20) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%04x", static_cast<unsigned>(c));
      out += hex;
    } else {
      out += c;
    }
  }
  return out;
}

std::optional<RegFile::Value> ParseData(std::string name, std::string_view data) {
  RegFile::Value value{std::move(name), RegFile::Kind::kText, {}};
  if (data.starts_with("str("))
    data.remove_prefix(data.find(':') == std::string_view::npos ? data.size() : data.find(':') + 1);
  if (data.starts_with("\"")) {
    data.remove_prefix(1);
    auto text = ParseEscaped(&data, '"');
    if (!text) return std::nullopt;
    value.data = *text;
    return value;
  }
  if (data.starts_with("dword:")) {
    uint32_t word = 0;
    data.remove_prefix(6);
    int digits = 0;
    for (; digits < 8 && digits < static_cast<int>(data.size()) &&
           HexDigit(data[static_cast<size_t>(digits)]) >= 0;
         ++digits) {
      word = word * 16 + static_cast<uint32_t>(HexDigit(data[static_cast<size_t>(digits)]));
    }
    if (digits == 0) return std::nullopt;
    value.kind = RegFile::Kind::kWord;
    value.data = WordData(static_cast<int32_t>(word));
    return value;
  }
  if (data.starts_with("hex")) {
    const size_t colon = data.find(':');
    if (colon == std::string_view::npos) return std::nullopt;
    value.kind = RegFile::Kind::kBytes;
    int high = -1;
    for (char c : data.substr(colon + 1)) {
      const int digit = HexDigit(c);
      if (digit < 0) continue;
      if (high < 0) {
        high = digit;
      } else {
        value.data += static_cast<char>(high * 16 + digit);
        high = -1;
      }
    }
    return value;
  }
  return std::nullopt;
}

}  // namespace

RegFile RegFile::Parse(std::string_view text) {
  RegFile file;
  Key* key = nullptr;
  std::string line;
  bool continued = false;  // `line` is a hex value that goes on
  while (!text.empty()) {
    size_t end = text.find('\n');
    std::string_view part = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (!part.empty() && part.back() == '\r') part.remove_suffix(1);
    line += part;
    // Long binary values go on over lines ending in a backslash.
    if (!line.empty() && line.back() == '\\' &&
        (continued || line.find("=hex") != std::string::npos)) {
      line.pop_back();
      continued = true;
      continue;
    }
    continued = false;
    std::string_view rest = line;
    while (!rest.empty() && (rest.front() == ' ' || rest.front() == '\t')) rest.remove_prefix(1);
    if (rest.starts_with("[")) {
      rest.remove_prefix(1);
      auto name = ParseEscaped(&rest, ']');
      key = name ? file.KeyNamed(*name) : nullptr;
    } else if (key && (rest.starts_with("\"") || rest.starts_with("@="))) {
      std::optional<std::string> name = std::string();
      if (rest.starts_with("@")) {
        rest.remove_prefix(1);
      } else {
        rest.remove_prefix(1);
        name = ParseEscaped(&rest, '"');
      }
      if (name && rest.starts_with("=")) {
        if (auto value = ParseData(*name, rest.substr(1))) PutValue(key, std::move(*value));
      }
    }
    line.clear();
  }
  return file;
}

std::string RegFile::Format() const {
  std::string out = "; kowaki settings: registry keys and their values\n";
  for (const Key& key : keys_) {
    out += "\n[" + Escaped(key.name) + "]\n";
    for (const Value& value : key.values) {
      out += value.name.empty() ? "@=" : "\"" + Escaped(value.name) + "\"=";
      char hex[16];
      if (value.kind == Kind::kText) {
        out += "\"" + Escaped(value.data) + "\"";
      } else if (const auto word = DataWord(value.data); value.kind == Kind::kWord && word) {
        std::snprintf(hex, sizeof hex, "dword:%08x", static_cast<unsigned>(*word));
        out += hex;
      } else {
        out += "hex:";
        for (size_t i = 0; i < value.data.size(); ++i) {
          std::snprintf(hex, sizeof hex, i ? ",%02x" : "%02x", static_cast<uint8_t>(value.data[i]));
          out += hex;
        }
      }
      out += "\n";
    }
  }
  return out;
}

const RegFile::Key* RegFile::FindKey(std::string_view key) const {
  const auto at = positions_.find(Folded(key));
  return at == positions_.end() ? nullptr : &keys_[at->second];
}

RegFile::Key* RegFile::KeyNamed(std::string_view key) {
  const auto [at, added] = positions_.try_emplace(Folded(key), keys_.size());
  if (added) keys_.push_back(Key{std::string(key), {}, {}});
  return &keys_[at->second];
}

const RegFile::Value* RegFile::Find(std::string_view key, std::string_view name) const {
  const Key* k = FindKey(key);
  if (!k) return nullptr;
  const auto at = k->positions.find(Folded(name));
  return at == k->positions.end() ? nullptr : &k->values[at->second];
}

void RegFile::Set(std::string_view key, Value value) { PutValue(KeyNamed(key), std::move(value)); }

void RegFile::PutValue(Key* key, Value value) {
  const auto [at, added] = key->positions.try_emplace(Folded(value.name), key->values.size());
  if (added) {
    key->values.push_back(std::move(value));
  } else {
    key->values[at->second] = std::move(value);
  }
}

void RegFile::RemoveKey(std::string_view key) {
  const auto at = positions_.find(Folded(key));
  if (at == positions_.end()) return;
  keys_.erase(keys_.begin() + static_cast<ptrdiff_t>(at->second));
  positions_.clear();
  for (size_t i = 0; i < keys_.size(); ++i) positions_.emplace(Folded(keys_[i].name), i);
}

}  // namespace kowaki
