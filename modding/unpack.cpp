#include "modding/unpack.h"

#include <cstring>
#include <memory>
#include <optional>

#include "archive/archive_file.h"
#include "archive/entry_stream.h"
#include "common/cp932.h"
#include "common/crc32.h"
#include "common/output_file.h"
#include "jobs/entry_problem.h"
#include "jobs/output_names.h"
#include "modding/folder.h"
#include "text/catalogue.h"

namespace kowaki {

namespace {

constexpr size_t kBlock = 1 << 16;
constexpr char kOggMagic[] = "OggS";

// What the data is decides the extension, as the game's own files have it.
bool StartsAsOgg(const ArchiveIndex& index, int32_t i) {
  char magic[4];
  const ArchiveEntry& entry = index.entries[i];
  return entry.size >= sizeof magic &&
         archive_file::ReadAt(index.fd, entry.offset, magic, sizeof magic) == sizeof magic &&
         std::memcmp(magic, kOggMagic, sizeof magic) == 0;
}

// The obstacle at `path`, if any: a name that exists, as lstat sees it.
std::optional<Obstacle> ObstacleAt(const std::string& path, const ArchiveIndex& index, bool force) {
  using Kind = Obstacle::Kind;
  switch (platform::KindOfName(path)) {
    case platform::PathKind::kNone:
      return std::nullopt;
    case platform::PathKind::kFile:
      break;
    default:
      return Obstacle{Kind::kNotAFile, path, {}};
  }
  if (platform::SameFile(path, index.path)) return Obstacle{Kind::kTheArchive, path, {}};
  if (!force) return Obstacle{Kind::kFile, path, {}};
  if (Result<> replaceable = CanReplace(path); !replaceable) {
    return Obstacle{Kind::kUnreplaceable, path, replaceable.failure().text};
  }
  return std::nullopt;
}

Result<> Copy(EntryStream& stream, const ArchiveIndex& index, OutputFile& out, uint32_t* crc) {
  const auto buffer = std::make_unique<unsigned char[]>(kBlock);
  uint64_t copied = 0;
  *crc = 0;
  for (;;) {
    const size_t n = EntryRead(buffer.get(), 1, kBlock, &stream);
    if (n == 0) break;
    if (n == static_cast<size_t>(-1)) return Failure{ProblemText(EntryProblem::kReadFailed)};
    if (!out.Write(buffer.get(), n)) return Failure{Say(Text::kCannotWritePath, out.path())};
    *crc = Crc32(*crc, buffer.get(), n);
    copied += n;
  }
  if (copied != stream.entry.size || !ArchiveUnchanged(&index)) {
    return Failure{ProblemText(EntryProblem::kArchiveChanged)};
  }
  return {};
}

}  // namespace

UnpackPlan PlanUnpack(const ArchiveIndex& index, const std::string& folder,
                      const FileNameOf& file_name_of) {
  UnpackPlan plan{ManifestOf(index), std::vector<std::string>(static_cast<size_t>(index.count)),
                  PathInFolder(folder, kManifestFileName)};
  OutputNames names([](std::string_view stem) { return Cp932ToUtf8(stem); });
  for (int32_t i = 0; i < index.count; ++i) {
    ManifestEntry& entry = plan.manifest.entries[static_cast<size_t>(i)];
    if (!entry.unpacked()) continue;
    const std::string stem = names.Claim(EntryName(index.entries[i]), i);
    entry.file = file_name_of(stem + (StartsAsOgg(index, i) ? ".ogg" : ".bin"));
    plan.paths[static_cast<size_t>(i)] = PathInFolder(folder, entry.file);
  }
  return plan;
}

std::vector<Obstacle> FindObstacles(const UnpackPlan& plan, const std::string& folder,
                                    const ArchiveIndex& index, bool force) {
  std::vector<Obstacle> obstacles;
  if (Result<> creatable = CanCreateIn(folder); !creatable) {
    obstacles.push_back({Obstacle::Kind::kNoNewFiles, folder, creatable.failure().text});
    return obstacles;
  }
  const auto look = [&](const std::string& path) {
    if (std::optional<Obstacle> obstacle = ObstacleAt(path, index, force)) {
      obstacles.push_back(std::move(*obstacle));
    }
  };
  look(plan.manifest_path);
  for (const std::string& path : plan.paths) {
    if (!path.empty()) look(path);
  }
  return obstacles;
}

Result<> UnpackEntry(UnpackPlan& plan, const ArchiveIndex& index, int32_t i) {
  ManifestEntry& entry = plan.manifest.entries[static_cast<size_t>(i)];
  const EntryStreamPtr stream = OpenEntryStream(&index, i);
  if (!stream) return Failure{ProblemText(EntryProblem::kReadFailed)};
  OutputFile out;
  if (Result<> opened = out.Open(plan.paths[static_cast<size_t>(i)], OutputPlace::kInFolder);
      !opened) {
    return opened;
  }
  if (Result<> copied = Copy(*stream, index, out, &entry.crc); !copied) return copied;
  if (Result<> committed = out.Commit(); !committed) return committed;
  entry.shape = ShapeOfEntry(&index, i);
  return {};
}

void MarkStopped(UnpackPlan& plan, int32_t first) {
  for (size_t i = static_cast<size_t>(first); i < plan.manifest.entries.size(); ++i) {
    ManifestEntry& entry = plan.manifest.entries[i];
    if (!entry.unpacked()) continue;
    entry.kind = ManifestEntry::Kind::kStopped;
    entry.file.clear();
  }
}

Result<> WriteManifest(const UnpackPlan& plan) {
  const std::string text = FormatManifest(plan.manifest);
  OutputFile out;
  if (Result<> opened = out.Open(plan.manifest_path, OutputPlace::kInFolder); !opened) {
    return opened;
  }
  if (!out.Write(text.data(), text.size())) {
    return Failure{Say(Text::kCannotWritePath, plan.manifest_path)};
  }
  return out.Commit();
}

}  // namespace kowaki
