#pragma once
// The user's folders as the XDG base directory convention names them.

#include <cstdlib>
#include <string>

namespace kowaki {

inline std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

// $`variable` (XDG_CONFIG_HOME, XDG_DATA_HOME), else `under_home` in the
// home folder; empty without either. The convention's paths are absolute:
// a relative one is ignored.
inline std::string UserFolder(const char* variable, const char* under_home) {
  std::string folder = Environment(variable);
  if (!folder.starts_with('/')) folder.clear();
  if (folder.empty() && !Environment("HOME").empty())
    folder = Environment("HOME") + "/" + under_home;
  return folder;
}

}  // namespace kowaki
