#pragma once
// A work folder that unpack filled, as `pack --from` and `status` see it
// against its manifest: what each entry's file is now (unchanged, changed,
// a recording in its place, missing, unusable), the files that look like
// an entry's but that no line names, and the archive built from it.

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "archive/archive_writer.h"
#include "common/result.h"
#include "modding/entry_check.h"
#include "modding/manifest.h"
#include "modding/recording.h"

namespace kowaki {

// The manifest in `folder`, read and checked; fails with the path and
// why (the line, for a manifest that lost, repeated or moved one).
Result<Manifest> ReadManifest(const std::string& folder);

// What pack --from does with an entry.
enum class EntryState : uint8_t {
  kUnchanged,  // its file as unpacked: its bytes again
  kChanged,    // its file with other bytes: a new clip
  kRecording,  // a WAV file under its stem, encoded in its place
  kNoData,     // outside the archive (or left out by a stopped unpack): no data
  kRemoved,    // removed on purpose: not packed
  kAdded,      // added on purpose: a new clip after the others
  kMissing,    // neither its file nor a recording
  kUnusable,   // its file or its recording cannot be taken
};

struct EntryFile {
  EntryState state = EntryState::kUnchanged;
  NameField name{};
  std::string path;    // what is packed: its file or its recording (where expected, when missing)
  EntryCheck check;    // what is wrong with it, if anything
  std::string detail;  // why a recording cannot be encoded
  std::optional<ClipShape> shape;         // a changed clip's, or the recording's own
  std::optional<RecordingTarget> target;  // what a recording is encoded as
  bool stops = false;                     // pack --from stops for it
  bool forcible = false;                  // --force takes it as it is
};

// A file in the folder that looks like an entry's (its extension is an
// entry file's or a recording's, or its name is near one) but that no
// line names.
struct ExtraFile {
  std::string name;
  std::string near;  // the entry's file it is near; empty when none is
};

// An entry added on purpose, at the end.
struct AddedEntry {
  NameField name{};
  std::string path;
};

struct FolderRequest {
  std::string folder;
  const Manifest* manifest = nullptr;
  std::vector<bool> removed;  // by entry of the manifest: removed on purpose
  std::vector<AddedEntry> added;
  bool force = false;  // take what --force takes
  std::optional<float> quality;
  const std::atomic<int32_t>* running = nullptr;  // once cleared, the work stops
};

struct WorkFolder {
  std::vector<EntryFile> entries;  // the manifest's, then those added
  std::vector<ExtraFile> extras;
  bool stopped = false;  // `running` was cleared before the check ended
  int32_t Count(EntryState state) const;
  // Whether pack --from stops: for an entry, or for an extra file
  // without --force.
  bool Stops(bool force) const;
};

WorkFolder CheckWorkFolder(const FolderRequest& request);

// The archive of a folder that does not stop: the manifest's header word,
// its entries in order then those added, recordings encoded. Fails with
// "entry N (NAME): why", or when `running` was cleared.
Result<> AddWorkFolder(const FolderRequest& request, const WorkFolder& folder,
                       ArchiveWriter& writer);

// The file name of an entry's recording: its file's with .wav for its
// extension.
std::string RecordingName(std::string_view file);

// The edit distance of two file names ignoring ASCII case, where it is at
// most kNearNames and the names hold the same numbers (leading zeros
// aside); otherwise kNearNames + 1. "v_003.ogg" is near "v_0003.ogg";
// "v_0004.ogg" names another entry.
inline constexpr int kNearNames = 2;
int NameDistance(std::string_view a, std::string_view b);

}  // namespace kowaki
