#include "modding/work_folder.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <memory>
#include <set>

#include "archive/archive_file.h"
#include "common/crc32.h"
#include "common/output_file.h"
#include "jobs/output_names.h"
#include "modding/folder.h"
#include "text/catalogue.h"

namespace kowaki {

namespace {

constexpr size_t kBlock = 1 << 16;
constexpr uint64_t kManifestMax = 256 << 20;  // a full table's lines take about 80 MiB

// The extensions of the files unpack writes and of recordings.
constexpr std::string_view kEntryExtensions[] = {".ogg", ".bin", ".wav"};

struct FileSum {
  uint64_t size = 0;
  uint32_t crc = 0;
};

// A whole file's size and CRC-32, its bytes into `bytes` when given; fails
// with the system's error, or when it holds more than `limit` bytes.
Result<FileSum> ReadWhole(const std::string& path, uint64_t limit, std::string* bytes = nullptr) {
  archive_file::OpenError error;
  archive_file::Handle file(archive_file::OpenShared(path.c_str(), &error));
  if (!file) return Failure{{}, error.system_error};
  const auto buffer = std::make_unique<char[]>(kBlock);
  FileSum sum;
  int64_t n;
  while ((n = archive_file::Read(file.fd(), buffer.get(), kBlock)) > 0) {
    sum.size += static_cast<uint64_t>(n);
    if (sum.size > limit) return Failure{{}, EFBIG};
    if (bytes) bytes->append(buffer.get(), static_cast<size_t>(n));
    sum.crc = Crc32(sum.crc, buffer.get(), static_cast<size_t>(n));
  }
  if (n < 0) return Failure{{}, errno};
  return sum;
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

EntryProblem ProblemOfKind(platform::PathKind kind, platform::PathKind wanted) {
  if (kind == wanted) return EntryProblem::kNone;
  switch (kind) {
    case platform::PathKind::kNone:
      return EntryProblem::kFileMissing;
    case platform::PathKind::kLink:
      return EntryProblem::kFileLink;
    default:
      return EntryProblem::kFileUnreadable;
  }
}

// The path of `file` in `folder`, reached without following a link: each
// folder on the way a folder, the file an ordinary file; else why not.
EntryProblem Locate(const std::string& folder, std::string_view file, std::string* path) {
  *path = PathInFolder(folder, file);
  if (!StaysInFolder(file)) return EntryProblem::kFileOutside;
  for (size_t cut = file.find_first_of("/\\"); cut != file.npos;
       cut = file.find_first_of("/\\", cut + 1)) {
    const platform::PathKind kind = platform::KindOfName(PathInFolder(folder, file.substr(0, cut)));
    if (kind != platform::PathKind::kFolder)
      return ProblemOfKind(kind, platform::PathKind::kFolder);
  }
  return ProblemOfKind(platform::KindOfName(*path), platform::PathKind::kFile);
}

std::string AsciiLower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  return lower;
}

// The checks of one entry of the manifest, or of one added.
class EntryChecker {
 public:
  explicit EntryChecker(const FolderRequest& request) : request_(request) {}

  EntryFile Check(size_t i) const;
  EntryFile Added(const AddedEntry& added) const { return Clip(EntryState::kAdded, added.path); }

 private:
  EntryFile Unpacked(const ManifestEntry& entry) const;
  EntryFile WithRecording(const ManifestEntry& entry, const std::string& clip,
                          const std::string& wav) const;
  Result<RecordingTarget> TargetFor(const ManifestEntry& entry, const std::string& clip) const;
  EntryFile Clip(EntryState state, const std::string& path) const;

