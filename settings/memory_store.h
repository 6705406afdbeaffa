#pragma once
// A settings store held in memory: the tests' store, and the CLI's way of
// handing a job settings that differ from the stored ones for one run.

#include <map>
#include <string>

#include "settings/settings_store.h"

namespace kowaki {

class MemoryStore : public SettingsStore {
 public:
  std::optional<std::string> Read(std::string_view key, std::string_view name) const override;
  bool WriteWords(std::string_view key, std::span<const NamedValue> values) override;
  bool RemoveKey(std::string_view key) override;

  // Any data of any length, as another program might have stored it.
  void SetData(std::string_view key, std::string_view name, std::string data);
  // Makes every later write fail, as a registry without access does.
  void set_read_only(bool read_only) { read_only_ = read_only; }

 private:
  // Keys and names compare without case, as in the registry.
  static std::string Fold(std::string_view text);
  std::map<std::string, std::map<std::string, std::string>> keys_;
  bool read_only_ = false;
};

}  // namespace kowaki
