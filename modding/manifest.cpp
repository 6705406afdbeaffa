#include "modding/manifest.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <numeric>
#include <optional>

#include "common/cp932.h"
#include "common/crc32.h"
#include "text/catalogue.h"
#include "text/format_text.h"

namespace kowaki {

namespace {

constexpr std::string_view kMagic = "kowaki-unpack";
constexpr std::string_view kBlanks = " \t";

std::string OutsideReason(const ArchiveEntry& entry, uint64_t file_size) {
  const uint64_t end = uint64_t{entry.offset} + entry.size;
  const auto size = static_cast<unsigned long long>(file_size);
  if (entry.offset >= file_size) {
    return FormatText("starts at byte %u, past the end of the archive (%llu bytes)", entry.offset,
                      size);
  }
  return FormatText("ends at byte %llu, past the end of the archive (%llu bytes)",
                    static_cast<unsigned long long>(end), size);
}

// Marks each unpacked entry whose bytes overlap another entry's: in order
// of offset, an entry overlaps an earlier one when it starts before the
// furthest end seen so far, and then the entry that reaches it overlaps it.
void MarkShared(const ArchiveIndex& index, Manifest* manifest) {
  std::vector<int32_t> order(static_cast<size_t>(index.count));
  std::iota(order.begin(), order.end(), 0);
  const auto end = [&](int32_t i) {
    return uint64_t{index.entries[i].offset} + index.entries[i].size;
  };
  std::sort(order.begin(), order.end(), [&](int32_t a, int32_t b) {
    return std::pair(index.entries[a].offset, end(a)) < std::pair(index.entries[b].offset, end(b));
  });
  const auto mark = [&](int32_t i) {
    ManifestEntry& entry = manifest->entries[static_cast<size_t>(i)];
    if (entry.kind == ManifestEntry::Kind::kEntry) entry.kind = ManifestEntry::Kind::kShared;
  };
  uint64_t reach = 0;
  int32_t reacher = -1;
  for (int32_t i : order) {
    if (index.entries[i].size == 0) continue;
    if (index.entries[i].offset < reach) {
      mark(i);
      mark(reacher);
    }
    if (end(i) > reach) {
      reach = end(i);
      reacher = i;
    }
  }
}

// The first word of `*line`, taken off it with the blanks after it.
std::string_view TakeWord(std::string_view* line) {
  const size_t stop = std::min(line->find_first_of(kBlanks), line->size());
  const std::string_view word = line->substr(0, stop);
  const size_t next = line->find_first_not_of(kBlanks, stop);
  line->remove_prefix(next == std::string_view::npos ? line->size() : next);
  return word;
}

template <typename Number>
bool ParseNumber(std::string_view text, int base, Number* value) {
  if (base == 16 && (text.starts_with("0x") || text.starts_with("0X"))) text.remove_prefix(2);
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), *value, base);
  return !text.empty() && ec == std::errc() && end == text.data() + text.size();
}

// Hex after "0x", decimal otherwise.
template <typename Number>
bool ParseHexOrDecimal(std::string_view text, Number* value) {
  const bool hex = text.starts_with("0x") || text.starts_with("0X");
  return ParseNumber(text, hex ? 16 : 10, value);
}

// RATE/CHANNELS/FRAMES/BITRATE, or "-" for data that is no clip.
bool ParseShape(std::string_view text, std::optional<ClipShape>* shape) {
  shape->reset();
  if (text == "-") return true;
  ClipShape parsed;
  std::string_view fields[4];
  for (std::string_view& field : fields) {
    const size_t stop = std::min(text.find('/'), text.size());
    field = text.substr(0, stop);
    text.remove_prefix(std::min(stop + 1, text.size()));
  }
  if (!ParseNumber(fields[0], 10, &parsed.rate) || !ParseNumber(fields[1], 10, &parsed.channels) ||
      !ParseNumber(fields[2], 10, &parsed.frames) || !ParseNumber(fields[3], 10, &parsed.bitrate) ||
      !text.empty()) {
    return false;
  }
  *shape = parsed;
  return true;
}

std::string FormatShape(const std::optional<ClipShape>& shape) {
  if (!shape) return "-";
  return FormatText("%u/%u/%lld/%lld", shape->rate, static_cast<unsigned>(shape->channels),
                    static_cast<long long>(shape->frames), static_cast<long long>(shape->bitrate));
}

