#include "settings/memory_store.h"

#include <cctype>

namespace kowaki {

std::string MemoryStore::Fold(std::string_view text) {
  std::string out;
  for (char c : text) out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

std::optional<std::string> MemoryStore::Read(std::string_view key, std::string_view name) const {
  auto k = keys_.find(Fold(key));
  if (k == keys_.end()) return std::nullopt;
  auto v = k->second.find(Fold(name));
  if (v == k->second.end()) return std::nullopt;
  return v->second;
}

bool MemoryStore::WriteWords(std::string_view key, std::span<const NamedValue> values) {
  if (read_only_) return false;
  auto& stored = keys_[Fold(key)];
  for (const NamedValue& value : values) stored[Fold(value.name)] = WordData(value.value);
  return true;
}

bool MemoryStore::RemoveKey(std::string_view key) {
  if (read_only_) return false;
  keys_.erase(Fold(key));
  return true;
}

void MemoryStore::SetData(std::string_view key, std::string_view name, std::string data) {
  keys_[Fold(key)][Fold(name)] = std::move(data);
}

}  // namespace kowaki
