#include "modding/manifest.h"

#include <algorithm>
#include <charconv>
#include <numeric>

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

Result<ManifestEntry> ParseEntry(std::string_view keyword, std::string_view rest) {
  ManifestEntry entry;
  entry.kind = keyword == "entry"    ? ManifestEntry::Kind::kEntry
               : keyword == "shared" ? ManifestEntry::Kind::kShared
                                     : ManifestEntry::Kind::kOutside;
  if (!UnescapeNameField(TakeWord(&rest), &entry.name)) {
    return Failure{Say(Text::kManifestBadName)};
  }
  if (!ParseNumber(TakeWord(&rest), 10, &entry.size) || entry.size > UINT32_MAX) {
    return Failure{Say(Text::kManifestBadSize)};
  }
  if (entry.kind == ManifestEntry::Kind::kOutside) {
    entry.reason = rest;
    return entry;
  }
  if (!ParseNumber(TakeWord(&rest), 16, &entry.crc)) {
    return Failure{Say(Text::kManifestBadCrc)};
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

std::string FormatManifest(const Manifest& manifest) {
  std::string out = FormatText(
      "%.*s %d\n"
      "# Made by kowaki-cli unpack; kowaki-cli pack --from DIR builds the archive from it.\n"
      "# In archive order: entry|shared NAME SIZE CRC32 FILE, or outside NAME SIZE REASON.\n"
      "header-word 0x%08X\n"
      "layout %s\n",
      static_cast<int>(kMagic.size()), kMagic.data(), kManifestVersion, manifest.header_word,
      manifest.contiguous ? "contiguous" : "rearranged");
  for (const ManifestEntry& entry : manifest.entries) {
    const std::string name = EscapeNameField(entry.name);
    const auto size = static_cast<unsigned long long>(entry.size);
    if (entry.kind == ManifestEntry::Kind::kOutside) {
      out += FormatText("outside %s %llu ", name.c_str(), size) + entry.reason + "\n";
    } else {
      out += FormatText("%s %s %llu %08x ",
                        entry.kind == ManifestEntry::Kind::kShared ? "shared" : "entry",
                        name.c_str(), size, entry.crc) +
             entry.file + "\n";
    }
  }
  return out;
}

namespace {

// One line of a manifest, blank and comment lines already left out.
class LineReader {
 public:
  explicit LineReader(Manifest* manifest) : manifest_(manifest) {}

  Result<> Read(std::string_view line) {
    const std::string_view keyword = TakeWord(&line);
    if (!versioned_) {
      int version = 0;
      if (keyword != kMagic || !ParseNumber(line, 10, &version)) {
        return Failure{Say(Text::kManifestNotOurs)};
      }
      versioned_ = true;
      if (version == kManifestVersion) return {};
      return Failure{Say(Text::kManifestOtherVersion, version, kManifestVersion)};
    }
    if (keyword == "header-word") {
      has_word_ =
          ParseNumber(line, 16, &manifest_->header_word) && manifest_->header_word <= 0xFFFFFF;
      if (has_word_) return {};
      return Failure{Say(Text::kManifestHeaderWord)};
    }
    if (keyword == "layout") {
      has_layout_ = line == "contiguous" || line == "rearranged";
      manifest_->contiguous = line == "contiguous";
      if (has_layout_) return {};
      return Failure{Say(Text::kManifestLayout)};
    }
    if (keyword == "entry" || keyword == "shared" || keyword == "outside") {
      if (manifest_->entries.size() == kArchiveMaxEntries) {
        return Failure{Say(Text::kManifestTooManyEntries)};
      }
      Result<ManifestEntry> entry = ParseEntry(keyword, line);
      if (!entry) return entry.failure();
      manifest_->entries.push_back(std::move(*entry));
      return {};
    }
    return Failure{Say(Text::kManifestUnknownLine)};
  }

  // What a whole manifest must have said.
  Result<> Complete() const {
    if (!versioned_) return Failure{Say(Text::kManifestNotOurs)};
    if (!has_word_) return Failure{Say(Text::kManifestNoHeaderWord)};
    if (!has_layout_) return Failure{Say(Text::kManifestNoLayout)};
    return {};
  }

 private:
  Manifest* manifest_;
  bool versioned_ = false;
  bool has_word_ = false;
  bool has_layout_ = false;
};

}  // namespace

Result<Manifest> ParseManifest(std::string_view text) {
  Manifest manifest;
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);  // as some editors save
  LineReader reader(&manifest);
  size_t number = 0;
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
    if (const Result<> read = reader.Read(line.substr(start)); !read) {
      return Failure{Say(Text::kManifestLine, static_cast<int>(number), read.failure().text)};
    }
  }
  if (const Result<> complete = reader.Complete(); !complete) return complete.failure();
  return manifest;
}

}  // namespace kowaki