ManifestEntry::Kind KindOf(std::string_view keyword) {
  using Kind = ManifestEntry::Kind;
  return keyword == "entry"     ? Kind::kEntry
         : keyword == "shared"  ? Kind::kShared
         : keyword == "outside" ? Kind::kOutside
                                : Kind::kStopped;
}

const char* KeywordOf(ManifestEntry::Kind kind) {
  constexpr const char* kKeywords[] = {"entry", "shared", "outside", "stopped"};
  return kKeywords[static_cast<size_t>(kind)];
}

// The fields after the name: "SIZE CRC32 [AUDIO] FILE", "SIZE REASON" or "SIZE".
Result<ManifestEntry> ParseEntryData(ManifestEntry entry, int version, std::string_view rest) {
  if (!ParseNumber(TakeWord(&rest), 10, &entry.size) || entry.size > UINT32_MAX) {
    return Failure{Say(Text::kManifestBadSize)};
  }
  if (entry.kind == ManifestEntry::Kind::kOutside || entry.kind == ManifestEntry::Kind::kStopped) {
    entry.reason = rest;
    return entry;
  }
  if (!ParseNumber(TakeWord(&rest), 16, &entry.crc)) {
    return Failure{Say(Text::kManifestBadCrc)};
  }
  if (version >= 2 && !ParseShape(TakeWord(&rest), &entry.shape)) {
    return Failure{Say(Text::kManifestBadAudio)};
  }
  if (rest.empty()) {
    return Failure{Say(Text::kManifestNoFile)};
  }
  entry.file = rest;
  return entry;
}

}  // namespace

bool EntriesContiguous(const ArchiveIndex& index) {
  uint64_t next = kArchiveHeaderSize + uint64_t{kArchiveRecordSize} * index.count;
  for (int32_t i = 0; i < index.count; ++i) {
    if (index.entries[i].offset != next) return false;
    next += index.entries[i].size;
  }
  return next == index.identity.size;
}

Manifest ManifestOf(const ArchiveIndex& index) {
  Manifest manifest;
  manifest.header_word = index.header_word;
  manifest.contiguous = EntriesContiguous(index);
  manifest.entries.resize(static_cast<size_t>(index.count));
  const uint64_t file_size = index.identity.size;
  for (int32_t i = 0; i < index.count; ++i) {
    const ArchiveEntry& stored = index.entries[i];
    ManifestEntry& entry = manifest.entries[static_cast<size_t>(i)];
    entry.name = NameFieldOf(stored);
    entry.size = stored.size;
    if (stored.size > 0 && uint64_t{stored.offset} + stored.size > file_size) {
      entry.kind = ManifestEntry::Kind::kOutside;
      entry.reason = OutsideReason(stored, file_size);
    }
  }
  MarkShared(index, &manifest);
  return manifest;
}

std::string EscapeNameField(const NameField& field) {
  size_t length = field.size();
  while (length > 0 && field[length - 1] == '\0') --length;
  if (length == 0) return "%00";
  std::string out;
  constexpr char kHex[] = "0123456789ABCDEF";
  for (size_t i = 0; i < length; ++i) {
    const auto b = static_cast<uint8_t>(field[i]);
    if (b > 0x20 && b < 0x7F && b != '%') {
      out += static_cast<char>(b);
    } else {
      out += {'%', kHex[b >> 4], kHex[b & 15]};
    }
  }
  return out;
}

std::string LabelOf(size_t i, const NameField& name) {
  return Say(Text::kEntryLabel, static_cast<long long>(i),
             Cp932ToUtf8({name.data(), strnlen(name.data(), name.size())}));
}

bool UnescapeNameField(std::string_view text, NameField* field) {
  *field = {};
  size_t length = 0;
  for (size_t i = 0; i < text.size(); ++length) {
    uint8_t b = static_cast<uint8_t>(text[i]);
    if (b == '%') {
      if (!ParseNumber(text.substr(i + 1, 2), 16, &b) || text.size() < i + 3) return false;
      i += 3;
    } else if (b <= 0x20 || b >= 0x7F) {
      return false;
    } else {
      ++i;
    }
    if (length == field->size()) return false;
    (*field)[length] = static_cast<char>(b);
  }
  return length > 0;
}

