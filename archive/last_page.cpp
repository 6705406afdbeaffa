#include "archive/last_page.h"

#include <ogg/ogg.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace kowaki {

namespace {

constexpr std::string_view kCapture = "OggS";
constexpr size_t kPageHeaderSize = 27;  // without its segment table
constexpr size_t kChecksumAt = 22;
constexpr uint8_t kEndOfStream = 0x04;
// How far back each look reads: a page of 8 KiB or less holds a stream's
// last packets as encoders make them, 64 KiB the largest page there is,
// and the window what a damaged entry may cost.
constexpr int64_t kLooks[] = {8 * 1024, 64 * 1024, kPageWindow};

// The length of the page at the start of `bytes`, when it is whole there
// with a version 0 header; 0 otherwise.
size_t PageLength(std::span<uint8_t> bytes) {
  if (bytes.size() < kPageHeaderSize || bytes[4] != 0) return 0;
  const size_t header = kPageHeaderSize + bytes[26];
  if (bytes.size() < header) return 0;
  size_t body = 0;
  for (size_t i = kPageHeaderSize; i < header; ++i) body += bytes[i];
  return header + body <= bytes.size() ? header + body : 0;
}

// Whether the page's checksum is the one its bytes give.
bool ChecksumHolds(std::span<uint8_t> page) {
  std::array<unsigned char, kPageHeaderSize + 255> header;
  const size_t header_size = kPageHeaderSize + page[26];
  std::memcpy(header.data(), page.data(), header_size);
  ogg_page og{header.data(), static_cast<long>(header_size), page.data() + header_size,
              static_cast<long>(page.size() - header_size)};
  ogg_page_checksum_set(&og);  // over the copy of the header
  return std::memcmp(header.data() + kChecksumAt, page.data() + kChecksumAt, 4) == 0;
}

// The last whole page of `bytes` (read from file position `base`) that
// starts before `below`.
std::optional<LastPage> LastPageIn(std::span<uint8_t> bytes, int64_t base, int64_t below) {
  const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  size_t at = static_cast<size_t>(below - base);
  while (at > 0 && (at = text.rfind(kCapture, at - 1)) != std::string_view::npos) {
    const size_t length = PageLength(bytes.subspan(at));
    if (length != 0 && ChecksumHolds(bytes.subspan(at, length))) {
      return LastPage{base + static_cast<int64_t>(at + length),
                      (bytes[at + 5] & kEndOfStream) != 0};
    }
  }
  return std::nullopt;
}

}  // namespace

// Each look reads its whole span (the stream's read-ahead or the system's
// cache serves the part read before) and looks only at pages that start before those seen already.
Result<LastPage, OggScanError> FindLastPage(EntryStream& stream) {
  const int64_t first = std::max<int64_t>(stream.entry.offset, stream.end - kPageWindow);
  std::vector<uint8_t> bytes;
  int64_t unseen = stream.end;  // pages starting here or later were looked at
  for (const int64_t look : kLooks) {
    const int64_t from = std::max(first, stream.end - look);
    if (from >= unseen) break;
    bytes.resize(static_cast<size_t>(stream.end - from));
    const int64_t got = EntryReadAt(stream, from, bytes.data(), bytes.size());
    if (got != static_cast<int64_t>(bytes.size())) return OggScanError::kReadFailed;
    if (const auto page = LastPageIn(bytes, from, unseen)) return *page;
    unseen = from;
  }
  return OggScanError::kNoPage;
}

Result<bool, OggScanError> StartsAsOgg(EntryStream& stream) {
  char head[kCapture.size()];
  if (stream.end - int64_t{stream.entry.offset} < int64_t{sizeof head}) return false;
  if (EntryReadAt(stream, stream.entry.offset, head, sizeof head) != sizeof head) {
    return OggScanError::kReadFailed;
  }
  return kCapture == std::string_view(head, sizeof head);
}

}  // namespace kowaki
