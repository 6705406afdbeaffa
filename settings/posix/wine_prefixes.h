#pragma once
// The Wine prefixes a Windows game may run in on this machine.

#include <string>
#include <vector>

#include "settings/settings_store.h"

namespace kowaki {

struct WinePrefixes {
  std::vector<std::string> prefixes;  // most likely first, each once
  std::vector<GameSearchPlace> looked_in;
};

// $WINEPREFIX, ~/.wine, the prefixes Proton makes for Steam's games in each
// Steam library (steamapps/compatdata/ID/pfx), and the prefixes named in
// Lutris' game files.
WinePrefixes FindWinePrefixes();

}  // namespace kowaki