  const FolderRequest& request_;
};

EntryFile FileIn(EntryState state, const std::string& path = {}) {
  EntryFile file;
  file.state = state;
  file.path = path;
  return file;
}

// Whether pack --from stops for an entry whatever its options, or unless --force.
enum class Stop : uint8_t { kAlways, kUnlessForced };

// An entry that pack --from cannot take as it stands, or without --force.
EntryFile Refused(EntryState state, const std::string& path, EntryProblem problem, Stop stop,
                  bool force, int system_error = 0) {
  EntryFile file = FileIn(state, path);
  file.check.problems.Add(problem);
  file.check.facts.system_error = system_error;
  file.forcible = stop == Stop::kUnlessForced;
  file.stops = !file.forcible || !force;
  return file;
}

EntryFile EntryChecker::Check(size_t i) const {
  const ManifestEntry& entry = request_.manifest->entries[i];
  if (request_.removed[i]) return FileIn(EntryState::kRemoved);
  if (entry.kind == ManifestEntry::Kind::kOutside) return FileIn(EntryState::kNoData);
  if (entry.kind == ManifestEntry::Kind::kStopped) {
    // --force packs it as an entry outside the archive: with no data.
    return Refused(request_.force ? EntryState::kNoData : EntryState::kMissing, {},
                   EntryProblem::kNotUnpacked, Stop::kUnlessForced, request_.force);
  }
  return Unpacked(entry);
}

EntryFile EntryChecker::Unpacked(const ManifestEntry& entry) const {
  std::string clip, wav;
  const EntryProblem clip_problem = Locate(request_.folder, entry.file, &clip);
  const EntryProblem wav_problem = Locate(request_.folder, RecordingName(entry.file), &wav);
  if (wav_problem != EntryProblem::kNone && wav_problem != EntryProblem::kFileMissing) {
    return Refused(EntryState::kUnusable, wav, wav_problem, Stop::kAlways, request_.force);
  }
  if (clip_problem != EntryProblem::kNone && clip_problem != EntryProblem::kFileMissing) {
    return Refused(EntryState::kUnusable, clip, clip_problem, Stop::kAlways, request_.force);
  }
  const bool has_clip = clip_problem == EntryProblem::kNone;
  if (wav_problem == EntryProblem::kNone) return WithRecording(entry, has_clip ? clip : "", wav);
  if (!has_clip) {
    return Refused(EntryState::kMissing, clip, EntryProblem::kFileMissing, Stop::kAlways,
                   request_.force);
  }
  const Result<FileSum> sum = ReadWhole(clip, UINT32_MAX);
  if (!sum) {
    return Refused(EntryState::kUnusable, clip, EntryProblem::kFileUnreadable, Stop::kAlways,
                   request_.force, sum.failure().system_error);
  }
  if (sum->size == entry.size && sum->crc == entry.crc) return FileIn(EntryState::kUnchanged, clip);
  return Clip(EntryState::kChanged, clip);
}

// A recording wins over its entry's .ogg as unpacked; beside a changed
// .ogg it is not clear which is meant, and --force takes the .ogg.
EntryFile EntryChecker::WithRecording(const ManifestEntry& entry, const std::string& clip,
                                      const std::string& wav) const {
  if (!clip.empty()) {
    const Result<FileSum> sum = ReadWhole(clip, UINT32_MAX);
    if (!sum || sum->size != entry.size || sum->crc != entry.crc) {
      if (request_.force) return Clip(EntryState::kChanged, clip);
      return Refused(EntryState::kChanged, clip, EntryProblem::kOggAndWav, Stop::kUnlessForced,
                     false);
    }
  }
  EntryFile file = FileIn(EntryState::kRecording, wav);
  Result<RecordingTarget> target = TargetFor(entry, clip);
  Result<ClipShape> shape = target ? CheckRecording(wav, *target) : target.failure();
  if (!shape) {
    file = Refused(EntryState::kUnusable, wav, EntryProblem::kRecordingUnusable, Stop::kAlways,
                   request_.force);
    file.detail = shape.failure().text;
    return file;
  }
  file.target = *target;
  file.shape = *shape;
  return file;
}

// The clip a recording replaces: as the manifest records it, or (version
// 1) as its unchanged file is.
Result<RecordingTarget> EntryChecker::TargetFor(const ManifestEntry& entry,
                                                const std::string& clip) const {
  if (entry.shape) return TargetForShape(*entry.shape, request_.quality);
  if (!clip.empty() && request_.manifest->version < 2) {
    const ArchiveLoad file = LoadFileAsEntry(clip.c_str());
    if (file) return TargetForEntry(file->get(), 0, request_.quality);
  }
  return Failure{Say(Text::kRecordingEntryNotVorbis)};
}

// A new clip: decoded to its end, since the game cannot play what does
// not decode whole.
EntryFile EntryChecker::Clip(EntryState state, const std::string& path) const {
  errno = 0;
  const ArchiveLoad loaded = LoadFileAsEntry(path.c_str());
  if (!loaded) {
    return Refused(EntryState::kUnusable, path, EntryProblem::kFileUnreadable, Stop::kAlways,
                   request_.force, errno);
  }
  EntryFile file = FileIn(state, path);
  file.check = CheckClipFile(loaded->get());
  file.shape = ShapeOfEntry(loaded->get(), 0);
  file.forcible = !file.check.ok();
  file.stops = file.forcible && !request_.force;
  return file;
}

// The files of the folder the manifest's entries name, as keys.
class NamedFiles {
 public:
  explicit NamedFiles(const Manifest& manifest) {
    for (const ManifestEntry& entry : manifest.entries) {
      if (!entry.unpacked() || entry.file.find_first_of("/\\") != std::string::npos) continue;
      candidates_.push_back(entry.file);
      candidates_.push_back(RecordingName(entry.file));
    }
    for (const std::string& name : candidates_) keys_.insert(Key(name));
    keys_.insert(Key(kManifestFileName));
  }

