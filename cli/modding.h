#pragma once
// What unpack, pack --from, replace and verify share: the archive argument
// loaded, and the check a clip passes before it goes into an archive.

#include <memory>
#include <string>

#include "archive/archive_index.h"
#include "jobs/entry_check.h"

namespace kowaki::cli {

struct IndexFree {
  void operator()(ArchiveIndex* index) const { FreeArchiveIndex(index); }
};
using LoadedArchive = std::unique_ptr<ArchiveIndex, IndexFree>;

// The archive at `path`; null after saying on stderr why it cannot be loaded.
LoadedArchive LoadArchiveArgument(const std::string& path);

// What is wrong with an entry, in words: "damaged pages (2), cut short".
std::string CheckText(const EntryCheck& check);

// Whether the file at `path` is a clip the game can play: an Ogg Vorbis
// stream that decodes whole. False with why, as "PATH: why".
bool CheckClip(const std::string& path, std::string* error);

}  // namespace kowaki::cli
