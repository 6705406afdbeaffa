#pragma once
// unpack's work apart from the terminal: where each entry of an archive
// goes, what stands in the way there (all of it found before anything is
// written), each entry's bytes copied into its file, and the manifest
// that describes what was unpacked.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "archive/archive_index.h"
#include "common/result.h"
#include "modding/manifest.h"

namespace kowaki {

struct UnpackPlan {
  // Every entry with its file named where it is unpacked; the CRCs and
  // shapes come as the entries are.
  Manifest manifest;
  std::vector<std::string> paths;  // by entry; empty for one not unpacked
  std::string manifest_path;
};

// Turns a file name of code page 932 bytes into the name the file system
// shows, as the terminal's PathInFolder does.
using FileNameOf = std::function<std::string(std::string_view)>;

// Each entry named as export names it (two that would share a file kept
// apart), .ogg when its data starts as Ogg data and .bin otherwise.
UnpackPlan PlanUnpack(const ArchiveIndex& index, const std::string& folder,
                      const FileNameOf& file_name_of);

// Something at a path the plan would write.
struct Obstacle {
  enum class Kind {
    kFile,           // an ordinary file, which --force replaces
    kTheArchive,     // the archive being unpacked
    kNotAFile,       // a link, folder or device: nothing is written there
    kUnreplaceable,  // a file that cannot be replaced (read-only, held open)
    kNoNewFiles,     // the folder takes no new file
  };
  Kind kind;
  std::string path;
  std::string why;  // the system's words, for kUnreplaceable and kNoNewFiles
};

// What stands in the plan's way: every existing name, or with `force`
// what --force does not replace.
std::vector<Obstacle> FindObstacles(const UnpackPlan& plan, const std::string& folder,
                                    const ArchiveIndex& index, bool force);

// Copies entry `i` into its file and records its CRC-32 and shape.
Result<> UnpackEntry(UnpackPlan& plan, const ArchiveIndex& index, int32_t i);

// Marks the entries from `first` on that were to be unpacked as stopped.
void MarkStopped(UnpackPlan& plan, int32_t first);

Result<> WriteManifest(const UnpackPlan& plan);

}  // namespace kowaki
