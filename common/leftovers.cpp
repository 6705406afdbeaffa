#include "common/leftovers.h"

#include <atomic>
#include <charconv>
#include <mutex>
#include <random>
#include <set>

namespace kowaki {

namespace {

constexpr std::string_view kMark = ".kowaki-";
constexpr std::string_view kEnd = ".tmp";
constexpr size_t kUniqueSize = 6;
// Room left for the rest of the name within the 255 bytes a name may have.
constexpr size_t kMaxStem = 200;

constexpr std::string_view kLetters =
    "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";

// Six letters or digits, different in every thread, even where
// random_device gives every thread the same seed.
std::string UniquePart() {
  static std::atomic<uint32_t> threads{0};
  thread_local std::minstd_rand random(std::random_device{}() ^
                                       (threads.fetch_add(1) + 1) * 2654435761u);
  std::string unique(kUniqueSize, ' ');
  for (char& c : unique) c = kLetters[random() % kLetters.size()];
  return unique;
}

// `name` cut to at most kMaxStem bytes, at the start of a UTF-8 character.
std::string_view Stem(std::string_view name) {
  if (name.size() <= kMaxStem) return name;
  size_t size = kMaxStem;
  while (size > 0 && (static_cast<unsigned char>(name[size]) & 0xC0) == 0x80) --size;
  return name.substr(0, size);
}

bool AllDigits(std::string_view text) {
  return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

}  // namespace

std::string TemporaryName(std::string_view file_name) {
  return "." + std::string(Stem(file_name)) + std::string(kMark) +
         std::to_string(platform::ProcessId()) + "-" + UniquePart() + std::string(kEnd);
}

std::optional<uint32_t> TemporaryOwner(std::string_view name) {
  if (name.size() < 2 || name[0] != '.' || !name.ends_with(kEnd)) return std::nullopt;
  name.remove_suffix(kEnd.size());
  const size_t mark = name.rfind(kMark);
  if (mark == std::string_view::npos || mark == 0) return std::nullopt;
  const std::string_view owner = name.substr(mark + kMark.size());
  const size_t dash = owner.find('-');
  const std::string_view digits = owner.substr(0, dash);
  const std::string_view unique = owner.substr(dash == std::string_view::npos ? 0 : dash + 1);
  uint32_t pid = 0;
  if (dash == std::string_view::npos || !AllDigits(digits) ||
      std::from_chars(digits.data(), digits.data() + digits.size(), pid).ec != std::errc() ||
      unique.size() != kUniqueSize ||
      unique.find_first_not_of(kLetters) != std::string_view::npos) {
    return std::nullopt;
  }
  return pid;
}

void RemoveLeftovers(const std::string& folder) {
  static std::mutex mutex;
  static std::set<std::string> swept;
  {
    const std::lock_guard lock(mutex);
    if (!swept.insert(folder).second) return;
  }
  const uint32_t own = platform::ProcessId();
  platform::ForEachName(folder, [&](const std::string& name) {
    const std::optional<uint32_t> owner = TemporaryOwner(name);
    if (owner && *owner != own) platform::RemoveIfLeftover(folder, name, *owner);
  });
}

}  // namespace kowaki
