#pragma once
// What `unpack` leaves beside an archive's entries, and `pack --from`
// builds the archive again from: the header word, whether the entries lay
// one after another, how many entries there are, then every entry in
// archive order with its number, name bytes, and its file, size, CRC-32
// and audio when it was unpacked. A line-based text, described in
// docs/MANIFEST.md.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "archive/archive_index.h"
#include "archive/archive_writer.h"
#include "common/result.h"
#include "modding/entry_check.h"

namespace kowaki {

inline constexpr char kManifestFileName[] = "manifest.txt";
// Version 2 numbers the entry lines, counts them, records a checksum of
// their names and the audio of each clip. Version 1 is still read.
inline constexpr int kManifestVersion = 2;

struct ManifestEntry {
  enum class Kind {
    kEntry,    // unpacked into `file`
    kShared,   // unpacked too, but its bytes overlap another entry's in the archive
    kOutside,  // not unpacked: its data is not (all) in the archive; `reason` says why
    kStopped,  // not unpacked: the unpack was stopped before it
  };
  Kind kind = Kind::kEntry;
  NameField name{};
  uint64_t size = 0;
  uint32_t crc = 0;  // of the file as unpacked
  std::string file;  // a path relative to the manifest's folder, '/' between folders
  std::string reason;
  std::optional<ClipShape> shape;  // of the clip unpacked; none for other data, or in version 1
  bool unpacked() const { return kind == Kind::kEntry || kind == Kind::kShared; }
};

struct Manifest {
  int version = kManifestVersion;
  uint32_t header_word = 0;
  // The entries lay one after another in table order right after the
  // table, up to the end of the file: packing them again gives the same
  // bytes.
  bool contiguous = false;
  std::vector<ManifestEntry> entries;
  // Some entries were not unpacked because the unpack was stopped.
  bool partial() const;
};

// The manifest of `index`: names, sizes, header word and layout, every
// entry kEntry, kShared or kOutside; the files, CRCs and shapes are the
// unpacker's.
Manifest ManifestOf(const ArchiveIndex& index);

// Whether the entries lie one after another in table order, right after
// the table and up to the end of the file: writing them again gives the
// same bytes.
bool EntriesContiguous(const ArchiveIndex& index);

// In the current version, whatever version `manifest` was read in.
std::string FormatManifest(const Manifest& manifest);
// Fails with "line N: why" for a text that is not a manifest this version
// reads, also for one whose entry lines were lost, repeated, moved or
// renamed since unpack wrote it (version 2 on).
Result<Manifest> ParseManifest(std::string_view text);

// A name field as a manifest writes it: its bytes up to the last non-zero
// one, every byte outside printable ASCII and '%' as %XX; "%00" for none.
std::string EscapeNameField(const NameField& field);
// "entry 3 (v_0001)": entry `i` by number and by its name, decoded.
std::string LabelOf(size_t i, const NameField& name);
bool UnescapeNameField(std::string_view text, NameField* field);

}  // namespace kowaki
