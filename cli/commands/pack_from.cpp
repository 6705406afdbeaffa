#include "cli/commands/pack_from.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "archive/archive_file.h"
#include "archive/archive_writer.h"
#include "cli/commands.h"
#include "cli/commands/modding.h"
#include "cli/output/reasons.h"
#include "cli/output/text_output.h"
#include "cli/terminal/language.h"
#include "cli/terminal/terminal_window.h"
#include "common/crc32.h"
#include "common/output_file.h"
#include "modding/manifest.h"
#include "text/catalogue.h"
#include "text/format_text.h"

namespace kowaki::cli {

namespace {

constexpr size_t kBlock = 1 << 16;
constexpr int64_t kManifestMax = 256 << 20;  // a full table's lines take about 60 MiB

int Fail(const std::string& message) {
  Complain(message);
  return kExitError;
}

// Reads a whole file: its bytes into `bytes` when given, with its size
// and CRC-32. False when it cannot be read, or holds more than `limit`.
bool ReadFile(const std::string& path, uint64_t limit, std::string* bytes, uint64_t* size,
              uint32_t* crc) {
  archive_file::Handle file(archive_file::OpenShared(path.c_str()));
  if (!file) return false;
  std::vector<char> buffer(kBlock);
  int64_t n;
  *size = 0;
  *crc = 0;
  while ((n = archive_file::Read(file.fd(), buffer.data(), buffer.size())) > 0) {
    *size += static_cast<uint64_t>(n);
    if (*size > limit) return false;
    if (bytes) bytes->append(buffer.data(), static_cast<size_t>(n));
    *crc = Crc32(*crc, buffer.data(), static_cast<size_t>(n));
  }
  return n == 0;
}

// A manifest names files in its own folder or below it, never elsewhere:
// one made by someone else must not pack this system's other files.
bool StaysInFolder(std::string_view file) {
  if (file.empty() || file[0] == '/' || file[0] == '\\' || file.find(':') != file.npos) {
    return false;
  }
  for (size_t start = 0; start <= file.size();) {
    const size_t stop = std::min(file.find_first_of("/\\", start), file.size());
    if (file.substr(start, stop - start) == "..") return false;
    start = stop + 1;
  }
  return true;
}

std::string Which(size_t i, const NameField& name) {
  return EntryLabel(i, {name.data(), strnlen(name.data(), name.size())});
}

// Builds the archive from a manifest's entries; each step says why it failed.
class Packer {
 public:
  Packer(std::string folder, std::string output, bool force)
      : folder_(std::move(folder)), output_(std::move(output)), force_(force) {}

  bool Add(const Manifest& manifest, std::string* error) {
    if (!Succeeded(writer_.set_header_word(manifest.header_word), error)) return false;
    for (size_t i = 0; i < manifest.entries.size(); ++i) {
      if (!AddEntry(i, manifest.entries[i], error)) return false;
    }
    return true;
  }
  bool Write(std::string* error) { return Succeeded(writer_.Write(output_), error); }

  int32_t changed = 0;
  std::vector<std::string> empty;  // entries written without data, and why

 private:
  bool AddEntry(size_t i, const ManifestEntry& entry, std::string* error);

  std::string folder_;
  std::string output_;
  bool force_;
  ArchiveWriter writer_;
};

bool Packer::AddEntry(size_t i, const ManifestEntry& entry, std::string* error) {
  const std::string which = Which(i, entry.name);
  if (entry.kind == ManifestEntry::Kind::kOutside) {
    // The manifest's own words for why.
    empty.push_back(Say(Text::kPackedEmpty, which, entry.reason));
    return Succeeded(writer_.AddBytes(entry.name, {}), error);
  }
  if (!StaysInFolder(entry.file)) {
    *error = Say(Text::kNotInFolder, which, PathForDisplay(entry.file));
    return false;
  }
  const std::string path = platform::PathInFolder(folder_, "") + entry.file;
  if (kowaki::platform::SameFile(path, output_)) {
    *error = BeingWrittenText(path);
    return false;
  }
  uint64_t size = 0;
  uint32_t crc = 0;
  if (!ReadFile(path, UINT32_MAX, nullptr, &size, &crc)) {
    *error = Say(Text::kCannotReadOf, which, PathForDisplay(path));
    return false;
  }
  if (size != entry.size || crc != entry.crc) {
    ++changed;
    // The game cannot play what is no sound clip: a new file is checked.
    if (!force_ && !CheckClip(path, error)) return false;
  }
  if (!Succeeded(writer_.AddFile(entry.name, path), error)) {
    return *error = which + ": " + *error, false;
  }
  return true;
}

}  // namespace

int PackFromManifest(const std::string& folder, const std::string& output, bool force) {
  const std::string manifest_path = platform::PathInFolder(folder, kManifestFileName);
  std::string text, error;
  uint64_t size;
  uint32_t crc;
  if (!ReadFile(manifest_path, kManifestMax, &text, &size, &crc)) {
    return Fail(Say(Text::kCannotReadManifest, PathForDisplay(manifest_path)));
  }
  const Result<Manifest> parsed = ParseManifest(text);
  if (!parsed) {
    return Fail(PathForDisplay(manifest_path) + ", " + parsed.failure().text);
  }
  const Manifest& manifest = *parsed;
  Packer packer(folder, output, force);
  if (!packer.Add(manifest, &error) || !packer.Write(&error)) return Fail(error);
  for (const std::string& line : packer.empty) Complain(line);
  std::string report = Say(Text::kPacked, static_cast<int>(manifest.entries.size()),
                           PathForDisplay(output), packer.changed) +
                       "\n";
  if (!manifest.contiguous) report += RearrangedText() + "\n";
  PrintText(stdout, report);
  return packer.empty.empty() ? kExitOk : kExitIncomplete;
}

}  // namespace kowaki::cli
