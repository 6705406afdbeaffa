// The registry under the current user, through the ANSI interfaces.

#include <windows.h>

#include <vector>

#include "settings/settings_store.h"

namespace kowaki {

namespace {

class RegistryStore : public SettingsStore {
 public:
  explicit RegistryStore(bool writable) : writable_(writable) {}

  std::optional<std::string> Read(std::string_view key, std::string_view name) const override {
    HKEY handle;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, std::string(key).c_str(), 0, KEY_READ, &handle) !=
        ERROR_SUCCESS) {
      return std::nullopt;
    }
    const std::string value_name(name);
    DWORD size = 0;
    LONG result = RegQueryValueExA(handle, value_name.c_str(), nullptr, nullptr, nullptr, &size);
    std::optional<std::string> data;
    if (result == ERROR_SUCCESS || result == ERROR_MORE_DATA) {
      std::vector<char> buffer(size + 1);
      DWORD type = 0;
      if (RegQueryValueExA(handle, value_name.c_str(), nullptr, &type,
                           reinterpret_cast<BYTE*>(buffer.data()), &size) == ERROR_SUCCESS) {
        data.emplace(buffer.data(), size);
        // A text's size counts its ending zero.
        const bool text = type == REG_SZ || type == REG_EXPAND_SZ;
        if (text && !data->empty() && data->back() == '\0') data->pop_back();
      }
    }
    RegCloseKey(handle);
    return data;
  }

  bool WriteWords(std::string_view key, std::span<const NamedValue> values) override {
    if (!writable_) return false;
    HKEY handle;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, std::string(key).c_str(), 0, const_cast<char*>(""),
                        REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &handle,
                        nullptr) != ERROR_SUCCESS) {
      return false;
    }
    bool ok = true;
    for (const NamedValue& value : values) {
      const DWORD word = static_cast<DWORD>(value.value);
      ok = RegSetValueExA(handle, std::string(value.name).c_str(), 0, REG_DWORD,
                          reinterpret_cast<const BYTE*>(&word), sizeof word) == ERROR_SUCCESS &&
           ok;
    }
    RegCloseKey(handle);
    return ok;
  }

  bool RemoveKey(std::string_view key) override {
    if (!writable_) return false;
    const LONG result = RegDeleteKeyA(HKEY_CURRENT_USER, std::string(key).c_str());
    return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND;
  }

 private:
  bool writable_;
};

}  // namespace

std::unique_ptr<SettingsStore> OpenSettingsStore() { return std::make_unique<RegistryStore>(true); }

std::unique_ptr<SettingsStore> OpenGameStore() { return std::make_unique<RegistryStore>(false); }

namespace platform {

std::string GamePathToNative(std::string_view windows_path) { return std::string(windows_path); }

}  // namespace platform

}  // namespace kowaki