  bool Names(std::string_view name) const { return keys_.contains(Key(name)); }

  // The nearest of the entries' file names to `name`, if one is near.
  std::string Near(std::string_view name) const {
    std::string nearest;
    int best = kNearNames + 1;
    for (const std::string& candidate : candidates_) {
      const int distance = NameDistance(name, candidate);
      if (distance < best) {
        best = distance;
        nearest = candidate;
      }
    }
    return nearest;
  }

 private:
  static std::u32string Key(std::string_view name) {
    if (platform::NamesIgnoreCase()) return FoldCase(name);
    std::u32string key;
    for (size_t i = 0; i < name.size();) key += NextCodePoint(name, &i);
    return key;
  }

  std::vector<std::string> candidates_;
  std::set<std::u32string> keys_;
};

bool HasEntryExtension(std::string_view name) {
  const std::string lower = AsciiLower(name);
  return std::any_of(std::begin(kEntryExtensions), std::end(kEntryExtensions),
                     [&](std::string_view extension) { return lower.ends_with(extension); });
}

std::vector<ExtraFile> FindExtras(const FolderRequest& request) {
  const Result<std::vector<std::string>> names = platform::FileNamesIn(request.folder);
  if (!names) return {};
  const NamedFiles named(*request.manifest);
  std::vector<ExtraFile> extras;
  for (const std::string& name : *names) {
    if (named.Names(name)) continue;
    const std::string path = PathInFolder(request.folder, name);
    if (std::any_of(request.added.begin(), request.added.end(), [&](const AddedEntry& added) {
          return platform::SameFile(added.path, path);
        })) {
      continue;
    }
    std::string near = named.Near(name);
    if (!near.empty() || HasEntryExtension(name)) extras.push_back({name, std::move(near)});
  }
  std::sort(extras.begin(), extras.end(),
            [](const ExtraFile& a, const ExtraFile& b) { return a.name < b.name; });
  return extras;
}

// The numbers in a name, each without its leading zeros: "v_0003.ogg" and
// "v_003.ogg" say 3, "v_0004.ogg" says 4.
std::vector<std::string_view> NumbersIn(std::string_view name) {
  std::vector<std::string_view> numbers;
  const auto digit = [](char c) { return c >= '0' && c <= '9'; };
  for (size_t i = 0; i < name.size();) {
    if (!digit(name[i])) {
      ++i;
      continue;
    }
    while (i + 1 < name.size() && name[i] == '0' && digit(name[i + 1])) ++i;
    const size_t start = i;
    while (i < name.size() && digit(name[i])) ++i;
    numbers.push_back(name.substr(start, i - start));
  }
  return numbers;
}

bool Running(const FolderRequest& request) {
  return !request.running || request.running->load() != 0;
}

Result<> AddEntryTo(const NameField& name, const EntryFile& file, ArchiveWriter& writer) {
  switch (file.state) {
    case EntryState::kUnchanged:
    case EntryState::kChanged:
    case EntryState::kAdded:
      return writer.AddFile(name, file.path);
    case EntryState::kNoData:
      return writer.AddBytes(name, {});
    case EntryState::kRecording: {
      Result<std::string> ogg = EncodeRecording(file.path, *file.target);
      if (!ogg) return ogg.failure();
      return writer.AddBytes(name, std::move(*ogg));
    }
    case EntryState::kRemoved:
      return {};
    default:
      return Failure{ProblemText(EntryProblem::kFileMissing)};
  }
}

}  // namespace

Result<Manifest> ReadManifest(const std::string& folder) {
  const std::string path = PathInFolder(folder, kManifestFileName);
  std::string text;
  if (const Result<FileSum> read = ReadWhole(path, kManifestMax, &text); !read) {
    return Failure{Say(Text::kCannotReadManifest, path), read.failure().system_error};
  }
  Result<Manifest> parsed = ParseManifest(text);
  if (!parsed) return Failure{path + ", " + parsed.failure().text};
  return parsed;
}

int32_t WorkFolder::Count(EntryState state) const {
  return static_cast<int32_t>(std::count_if(entries.begin(), entries.end(),
                                            [&](const EntryFile& e) { return e.state == state; }));
}

bool WorkFolder::Stops(bool force) const {
  return (!force && !extras.empty()) ||
         std::any_of(entries.begin(), entries.end(), [](const EntryFile& e) { return e.stops; });
}

WorkFolder CheckWorkFolder(const FolderRequest& request) {
  WorkFolder folder;
  const EntryChecker checker(request);
  const size_t count = request.manifest->entries.size();
  for (size_t i = 0; i < count + request.added.size(); ++i) {
    if (!Running(request)) {
      folder.stopped = true;
      return folder;
    }
    EntryFile& file = folder.entries.emplace_back(
        i < count ? checker.Check(i) : checker.Added(request.added[i - count]));
    file.name = i < count ? request.manifest->entries[i].name : request.added[i - count].name;
  }
  folder.extras = FindExtras(request);
  return folder;
}

Result<> AddWorkFolder(const FolderRequest& request, const WorkFolder& folder,
                       ArchiveWriter& writer) {
  if (Result<> word = writer.set_header_word(request.manifest->header_word); !word) return word;
  for (size_t i = 0; i < folder.entries.size(); ++i) {
    if (!Running(request)) return Failure{Say(Text::kInterrupted)};
    const EntryFile& file = folder.entries[i];
    if (Result<> added = AddEntryTo(file.name, file, writer); !added) {
      return Failure{LabelOf(i, file.name) + ": " + added.failure().text};
    }
  }
  return {};
}

std::string RecordingName(std::string_view file) {
  const size_t cut = file.find_last_of("/\\");
  const size_t base = cut == file.npos ? 0 : cut + 1;
  const size_t dot = file.rfind('.');
  const bool extension = dot != file.npos && dot > base;
  return std::string(file.substr(0, extension ? dot : file.size())) + ".wav";
}

int NameDistance(std::string_view a, std::string_view b) {
  constexpr int kFar = kNearNames + 1;
  constexpr size_t kLongest = 64;  // longer names are only ever alike
  if (a.size() > b.size()) std::swap(a, b);
  // Cheap tests first: a name is compared with every entry's.
  if (b.size() - a.size() > kNearNames || NumbersIn(a) != NumbersIn(b)) return kFar;
  const std::string x = AsciiLower(a);
  const std::string y = AsciiLower(b);
  if (y.size() > kLongest) return x == y ? 0 : kFar;
  std::array<int, kLongest + 1> row;
  for (size_t j = 0; j <= y.size(); ++j) row[j] = static_cast<int>(j);
  for (size_t i = 1; i <= x.size(); ++i) {
    int diagonal = row[0];
    row[0] = static_cast<int>(i);
    int least = row[0];
    for (size_t j = 1; j <= y.size(); ++j) {
      const int above = row[j];
      row[j] = std::min({above + 1, row[j - 1] + 1, diagonal + (x[i - 1] == y[j - 1] ? 0 : 1)});
      diagonal = above;
      least = std::min(least, row[j]);
    }
    if (least > kNearNames) return kFar;
  }
  return std::min(row[y.size()], kFar);
}

}  // namespace kowaki
