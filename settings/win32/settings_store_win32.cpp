// The registry under the current user, through the wide interfaces: a
// text value comes out in UTF-8, as every path in the Windows build, so
// an install folder of any name opens on a system of any code page.

#include <windows.h>

#include <cstring>
#include <vector>

#include "common/win32/code_pages.h"
#include "settings/game_archive.h"
#include "settings/settings_store.h"

namespace kowaki {

namespace {

// A text value's UTF-16 data in UTF-8, without the ending zero its size
// counts.
std::string TextOf(std::string_view data) {
  std::wstring text(data.size() / 2, L'\0');
  std::memcpy(text.data(), data.data(), text.size() * 2);
  while (!text.empty() && text.back() == L'\0') text.pop_back();
  return win32::Utf8(text);
}

class RegistryStore : public SettingsStore {
 public:
  explicit RegistryStore(bool writable) : writable_(writable) {}

  std::optional<std::string> Read(std::string_view key, std::string_view name) const override {
    HKEY handle;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, win32::Wide(key).c_str(), 0, KEY_READ, &handle) !=
        ERROR_SUCCESS) {
      return std::nullopt;
    }
    const std::wstring value_name = win32::Wide(name);
    DWORD size = 0;
    LONG result = RegQueryValueExW(handle, value_name.c_str(), nullptr, nullptr, nullptr, &size);
    std::optional<std::string> data;
    if (result == ERROR_SUCCESS || result == ERROR_MORE_DATA) {
      std::vector<char> buffer(size + 2);
      DWORD type = 0;
      if (RegQueryValueExW(handle, value_name.c_str(), nullptr, &type,
                           reinterpret_cast<BYTE*>(buffer.data()), &size) == ERROR_SUCCESS) {
        data.emplace(buffer.data(), size);
        if (type == REG_SZ || type == REG_EXPAND_SZ) *data = TextOf(*data);
      }
    }
    RegCloseKey(handle);
    return data;
  }

  bool WriteWords(std::string_view key, std::span<const NamedValue> values) override {
    if (!writable_) return false;
    HKEY handle;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, win32::Wide(key).c_str(), 0, nullptr,
                        REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &handle,
                        nullptr) != ERROR_SUCCESS) {
      return false;
    }
    bool ok = true;
    for (const NamedValue& value : values) {
      const DWORD word = static_cast<DWORD>(value.value);
      ok = RegSetValueExW(handle, win32::Wide(value.name).c_str(), 0, REG_DWORD,
                          reinterpret_cast<const BYTE*>(&word), sizeof word) == ERROR_SUCCESS &&
           ok;
    }
    RegCloseKey(handle);
    return ok;
  }

  bool RemoveKey(std::string_view key) override {
    if (!writable_) return false;
    const LONG result = RegDeleteKeyW(HKEY_CURRENT_USER, win32::Wide(key).c_str());
    return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND;
  }

 private:
  bool writable_;
};

}  // namespace

std::unique_ptr<SettingsStore> OpenSettingsStore() { return std::make_unique<RegistryStore>(true); }

GamePlaces OpenGameStores(std::string_view) {
  GamePlaces places{.places = {},
                    .looked_in = {{GameSearchPlace::Kind::kRegistryKey,
                                   std::string("HKEY_CURRENT_USER\\") + kGameKey}}};
  places.places.push_back({std::make_unique<RegistryStore>(false), ""});
  return places;
}

namespace platform {

std::string GamePathToNative(std::string_view, std::string_view windows_path) {
  return std::string(windows_path);
}

}  // namespace platform

}  // namespace kowaki
