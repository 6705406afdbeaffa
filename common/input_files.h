#pragma once
// The files a run reads, known by identity (device and inode; on Windows
// the volume serial and file index) rather than by name. OutputFile
// refuses an output that is one of them however it is spelt: another
// name, a link, a hard link, or standard output opened on it.
//
// A command marks each input before it opens an output, and keeps the
// mark while it reads:
//   const InputMark archive = MarkInput(path);

#include <cstdint>
#include <optional>
#include <string>

namespace kowaki {

enum class InputUse {
  // Never an output: the archive an export reads, the files pack takes,
  // a manifest.
  kKept,
  // The output replaces it whole once complete (convert with OUT = IN,
  // replace's archive, the settings file): written through a temporary
  // and renamed over it, never written in place while it is read.
  kReplaced,
};

// Which file a name or a descriptor leads to, on its system.
struct FileId {
  uint64_t volume = 0;
  uint64_t file = 0;
  bool operator==(const FileId&) const = default;
};

// An input stays marked while its mark lives.
class InputMark {
 public:
  InputMark() = default;
  explicit InputMark(uint64_t key) : key_(key) {}  // as MarkInput makes it
  InputMark(InputMark&& other) noexcept : key_(other.key_) { other.key_ = 0; }
  InputMark& operator=(InputMark&& other) noexcept;
  InputMark(const InputMark&) = delete;
  InputMark& operator=(const InputMark&) = delete;
  ~InputMark();

 private:
  uint64_t key_ = 0;  // 0: nothing marked
};

// Marks the file `path` leads to, links followed. No mark when there is
// none: what does not exist cannot be written over.
[[nodiscard]] InputMark MarkInput(const std::string& path, InputUse use = InputUse::kKept);
// Marks the file open on our descriptor `fd`, named `path` in messages.
[[nodiscard]] InputMark MarkInput(int fd, const std::string& path, InputUse use = InputUse::kKept);

// The name of the marked input that an output at `id` would write over:
// any input when the output is written in place, a kept one when the
// output replaces the file whole.
std::optional<std::string> InputAt(const FileId& id, bool in_place);

namespace platform {
struct FileFacts {
  FileId id;
  uint32_t links = 1;  // names it has (hard links)
};
// What `path` leads to, links followed or the name itself; none when
// nothing is there.
std::optional<FileFacts> FactsOfPath(const std::string& path, bool follow_links);
// What our descriptor `fd` is open on.
std::optional<FileFacts> FactsOfDescriptor(int fd);
}  // namespace platform

}  // namespace kowaki
