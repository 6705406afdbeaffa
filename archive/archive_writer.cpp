#include "archive/archive_writer.h"

#include <cstring>
#include <memory>

#include "archive/archive_file.h"
#include "archive/archive_index.h"
#include "archive/entry_stream.h"
#include "common/little_endian.h"
#include "common/output_file.h"

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

bool CopyFile(const std::string& path, uint64_t expected, OutputFile& out, std::string* error) {
  archive_file::Handle file(archive_file::OpenShared(path.c_str()));
  if (!file) {
    *error = "cannot read " + path;
    return false;
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
    *error = "cannot write " + out.path();
  } else if (n < 0) {
    *error = "cannot read " + path;
  } else if (copied != expected) {
    *error = path + " changed while it was being packed";
  }
  return written && n >= 0 && copied == expected;
}

// An entry's bytes as the entry stream reads them; the archive must still
// be the one its index was loaded from.
bool CopyEntry(const ArchiveIndex* index, int32_t i, OutputFile& out, std::string* error) {
  const EntryStreamPtr stream = OpenEntryStream(index, i);
  auto buffer = std::make_unique<unsigned char[]>(kCopyBlock);
  uint64_t copied = 0;
  size_t n = 0;
  while (stream && (n = EntryRead(buffer.get(), 1, kCopyBlock, stream.get())) != 0 &&
         n != static_cast<size_t>(-1)) {
    if (!out.Write(buffer.get(), n)) {
      *error = "cannot write " + out.path();
      return false;
    }
    copied += n;
  }
  if (!stream || n != 0 || copied != index->entries[i].size || !ArchiveUnchanged(index)) {
    *error = "cannot read entry " + std::to_string(i) + " of " + index->path +
             (stream && n == 0 ? ": the archive changed while it was read" : "");
    return false;
  }
  return true;
}

}  // namespace

NameField NameFieldOf(const ArchiveEntry& entry) {
  NameField field;
  std::memcpy(field.data(), entry.name, field.size());
  return field;
}

bool ArchiveWriter::CheckName(std::string_view name, std::string* error) const {
  if (name.empty() || name.size() > kArchiveNameSize - 1) {
    *error = "an entry name must be 1 to 8 bytes long, not " + std::to_string(name.size());
    return false;
  }
  if (name.find('\0') != std::string_view::npos) {
    *error = "an entry name cannot contain a zero byte";
    return false;
  }
  return CheckRoom(error);
}

bool ArchiveWriter::CheckRoom(std::string* error) const {
  if (entries_.size() >= kArchiveMaxEntries) {
    *error = "an archive holds at most " + std::to_string(kArchiveMaxEntries) + " entries";
    return false;
  }
  return true;
}

namespace {

NameField FieldOfName(std::string_view name) {
  NameField field{};
  std::memcpy(field.data(), name.data(), name.size());
  return field;
}

}  // namespace

bool ArchiveWriter::AddFile(std::string_view name, const std::string& path, std::string* error) {
  return CheckName(name, error) && AddFile(FieldOfName(name), path, error);
}

bool ArchiveWriter::AddBytes(std::string_view name, std::string bytes, std::string* error) {
  return CheckName(name, error) && AddBytes(FieldOfName(name), std::move(bytes), error);
}

bool ArchiveWriter::AddBytes(const NameField& field, std::string bytes, std::string* error) {
  if (!CheckRoom(error)) return false;
  const uint64_t size = bytes.size();
  entries_.push_back({field, {}, nullptr, -1, std::move(bytes), size});
  return true;
}

bool ArchiveWriter::AddFile(const NameField& field, const std::string& path, std::string* error) {
  if (!CheckRoom(error)) return false;
  const int64_t size = ReadableSize(path);
  if (size < 0) {
    *error = "cannot read " + path;
    return false;
  }
  entries_.push_back({field, path, nullptr, -1, {}, static_cast<uint64_t>(size)});
  return true;
}

bool ArchiveWriter::AddEntry(const NameField& field, const ArchiveIndex* index, int32_t entry,
                             std::string* error) {
  if (!CheckRoom(error)) return false;
  const ArchiveEntry& stored = index->entries[entry];
  if (uint64_t{stored.offset} + stored.size > index->identity.size) {
    *error = "entry " + std::to_string(entry) + " runs past the end of " + index->path;
    return false;
  }
  entries_.push_back({field, {}, index, entry, {}, stored.size});
  return true;
}

bool ArchiveWriter::set_header_word(uint32_t word, std::string* error) {
  if (word >> 24) {
    *error = "the header word's top byte must be 0";
    return false;
  }
  header_word_ = word;
  return true;
}

// The header and the table, or empty with a message when the data would
// not fit the 32-bit offsets.
std::string ArchiveWriter::Head(std::string* error) const {
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
      *error = "the archive would exceed 4 GiB at entry " + std::to_string(i) +
               ": entry offsets are 32-bit";
      return {};
    }
    unsigned char* record = p + kArchiveHeaderSize + i * kArchiveRecordSize;
    std::memcpy(record, entry.field.data(), entry.field.size());
    WriteLe32(record + 9, static_cast<uint32_t>(entry.size));
    WriteLe32(record + 13, static_cast<uint32_t>(offset));
    offset += entry.size;
  }
  return head;
}

bool ArchiveWriter::Write(const std::string& path, std::string* error) const {
  OutputFile out;
  return out.Open(path, OutputPlace::kNamed, error) && WriteInto(out, error) && out.Commit(error);
}

bool ArchiveWriter::WriteInto(OutputFile& out, std::string* error) const {
  const std::string head = Head(error);
  if (head.empty()) return false;
  if (!out.Write(head.data(), head.size())) {
    *error = "cannot write " + out.path();
    return false;
  }
  for (const Entry& entry : entries_) {
    if (entry.index) {
      if (!CopyEntry(entry.index, entry.entry, out, error)) return false;
    } else if (entry.path.empty()) {
      if (!out.Write(entry.bytes.data(), entry.bytes.size())) {
        *error = "cannot write " + out.path();
        return false;
      }
    } else if (!CopyFile(entry.path, entry.size, out, error)) {
      return false;
    }
  }
  return true;
}

}  // namespace kowaki
