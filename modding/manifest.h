#pragma once
// What `unpack` leaves beside an archive's entries, and `pack --from`
// builds the archive again from: the header word, whether the entries lay
// one after another, then every entry in archive order with its name
// bytes, and its file, size and CRC-32 when it was unpacked. A line-based
// text, described in docs/MANIFEST.md.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "archive/archive_index.h"
#include "archive/archive_writer.h"
#include "common/result.h"

namespace kowaki {

inline constexpr char kManifestFileName[] = "manifest.txt";
inline constexpr int kManifestVersion = 1;

struct ManifestEntry {
  enum class Kind {
    kEntry,    // unpacked into `file`
    kShared,   // unpacked too, but its bytes overlap another entry's in the archive
    kOutside,  // not unpacked: its data is not (all) in the archive; `reason` says why
  };
  Kind kind = Kind::kEntry;
  NameField name{};
  uint64_t size = 0;
  uint32_t crc = 0;  // of the file as unpacked
  std::string file;  // a path relative to the manifest's folder
  std::string reason;
};

struct Manifest {
  uint32_t header_word = 0;
  // The entries lay one after another in table order right after the
  // table, up to the end of the file: packing them again gives the same
  // bytes.
  bool contiguous = false;
  std::vector<ManifestEntry> entries;
};

// The manifest of `index`: names, sizes, header word and layout, every
// entry kEntry, kShared or kOutside; the files and CRCs are the unpacker's.
Manifest ManifestOf(const ArchiveIndex& index);

// Whether the entries lie one after another in table order, right after
// the table and up to the end of the file: writing them again gives the
// same bytes.
bool EntriesContiguous(const ArchiveIndex& index);

std::string FormatManifest(const Manifest& manifest);
// Fails with "line N: why" for a text that is not a manifest this version
// reads.
Result<Manifest> ParseManifest(std::string_view text);

// A name field as a manifest writes it: its bytes up to the last non-zero
// one, every byte outside printable ASCII and '%' as %XX; "%00" for none.
std::string EscapeNameField(const NameField& field);
bool UnescapeNameField(std::string_view text, NameField* field);

}  // namespace kowaki
