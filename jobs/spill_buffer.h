#pragma once
// An entry's converted audio kept until its turn comes to go into the
// merge file: in memory up to a fixed amount, the rest in a scratch file,
// so that what waits holds the same memory however long the clip.

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

namespace kowaki {

class SpillBuffer {
 public:
  static constexpr size_t kMemoryBytes = size_t{1} << 20;

  SpillBuffer() = default;
  SpillBuffer(SpillBuffer&&) = default;
  SpillBuffer& operator=(SpillBuffer&&) = default;

  // False (with errno) when the scratch file cannot take the bytes.
  bool Write(const void* data, size_t size);
  uint64_t size() const { return memory_.size() + spilled_; }
  // Hands every byte to `sink`, in order and in pieces; false when `sink`
  // refuses one or the scratch file cannot be read back.
  bool DrainTo(const std::function<bool(const uint8_t*, size_t)>& sink);

 private:
  struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
  };

  std::vector<uint8_t> memory_;
  std::unique_ptr<std::FILE, FileCloser> scratch_;
  uint64_t spilled_ = 0;
};

}  // namespace kowaki
