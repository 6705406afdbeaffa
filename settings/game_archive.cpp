#include "settings/game_archive.h"

#include <cstring>

#include "common/output_file.h"

namespace kowaki {

namespace {

constexpr char kInstallDir[] = "InstallDir";

}  // namespace

std::string RecordedGameArchive(const SettingsStore& game_store, std::string_view wine_prefix) {
  auto folder = game_store.Read(kGameKey, kInstallDir);
  if (!folder) return {};
  // Taken as text: up to its first zero byte.
  folder->resize(strnlen(folder->c_str(), folder->size()));
  // Always a backslash, even after one the folder ends with.
  return platform::GamePathToNative(wine_prefix, *folder + "\\voice.arc");
}

GameArchive FindGameArchive(std::string_view wine_prefix) {
  GamePlaces search = OpenGameStores(wine_prefix);
  GameArchive found{.path = {}, .looked_in = std::move(search.looked_in)};
  for (const GamePlace& place : search.places) {
    const std::string path = RecordedGameArchive(*place.store, place.wine_prefix);
    if (path.empty()) continue;
    // A prefix that records the game but has lost its files yields to one
    // that has them; it is still named when none has.
    if (found.path.empty()) found.path = path;
    if (platform::KindOfPath(path) == platform::PathKind::kFile) {
      found.path = path;
      break;
    }
  }
  return found;
}

}  // namespace kowaki
