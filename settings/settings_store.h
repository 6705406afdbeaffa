#pragma once
// Where settings live: a tree of keys holding named values, as the Windows
// registry has it under the current user. The Windows store is that
// registry. Elsewhere our own settings are a small file in the registry's
// text form under $XDG_CONFIG_HOME (default ~/.config), and the game's key
// is read from the Wine prefixes the game may run in.

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/little_endian.h"

namespace kowaki {

struct NamedValue {
  std::string_view name;
  int32_t value;
};

// A 32-bit value as a store's data: its 4 bytes, least significant first.
inline std::string WordData(int32_t value) {
  std::string data(4, '\0');
  WriteLe32(reinterpret_cast<uint8_t*>(data.data()), static_cast<uint32_t>(value));
  return data;
}

// The value of such data; nothing unless it is exactly 4 bytes.
inline std::optional<int32_t> DataWord(std::string_view data) {
  if (data.size() != 4) return std::nullopt;
  return static_cast<int32_t>(ReadLe32(reinterpret_cast<const uint8_t*>(data.data())));
}

class SettingsStore {
 public:
  virtual ~SettingsStore() = default;
  // The data of value `name` of key `key` (e.g. "Software\\tobira\\kowaki.exe"),
  // whatever its type: a 32-bit value as its 4 little-endian bytes, a text
  // as its bytes without the ending zero. Nothing when the key or the value
  // is missing or can't be read.
  virtual std::optional<std::string> Read(std::string_view key, std::string_view name) const = 0;
  // Creates the key if needed and stores each value as a 32-bit word, in
  // order. False when the key can't be created or a value not written.
  virtual bool WriteWords(std::string_view key, std::span<const NamedValue> values) = 0;
  // Removes the key with its values; true when it is gone.
  virtual bool RemoveKey(std::string_view key) = 0;
};

// The store of our own settings for this user.
std::unique_ptr<SettingsStore> OpenSettingsStore();

// A store that may hold the game's key, with the Wine prefix whose drive
// letters the paths it records go through (none on Windows).
struct GamePlace {
  std::unique_ptr<SettingsStore> store;
  std::string wine_prefix;
};

// Where the game's key was looked for, to tell the user when no store has it.
struct GameSearchPlace {
  enum class Kind {
    kRegistryKey,     // `path` is the key, under the current user
    kWinePrefix,      // `path` is a prefix whose user.reg was read
    kProtonPrefixes,  // `path` is a Steam library's compatdata, with `count` prefixes
    kLutrisGames,     // `path` is a folder of Lutris' game files, with `count` prefixes
  };
  Kind kind;
  std::string path;
  int count = 0;
};

struct GamePlaces {
  std::vector<GamePlace> places;  // most likely first
  std::vector<GameSearchPlace> looked_in;
};

// The stores that may hold the game's install folder, read only. Windows:
// the registry. Elsewhere the user.reg of Wine prefixes: `wine_prefix` alone
// when given; otherwise $WINEPREFIX, ~/.wine, the prefixes Proton makes in
// every Steam library and those of Lutris' games.
GamePlaces OpenGameStores(std::string_view wine_prefix);

namespace platform {
// A path the game records (Windows form, e.g. "C:\Games\x\voice.arc") as
// a path this system opens, through the drive letters of `wine_prefix`
// where Wine runs the game. Empty when it has no such path.
std::string GamePathToNative(std::string_view wine_prefix, std::string_view windows_path);
}  // namespace platform

}  // namespace kowaki
