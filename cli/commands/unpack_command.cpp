// kowaki-cli unpack ARCHIVE DIR: every entry's stored bytes in a file of
// its own, named as export names them (.ogg for Ogg data, .bin for any
// other), and a manifest from which pack --from builds the archive again.

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "archive/entry_stream.h"
#include "cli/arguments/args.h"
#include "cli/arguments/help.h"
#include "cli/commands.h"
#include "cli/commands/modding.h"
#include "cli/output/reasons.h"
#include "cli/output/text_output.h"
#include "cli/terminal/language.h"
#include "cli/terminal/terminal_window.h"
#include "common/crc32.h"
#include "common/output_file.h"
#include "common/temp_files.h"
#include "jobs/output_names.h"
#include "modding/manifest.h"
#include "text/catalogue.h"
#include "text/format_text.h"

namespace kowaki::cli {

namespace {

constexpr size_t kBlock = 1 << 16;

int Fail(const std::string& message) {
  Complain(message);
  return kExitError;
}

std::string CannotWrite(const std::string& path) {
  return Say(Text::kCannotWritePath, PathForDisplay(path));
}

class Unpacker {
 public:
  Unpacker(const ArchiveIndex& index, std::string folder)
      : index_(index), folder_(std::move(folder)), buffer_(kBlock) {}

  // Writes entry `i` into its file; false with why.
  bool Unpack(int32_t i, ManifestEntry* entry, std::string* error);
  bool WriteManifest(const Manifest& manifest, std::string* error);

 private:
  bool Copy(EntryStream& stream, size_t first, OutputFile& out, uint32_t* crc, std::string* error);

  const ArchiveIndex& index_;
  std::string folder_;
  OutputNames names_{[](std::string_view stem) { return Cp932ToUtf8(stem); }};
  std::vector<unsigned char> buffer_;
};

bool Unpacker::Unpack(int32_t i, ManifestEntry* entry, std::string* error) {
  const EntryStreamPtr stream = OpenEntryStream(&index_, i);
  const size_t first = stream ? EntryRead(buffer_.data(), 1, kBlock, stream.get()) : 0;
  if (!stream || first == static_cast<size_t>(-1)) {
    *error = ProblemText(EntryProblem::kReadFailed);
    return false;
  }
  // What the data is decides the extension, as the game's own files have it.
  const bool ogg = first >= 4 && std::memcmp(buffer_.data(), "OggS", 4) == 0;
  const std::string stem = names_.Claim(EntryName(index_.entries[i]), i);
  const std::string path = platform::PathInFolder(folder_, stem + (ogg ? ".ogg" : ".bin"));
  entry->file = std::string(FileNameOf(path));
  if (kowaki::platform::SameFile(path, index_.path)) {
    *error = Say(Text::kIsTheArchive, PathForDisplay(path));
    return false;
  }
  OutputFile out;
  if (!Succeeded(out.Open(path, OutputPlace::kInFolder), error) ||
      !Copy(*stream, first, out, &entry->crc, error) || !Succeeded(out.Commit(), error)) {
    return false;
  }
  entry->shape = ShapeOfEntry(&index_, i);
  return true;
}

bool Unpacker::Copy(EntryStream& stream, size_t first, OutputFile& out, uint32_t* crc,
                    std::string* error) {
  uint64_t copied = 0;
  *crc = 0;
  for (size_t n = first; n != 0; n = EntryRead(buffer_.data(), 1, kBlock, &stream)) {
    if (n == static_cast<size_t>(-1)) return *error = ProblemText(EntryProblem::kReadFailed), false;
    if (!out.Write(buffer_.data(), n)) return *error = CannotWrite(out.path()), false;
    *crc = Crc32(*crc, buffer_.data(), n);
    copied += n;
  }
  if (copied != stream.entry.size || !ArchiveUnchanged(&index_)) {
    *error = ProblemText(EntryProblem::kArchiveChanged);
    return false;
  }
  return true;
}

bool Unpacker::WriteManifest(const Manifest& manifest, std::string* error) {
  const std::string text = FormatManifest(manifest);
  OutputFile out;
  if (!Succeeded(
          out.Open(platform::PathInFolder(folder_, kManifestFileName), OutputPlace::kInFolder),
          error)) {
    return false;
  }
  if (!out.Write(text.data(), text.size())) return *error = CannotWrite(out.path()), false;
  return Succeeded(out.Commit(), error);
}

}  // namespace

int RunUnpack(Arguments args) {
  ParsedArgs parsed;
  std::string error;
  if (!parsed.Parse(args, {}, {}, &error) || parsed.positional().size() != 2) {
    return BadArguments("unpack", error.empty() ? Say(Text::kArgGiveArchiveAndFolder) : error);
  }
  const std::string& folder = parsed.positional()[1];
  const ArchiveIndexPtr index = LoadArchiveArgument(parsed.positional()[0]);
  if (!index) return kExitError;
  if (folder.empty() || !platform::MakeFolders(folder)) {
    return Fail(Say(Text::kCannotMakeFolder, PathForDisplay(folder)));
  }
  // An earlier unpack's manifest goes first: beside this archive's files it
  // would describe neither, should this one fail before writing its own.
  kowaki::platform::RemoveFileNow(platform::PathInFolder(folder, kManifestFileName).c_str());
  Manifest manifest = ManifestOf(*index);
  Unpacker unpacker(*index, folder);
  int32_t left_out = 0;
  for (int32_t i = 0; i < index->count; ++i) {
    ManifestEntry& entry = manifest.entries[static_cast<size_t>(i)];
    const std::string name = EntryLabel(static_cast<size_t>(i), EntryName(index->entries[i]));
    // The reason in the manifest's own words, as it records them.
    if (entry.kind == ManifestEntry::Kind::kOutside) {
      Complain(Say(Text::kNotUnpacked, name, entry.reason));
      ++left_out;
    } else if (!unpacker.Unpack(i, &entry, &error)) {
      // A manifest naming files that are not there would only mislead.
      Fail(Say(Text::kNoManifestWritten, name, error));
      return kExitIncomplete;
    }
  }
  if (!unpacker.WriteManifest(manifest, &error)) return Fail(error), kExitIncomplete;
  PrintText(stdout, Say(Text::kUnpacked, index->count - left_out, index->count,
                        PathForDisplay(folder), kManifestFileName) +
                        "\n");
  return left_out ? kExitIncomplete : kExitOk;
}

}  // namespace kowaki::cli
