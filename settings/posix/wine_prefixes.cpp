#include "settings/posix/wine_prefixes.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <string_view>

#include "settings/posix/small_file.h"
#include "settings/posix/user_folders.h"

namespace kowaki {

namespace {

bool IsFolder(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// The same folder however it is reached, to take each once.
std::string Canonical(const std::string& path) {
  char* real = realpath(path.c_str(), nullptr);
  if (!real) return path;
  std::string canonical(real);
  std::free(real);
  return canonical;
}

// The names in `folder`, in a steady order.
std::vector<std::string> FolderNames(const std::string& folder) {
  std::vector<std::string> names;
  DIR* dir = opendir(folder.c_str());
  if (!dir) return names;
  while (const dirent* item = readdir(dir)) {
    const std::string_view name = item->d_name;
    if (name != "." && name != "..") names.emplace_back(name);
  }
  closedir(dir);
  std::sort(names.begin(), names.end());
  return names;
}

// The quoted strings of a Steam key-value file, unescaped, in order.
std::vector<std::string> QuotedStrings(std::string_view text) {
  std::vector<std::string> strings;
  for (size_t at = text.find('"'); at != std::string_view::npos; at = text.find('"', at + 1)) {
    std::string value;
    for (++at; at < text.size() && text[at] != '"'; ++at) {
      if (text[at] == '\\' && at + 1 < text.size()) ++at;
      value += text[at];
    }
    strings.push_back(std::move(value));
  }
  return strings;
}

// The libraries a Steam installation lists besides itself, in
// steamapps/libraryfolders.vdf: each a "path" value (older files give the
// path as the value of a numbered key).
std::vector<std::string> SteamLibraries(const std::string& steam) {
  const auto text = ReadSmallFile(steam + "/steamapps/libraryfolders.vdf");
  if (!text) return {};
  std::vector<std::string> libraries;
  const std::vector<std::string> strings = QuotedStrings(*text);
  for (size_t i = 0; i + 1 < strings.size(); ++i) {
    const std::string& key = strings[i];
    const bool numbered = !key.empty() && key.find_first_not_of("0123456789") == std::string::npos;
    if ((key == "path" || numbered) && strings[i + 1].starts_with('/')) {
      libraries.push_back(strings[i + 1]);
      ++i;
    }
  }
  return libraries;
}

// The value of a `prefix:` line of a Lutris game file, quotes taken off
// and ~ expanded; empty when it has none.
std::string LutrisPrefix(std::string_view text) {
  for (size_t start = 0; start < text.size();) {
    const size_t end = std::min(text.find('\n', start), text.size());
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    line.remove_prefix(std::min(line.find_first_not_of(" \t"), line.size()));
    if (!line.starts_with("prefix:")) continue;
    line.remove_prefix(7);
    line.remove_prefix(std::min(line.find_first_not_of(" \t"), line.size()));
    while (!line.empty() && (line.back() == ' ' || line.back() == '\t' || line.back() == '\r'))
      line.remove_suffix(1);
    if (line.size() >= 2 && (line[0] == '\'' || line[0] == '"') && line.back() == line[0])
      line = line.substr(1, line.size() - 2);
    if (line.starts_with("~/")) return Environment("HOME") + std::string(line.substr(1));
    return std::string(line);
  }
  return {};
}

class PrefixSearch {
 public:
  // A prefix looked in by name, whether or not it is there.
  void AddNamed(const std::string& prefix) {
    if (prefix.empty()) return;
    found_.looked_in.push_back({GameSearchPlace::Kind::kWinePrefix, prefix});
    Add(prefix);
  }

  // Proton's prefixes in each library of each Steam installation.
  void AddSteam(const std::vector<std::string>& installations) {
    std::vector<std::string> libraries;
    for (const std::string& steam : installations) {
      if (!IsFolder(steam)) continue;
      libraries.push_back(steam);
      for (std::string& library : SteamLibraries(steam)) libraries.push_back(std::move(library));
    }
    std::vector<std::string> seen;
    for (const std::string& library : libraries) {
      const std::string compatdata = library + "/steamapps/compatdata";
      if (!IsFolder(compatdata) || Seen(&seen, compatdata)) continue;
      int count = 0;
      for (const std::string& game : FolderNames(compatdata)) {
        const std::string prefix = compatdata + "/" + game + "/pfx";
        if (IsFolder(prefix)) count += Add(prefix);
      }
      found_.looked_in.push_back({GameSearchPlace::Kind::kProtonPrefixes, compatdata, count});
    }
  }

  // The prefixes Lutris' game files in `folders` name.
  void AddLutris(const std::vector<std::string>& folders) {
    std::vector<std::string> seen;
    for (const std::string& folder : folders) {
      if (!IsFolder(folder) || Seen(&seen, folder)) continue;
      int count = 0;
      for (const std::string& name : FolderNames(folder)) {
        if (!name.ends_with(".yml")) continue;
        const auto text = ReadSmallFile(folder + "/" + name);
        if (!text) continue;
        const std::string prefix = LutrisPrefix(*text);
        if (!prefix.empty()) count += Add(prefix);
      }
      found_.looked_in.push_back({GameSearchPlace::Kind::kLutrisGames, folder, count});
    }
  }

  WinePrefixes Take() { return std::move(found_); }

 private:
  // True for a prefix not taken before.
  bool Add(const std::string& prefix) {
    if (Seen(&canonical_, prefix)) return false;
    found_.prefixes.push_back(prefix);
    return true;
  }

  static bool Seen(std::vector<std::string>* seen, const std::string& folder) {
    const std::string canonical = Canonical(folder);
    if (std::find(seen->begin(), seen->end(), canonical) != seen->end()) return true;
    seen->push_back(canonical);
    return false;
  }

  WinePrefixes found_;
  std::vector<std::string> canonical_;
};

}  // namespace

WinePrefixes FindWinePrefixes() {
  const std::string home = Environment("HOME");
  const std::string data = UserFolder("XDG_DATA_HOME", ".local/share");
  const std::string config = UserFolder("XDG_CONFIG_HOME", ".config");
  PrefixSearch search;
  search.AddNamed(Environment("WINEPREFIX"));
  if (!home.empty()) search.AddNamed(home + "/.wine");
  std::vector<std::string> steam, lutris;
  if (!data.empty()) steam.push_back(data + "/Steam");
  if (!data.empty()) lutris.push_back(data + "/lutris/games");
  if (!config.empty()) lutris.push_back(config + "/lutris/games");
  if (!home.empty()) {
    // Steam's own links to where it is installed; its Flatpak and Snap.
    for (const char* folder :
         {"/.steam/steam", "/.steam/root", "/.var/app/com.valvesoftware.Steam/.local/share/Steam",
          "/snap/steam/common/.local/share/Steam"})
      steam.push_back(home + folder);
    for (const char* folder : {"/.var/app/net.lutris.Lutris/data/lutris/games",
                               "/.var/app/net.lutris.Lutris/config/lutris/games"})
      lutris.push_back(home + folder);
  }
  search.AddSteam(steam);
  search.AddLutris(lutris);
  return search.Take();
}

}  // namespace kowaki
