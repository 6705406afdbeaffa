#pragma once
// Where the game keeps its archive: the install folder it records under its
// own key, read from the registry on Windows and from the Wine prefixes
// the game may run in elsewhere.

#include <string>
#include <string_view>
#include <vector>

#include "settings/settings_store.h"

namespace kowaki {

// The game's own key, with its install folder.
inline constexpr char kGameKey[] = "Software\\Kestrel\\mizukage";

// The game's archive: "voice.arc" in the install folder the game records
// (value InstallDir of kGameKey) in `game_store`, as a
// path this system opens through `wine_prefix`'s drive letters. Empty when
// the store records no folder.
std::string RecordedGameArchive(const SettingsStore& game_store, std::string_view wine_prefix);

struct GameArchive {
  std::string path;  // empty when no place records the install folder
  std::vector<GameSearchPlace> looked_in;
};

// The game's archive as the first place that records one (see
// OpenGameStores) has it; where several do, the first whose archive is there.
GameArchive FindGameArchive(std::string_view wine_prefix = {});

}  // namespace kowaki
