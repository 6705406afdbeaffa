// Settings without a registry: our own values in a file of the registry's
// text form under $XDG_CONFIG_HOME; the game's key in the user.reg of the
// Wine prefixes the game may run in, its drive letters through dosdevices/.

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>

#include "common/input_files.h"
#include "common/output_file.h"
#include "settings/posix/small_file.h"
#include "settings/posix/user_folders.h"
#include "settings/posix/wine_prefixes.h"
#include "settings/reg_file.h"
#include "settings/settings_store.h"

namespace kowaki {

namespace {

class RegFileStore : public SettingsStore {
 public:
  RegFileStore(std::string folder, std::string path, bool writable)
      : folder_(std::move(folder)), path_(std::move(path)), writable_(writable) {}

  std::optional<std::string> Read(std::string_view key, std::string_view name) const override {
    if (path_.empty()) return std::nullopt;
    const auto text = ReadSmallFile(path_);
    if (!text) return std::nullopt;
    const RegFile file = RegFile::Parse(*text);
    const RegFile::Value* value = file.Find(key, name);
    if (!value) return std::nullopt;
    return value->data;
  }

  bool WriteWords(std::string_view key, std::span<const NamedValue> values) override {
    RegFile file;
    if (!Load(&file)) return false;
    for (const NamedValue& value : values)
      file.Set(key, {std::string(value.name), RegFile::Kind::kWord, WordData(value.value)});
    return Store(file);
  }

  bool RemoveKey(std::string_view key) override {
    RegFile file;
    if (!Load(&file)) return false;
    file.RemoveKey(key);
    return Store(file);
  }

 private:
  // The file as it is, or empty when there is none yet. False for one it
  // refuses to read, which is left as it is.
  bool Load(RegFile* file) const {
    if (!writable_ || path_.empty()) return false;
    const auto text = ReadSmallFile(path_);
    if (text) {
      *file = RegFile::Parse(*text);
      return true;
    }
    return text.failure() == SmallFileError::kMissing;
  }

  bool Store(const RegFile& file) const {
    // The folders up to ours, as `mkdir -p` makes them.
    for (size_t slash = folder_.find('/', 1);; slash = folder_.find('/', slash + 1)) {
      mkdir(folder_.substr(0, slash).c_str(), 0777);
      if (slash == std::string::npos) break;
    }
    // The file read is replaced whole, never written in place.
    const InputMark read = MarkInput(path_, InputUse::kReplaced);
    OutputFile out;
    const std::string text = file.Format();
    return out.Open(path_, OutputPlace::kNamed) && out.Write(text.data(), text.size()) &&
           out.Commit();
  }

  std::string folder_;
  std::string path_;
  bool writable_;
};

// The entry of `folder` named `name` in any case, as Windows finds it.
std::string FindCaseless(const std::string& folder, const std::string& name) {
  struct stat info;
  if (stat((folder + "/" + name).c_str(), &info) == 0) return name;
  DIR* dir = opendir(folder.c_str());
  if (!dir) return name;
  std::string found = name;
  while (const dirent* item = readdir(dir)) {
    if (strcasecmp(item->d_name, name.c_str()) == 0) {
      found = item->d_name;
      break;
    }
  }
  closedir(dir);
  return found;
}

}  // namespace

std::unique_ptr<SettingsStore> OpenSettingsStore() {
  const std::string base = UserFolder("XDG_CONFIG_HOME", ".config");
  if (base.empty()) return std::make_unique<RegFileStore>("", "", false);
  const std::string folder = base + "/kowaki";
  return std::make_unique<RegFileStore>(folder, folder + "/settings.reg", true);
}

GamePlaces OpenGameStores(std::string_view wine_prefix) {
  WinePrefixes search;
  if (wine_prefix.empty()) {
    search = FindWinePrefixes();
  } else {
    search.prefixes.emplace_back(wine_prefix);
    search.looked_in.push_back({GameSearchPlace::Kind::kWinePrefix, std::string(wine_prefix)});
  }
  GamePlaces places{.places = {}, .looked_in = std::move(search.looked_in)};
  for (std::string& prefix : search.prefixes) {
    auto store = std::make_unique<RegFileStore>("", prefix + "/user.reg", false);
    places.places.push_back({std::move(store), std::move(prefix)});
  }
  return places;
}

namespace platform {

std::string GamePathToNative(std::string_view wine_prefix, std::string_view windows_path) {
  if (wine_prefix.empty() || windows_path.size() < 3 || windows_path[1] != ':' ||
      windows_path[2] != '\\' || !std::isalpha(static_cast<unsigned char>(windows_path[0]))) {
    return {};
  }
  std::string path = std::string(wine_prefix) + "/dosdevices/";
  path += static_cast<char>(std::tolower(static_cast<unsigned char>(windows_path[0])));
  path += ':';
  std::string_view rest = windows_path.substr(3);
  while (!rest.empty()) {
    const size_t slash = rest.find('\\');
    const std::string part(rest.substr(0, slash));
    rest.remove_prefix(slash == std::string_view::npos ? rest.size() : slash + 1);
    if (part.empty() || part == ".") continue;
    path += "/" + FindCaseless(path, part);
  }
  return path;
}

}  // namespace platform

}  // namespace kowaki
