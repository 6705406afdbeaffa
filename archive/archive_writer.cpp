#include "archive/archive_writer.h"

#include <cstring>
#include <memory>

#include "archive/archive_file.h"
#include "archive/archive_index.h"
#include "archive/entry_stream.h"
#include "common/little_endian.h"
#include "common/output_file.h"
#include "text/catalogue.h"

namespace kowaki {

namespace {

constexpr uint64_t kMaxArchiveSize = uint64_t{1} << 32;  // offsets are 32-bit
constexpr size_t kCopyBlock = 1 << 16;

// The size of a readable file, or -1.
int64_t ReadableSize(const std::string& path) {
  archive_file::Handle file(archive_file::OpenShared(path.c_str()));
  if (!file) return -1;
  unsigned char probe;
  const int64_t size = archive_file::Seek(file.fd(), 0, SEEK_END);
  // A directory opens on some systems; only a file reads.
  if (size < 0 || archive_file::Seek(file.fd(), 0, SEEK_SET) != 0 ||
      (size > 0 && archive_file::Read(file.fd(), &probe, 1) != 1)) {
    return -1;
  }
  return size;
}

Result<> CopyFile(const std::string& path, uint64_t expected, OutputFile& out) {
  archive_file::Handle file(archive_file::OpenShared(path.c_str()));
  if (!file) {
    return Failure{Say(Text::kCannotReadPath, path)};
  }
  auto buffer = std::make_unique<unsigned char[]>(kCopyBlock);
  uint64_t copied = 0;
  int64_t n;
  bool written = true;
  while ((n = archive_file::Read(file.fd(), buffer.get(), kCopyBlock)) > 0) {
    copied += static_cast<uint64_t>(n);
    if (copied > expected) break;
    if (!(written = out.Write(buffer.get(), static_cast<size_t>(n)))) break;
  }
  if (!written) {
    return Failure{Say(Text::kCannotWritePath, out.path())};
  }
  if (n < 0) {
    return Failure{Say(Text::kCannotReadPath, path)};
  }
  if (copied != expected) {
    return Failure{Say(Text::kChangedWhilePacked, path)};
  }
  return {};
}

// An entry's bytes as the entry stream reads them; the archive must still
// be the one its index was loaded from.
Result<> CopyEntry(const ArchiveIndex* index, int32_t i, OutputFile& out) {
  const EntryStreamPtr stream = OpenEntryStream(index, i);
  auto buffer = std::make_unique<unsigned char[]>(kCopyBlock);
  uint64_t copied = 0;
  size_t n = 0;
  while (stream && (n = EntryRead(buffer.get(), 1, kCopyBlock, stream.get())) != 0 &&
         n != static_cast<size_t>(-1)) {
    if (!out.Write(buffer.get(), n)) {
      return Failure{Say(Text::kCannotWritePath, out.path())};
    }
    copied += n;
  }
  if (!stream || n != 0 || copied != index->entries[i].size || !ArchiveUnchanged(index)) {
    return Failure{Say(Text::kCannotReadEntryOf, i, index->path) +
                   (stream && n == 0 ? ": " + std::string(Say(Text::kProblemArchiveChanged)) : "")};
  }
  return {};
}

}  // namespace

NameField NameFieldOf(const ArchiveEntry& entry) {
  NameField field;
  std::memcpy(field.data(), entry.name, field.size());
  return field;
}

Result<> ArchiveWriter::CheckName(std::string_view name) const {
  if (name.empty() || name.size() > kArchiveNameSize - 1) {
    return Failure{Say(Text::kNameLength, static_cast<int>(name.size()))};
  }
  if (name.find('\0') != std::string_view::npos) {
    return Failure{Say(Text::kNameZeroByte)};
  }
  return CheckRoom();
}

Result<> ArchiveWriter::CheckRoom() const {
  if (entries_.size() >= kArchiveMaxEntries) {
    return Failure{Say(Text::kArchiveFull, static_cast<int>(kArchiveMaxEntries))};
  }
  return {};
}

namespace {

NameField FieldOfName(std::string_view name) {
  NameField field{};
  std::memcpy(field.data(), name.data(), name.size());
  return field;
}

}  // namespace

Result<> ArchiveWriter::AddFile(std::string_view name, const std::string& path) {
  if (Result<> checked = CheckName(name); !checked) return checked;
  return AddFile(FieldOfName(name), path);
}

Result<> ArchiveWriter::AddBytes(std::string_view name, std::string bytes) {
  if (Result<> checked = CheckName(name); !checked) return checked;
  return AddBytes(FieldOfName(name), std::move(bytes));
}

Result<> ArchiveWriter::AddBytes(const NameField& field, std::string bytes) {
  if (Result<> room = CheckRoom(); !room) return room;
  const uint64_t size = bytes.size();
  entries_.push_back({field, {}, nullptr, -1, std::move(bytes), size});
  return {};
}

Result<> ArchiveWriter::AddFile(const NameField& field, const std::string& path) {
  if (Result<> room = CheckRoom(); !room) return room;
  const int64_t size = ReadableSize(path);
  if (size < 0) {
    return Failure{Say(Text::kCannotReadPath, path)};
  }
  entries_.push_back({field, path, nullptr, -1, {}, static_cast<uint64_t>(size)});
  return {};
}

Result<> ArchiveWriter::AddEntry(const NameField& field, const ArchiveIndex* index, int32_t entry) {
  if (Result<> room = CheckRoom(); !room) return room;
  const ArchiveEntry& stored = index->entries[entry];
  if (uint64_t{stored.offset} + stored.size > index->identity.size) {
    return Failure{Say(Text::kEntryPastEnd, entry, index->path)};
  }
  entries_.push_back({field, {}, index, entry, {}, stored.size});
  return {};
}

Result<> ArchiveWriter::set_header_word(uint32_t word) {
  if (word >> 24) {
    return Failure{Say(Text::kHeaderWordTopByte)};
  }
  header_word_ = word;
  return {};
}

// The header and the table; fails when the data would not fit the 32-bit
// offsets.
Result<std::string> ArchiveWriter::Head() const {
  const uint64_t count = entries_.size();
  uint64_t offset = kArchiveHeaderSize + count * kArchiveRecordSize;
  std::string head(static_cast<size_t>(offset), '\0');
  auto* p = reinterpret_cast<unsigned char*>(head.data());
  WriteLe32(p, kArchiveVersion);
  WriteLe32(p + 4, header_word_);
  WriteLe32(p + 8, static_cast<uint32_t>(count));
  WriteLe32(p + 12, kArchiveTableOffset);
  for (size_t i = 0; i < entries_.size(); ++i) {
    const Entry& entry = entries_[i];
    if (offset + entry.size > kMaxArchiveSize) {
      return Failure{Say(Text::kArchiveOver4GiB, static_cast<int>(i))};
    }
    unsigned char* record = p + kArchiveHeaderSize + i * kArchiveRecordSize;
    std::memcpy(record, entry.field.data(), entry.field.size());
    WriteLe32(record + 9, static_cast<uint32_t>(entry.size));
    WriteLe32(record + 13, static_cast<uint32_t>(offset));
    offset += entry.size;
  }
  return head;
}

Result<> ArchiveWriter::Write(const std::string& path) const {
  OutputFile out;
  if (Result<> opened = out.Open(path, OutputPlace::kNamed); !opened) return opened;
  if (Result<> written = WriteInto(out); !written) return written;
  return out.Commit();
}

Result<> ArchiveWriter::WriteInto(OutputFile& out) const {
  const Result<std::string> head = Head();
  if (!head) return head.failure();
  if (!out.Write(head->data(), head->size())) {
    return Failure{Say(Text::kCannotWritePath, out.path())};
  }
  for (const Entry& entry : entries_) {
    if (running_ && running_->load() == 0) return Failure{Say(Text::kInterrupted)};
    Result<> copied;
    if (entry.index) {
      copied = CopyEntry(entry.index, entry.entry, out);
    } else if (entry.path.empty()) {
      if (!out.Write(entry.bytes.data(), entry.bytes.size())) {
        return Failure{Say(Text::kCannotWritePath, out.path())};
      }
    } else {
      copied = CopyFile(entry.path, entry.size, out);
    }
    if (!copied) return copied;
  }
  return {};
}

}  // namespace kowaki