namespace {

// What the checksum of the entry lines covers: each name in order, the
// index the game finds its entries by. Sizes, CRCs and files describe
// data and may be edited; a name or an order may not.
uint32_t NamesChecksum(const std::vector<ManifestEntry>& entries) {
  uint32_t crc = 0;
  for (const ManifestEntry& entry : entries) {
    const std::string line = EscapeNameField(entry.name) + "\n";
    crc = Crc32(crc, line.data(), line.size());
  }
  return crc;
}

std::string FormatEntry(size_t number, const ManifestEntry& entry) {
  std::string line =
      FormatText("%s %llu %s %llu", KeywordOf(entry.kind), static_cast<unsigned long long>(number),
                 EscapeNameField(entry.name).c_str(), static_cast<unsigned long long>(entry.size));
  if (!entry.unpacked()) return (entry.reason.empty() ? line : line + " " + entry.reason) + "\n";
  return line + FormatText(" %08x ", entry.crc) + FormatShape(entry.shape) + " " + entry.file +
         "\n";
}

}  // namespace

bool Manifest::partial() const {
  return std::any_of(entries.begin(), entries.end(), [](const ManifestEntry& entry) {
    return entry.kind == ManifestEntry::Kind::kStopped;
  });
}

std::string FormatManifest(const Manifest& manifest) {
  std::string out = FormatText(
      "%.*s %d\n"
      "# Made by kowaki-cli unpack; kowaki-cli pack --from DIR builds the archive from it.\n"
      "# In archive order: entry|shared N NAME SIZE CRC32 AUDIO FILE, outside N NAME SIZE "
      "REASON, stopped N NAME SIZE.\n"
      "header-word 0x%08X\n"
      "layout %s\n"
      "entries %llu %08x\n",
      static_cast<int>(kMagic.size()), kMagic.data(), kManifestVersion, manifest.header_word,
      manifest.contiguous ? "contiguous" : "rearranged",
      static_cast<unsigned long long>(manifest.entries.size()), NamesChecksum(manifest.entries));
  if (manifest.partial()) {
    out += "# The unpack was stopped: the entries marked stopped were not unpacked.\n";
  }
  for (size_t i = 0; i < manifest.entries.size(); ++i) out += FormatEntry(i, manifest.entries[i]);
  return out;
}

namespace {

// One line of a manifest, blank and comment lines already left out.
class LineReader {
 public:
  explicit LineReader(Manifest* manifest) : manifest_(manifest) {}

  Result<> Read(std::string_view line, int number) {
    const std::string_view keyword = TakeWord(&line);
    if (!versioned_) return ReadVersion(keyword, line);
    if (keyword == "header-word") {
      has_word_ =
          ParseHexOrDecimal(line, &manifest_->header_word) && manifest_->header_word <= 0xFFFFFF;
      if (has_word_) return {};
      return Failure{Say(Text::kManifestHeaderWord)};
    }
    if (keyword == "layout") {
      has_layout_ = line == "contiguous" || line == "rearranged";
      manifest_->contiguous = line == "contiguous";
      if (has_layout_) return {};
      return Failure{Say(Text::kManifestLayout)};
    }
    if (keyword == "entries" && manifest_->version >= 2) return ReadCount(line);
    if (keyword == "entry" || keyword == "shared" || keyword == "outside" ||
        (keyword == "stopped" && manifest_->version >= 2)) {
      return ReadEntry(keyword, line, number);
    }
    return Failure{Say(Text::kManifestUnknownLine)};
  }

  // What a whole manifest must have said, and its entry lines all there
  // as unpack wrote them.
  Result<> Complete() const {
    if (!versioned_) return Failure{Say(Text::kManifestNotOurs)};
    if (!has_word_) return Failure{Say(Text::kManifestNoHeaderWord)};
    if (!has_layout_) return Failure{Say(Text::kManifestNoLayout)};
    if (manifest_->version < 2) return {};
    if (!count_) return Failure{Say(Text::kManifestNoCount)};
    const size_t lines = manifest_->entries.size();
    const auto said = [](size_t n) { return static_cast<long long>(n); };
    if (lines + 1 == *count_)
      return Failure{Say(Text::kManifestLostLast, said(lines), said(lines + 1))};
    if (lines < *count_) {
      return Failure{Say(Text::kManifestLostAtEnd, said(lines), said(*count_ - 1), said(*count_))};
    }
    if (NamesChecksum(manifest_->entries) != checksum_) {
      return Failure{Say(Text::kManifestNamesChanged)};
    }
    return {};
  }

