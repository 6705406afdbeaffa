#pragma once
// The registry's text form, as Wine keeps a prefix's user.reg and as our
// settings file is written on systems without a registry:
//
//   [Software\\tobira\\kowaki.exe] 1700000000
//   "type"=dword:00000001
//   "InstallDir"="C:\\Games\\mizukage"
//   "Blob"=hex(3):01,02,03
//
// Long binary values go on over lines that end in a backslash. Key and
// value names compare without case. Texts are kept in UTF-8;
// "\xNNNN" escapes (UTF-16 units) are decoded.

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace kowaki {

class RegFile {
 public:
  enum class Kind { kText, kWord, kBytes };
  struct Value {
    std::string name;
    Kind kind;
    std::string data;  // UTF-8 text, 4 little-endian bytes, or raw bytes
  };

  // Lenient: lines it doesn't understand are skipped.
  static RegFile Parse(std::string_view text);
  std::string Format() const;

  const Value* Find(std::string_view key, std::string_view name) const;
  void Set(std::string_view key, Value value);
  // The key is gone afterwards, whether or not it was there.
  void RemoveKey(std::string_view key);

 private:
  // Keys and values keep their order, and are found by their names
  // without case through a map: a prefix's files hold tens of thousands
  // of keys, and a key may hold as many values.
  struct Key {
    std::string name;
    std::vector<Value> values;
    std::unordered_map<std::string, size_t> positions;  // of `values`, by folded name
  };
  const Key* FindKey(std::string_view key) const;
  Key* KeyNamed(std::string_view key);  // made when missing
  // Sets `value` in `key`, in place of one of its name.
  static void PutValue(Key* key, Value value);
  std::vector<Key> keys_;
  std::unordered_map<std::string, size_t> positions_;  // of `keys_`, by folded name
};

}  // namespace kowaki
