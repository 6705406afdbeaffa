#pragma once
// What unpack, pack, replace and verify share: the archive argument
// loaded, the check a clip passes before it goes into an archive, and the
// words they say the same things in.

#include <string>
#include <string_view>

#include "archive/archive_index.h"
#include "modding/entry_check.h"

namespace kowaki::cli {

// The archive at `path`; null after saying on stderr why it cannot be loaded.
ArchiveIndexPtr LoadArchiveArgument(const std::string& path);

// "entry 3 (v_0001)": entry `i` by number and by its stored `name`.
std::string EntryLabel(size_t i, std::string_view name);

// Why `path` cannot be an input: it is the archive being written.
std::string BeingWrittenText(const std::string& path);

// What a writer says of an archive whose entries were not in table order.
std::string RearrangedText();

// What is wrong with an entry, in words: "damaged pages (2), cut short".
std::string CheckText(const EntryCheck& check);

// Whether the file at `path` is a clip the game can play: an Ogg Vorbis
// stream that decodes whole. False with why, as "PATH: why".
bool CheckClip(const std::string& path, std::string* error);

}  // namespace kowaki::cli