 private:
  Result<> ReadVersion(std::string_view keyword, std::string_view rest) {
    int version = 0;
    if (keyword != kMagic || !ParseNumber(rest, 10, &version)) {
      return Failure{Say(Text::kManifestNotOurs)};
    }
    versioned_ = true;
    manifest_->version = version;
    if (version >= 1 && version <= kManifestVersion) return {};
    return Failure{Say(Text::kManifestOtherVersion, version, kManifestVersion)};
  }

  Result<> ReadCount(std::string_view rest) {
    size_t count = 0;
    if (!ParseNumber(TakeWord(&rest), 10, &count) || count > kArchiveMaxEntries ||
        !ParseNumber(rest, 16, &checksum_)) {
      return Failure{Say(Text::kManifestBadCount)};
    }
    count_ = count;
    return {};
  }

  Result<> ReadEntry(std::string_view keyword, std::string_view rest, int line) {
    if (manifest_->entries.size() == kArchiveMaxEntries) {
      return Failure{Say(Text::kManifestTooManyEntries)};
    }
    ManifestEntry entry;
    entry.kind = KindOf(keyword);
    if (manifest_->version >= 2) {
      if (!count_) return Failure{Say(Text::kManifestNoCount)};
      if (Result<> numbered = ReadNumber(TakeWord(&rest), line); !numbered) return numbered;
    }
    if (!UnescapeNameField(TakeWord(&rest), &entry.name)) {
      return Failure{Say(Text::kManifestBadName)};
    }
    Result<ManifestEntry> read = ParseEntryData(std::move(entry), manifest_->version, rest);
    if (!read) return read.failure();
    manifest_->entries.push_back(std::move(*read));
    return {};
  }

  // Entry lines number the entries from 0 in order: a line lost, repeated
  // or moved shows as a number out of its place, which is named.
  Result<> ReadNumber(std::string_view text, int line) {
    size_t number = 0;
    if (!ParseNumber(text, 10, &number)) return Failure{Say(Text::kManifestNoNumber)};
    const size_t expected = manifest_->entries.size();
    const auto said = [](size_t n) { return static_cast<long long>(n); };
    if (number >= *count_) {
      return Failure{Say(Text::kManifestBeyondCount, said(number), said(*count_))};
    }
    if (number < expected) {
      return Failure{Say(Text::kManifestRepeats, said(number), lines_[number])};
    }
    if (number > expected) {
      return Failure{Say(Text::kManifestLost, said(expected), said(number))};
    }
    lines_.push_back(line);
    return {};
  }

  Manifest* manifest_;
  bool versioned_ = false;
  bool has_word_ = false;
  bool has_layout_ = false;
  std::optional<size_t> count_;
  uint32_t checksum_ = 0;
  std::vector<int> lines_;  // the line of each entry read, by number
};

}  // namespace

Result<Manifest> ParseManifest(std::string_view text) {
  Manifest manifest;
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);  // as some editors save
  LineReader reader(&manifest);
  int number = 0;
  while (!text.empty()) {
    ++number;
    const size_t stop = std::min(text.find('\n'), text.size());
    std::string_view line = text.substr(0, stop);
    text.remove_prefix(std::min(stop + 1, text.size()));
    while (!line.empty() && (line.back() == '\r' || kBlanks.find(line.back()) != kBlanks.npos)) {
      line.remove_suffix(1);
    }
    const size_t start = line.find_first_not_of(kBlanks);
    if (start == std::string_view::npos || line[start] == '#') continue;
    if (const Result<> read = reader.Read(line.substr(start), number); !read) {
      return Failure{Say(Text::kManifestLine, number, read.failure().text)};
    }
  }
  if (const Result<> complete = reader.Complete(); !complete) return complete.failure();
  return manifest;
}

}  // namespace kowaki
