#pragma once
// A growable run of bytes that keeps the bytes it holds when it grows: the
// pending output of a stage or of the converter (the bytes the next `get`
// hands out), and the codec stage's work buffers.

#include <cstdint>
#include <limits>

#include "convert/pcm_stage.h"

namespace kowaki {

class ByteBuffer {
 public:
  // How the buffer grows past its capacity. In multiples of 8192 bytes:
  // kStep to just above the need, kDouble to about twice the need (for
  // buffers whose need varies from call to call). kTwice to exactly twice
  // the need.
  enum class Growth { kStep, kDouble, kTwice };
  // The largest need kTwice grows for: twice it still fits the 32-bit sizes.
  static constexpr int64_t kMaxTwiceNeed = std::numeric_limits<int32_t>::max() / 2;

  explicit ByteBuffer(Growth growth) : growth_(growth) {}
  ByteBuffer(const ByteBuffer&) = delete;
  ByteBuffer& operator=(const ByteBuffer&) = delete;
  ~ByteBuffer() { Release(); }

  // The first 8192 bytes, for buffers that exist from the start; false
  // without memory. Otherwise the buffer is made on first need.
  bool Allocate();
  void Release();

  uint8_t* data() const { return data_; }
  int32_t len() const { return len_; }
  int32_t capacity() const { return capacity_; }

  // Room for `bytes` more behind the held ones, or null when the buffer
  // cannot grow that far (it is then as it was).
  uint8_t* Reserve(int64_t bytes) {
    if (data_ && len_ + bytes <= capacity_) return data_ + len_;
    return Grow(len_ + bytes);
  }
  void Commit(int32_t bytes) { len_ += bytes; }
  bool Append(const uint8_t* bytes, int32_t count);
  // Holds the `count` bytes instead of its own; without memory false and
  // the buffer as it was.
  bool Assign(const uint8_t* bytes, int32_t count);
  void Clear() { len_ = 0; }

  // All held bytes, emptying the buffer; {null, 0} when none.
  PcmSpan Take();

 private:
  uint8_t* Grow(int64_t need);

  uint8_t* data_ = nullptr;
  int32_t len_ = 0;
  int32_t capacity_ = 0;
  Growth growth_;
};

// A stage whose output lives in a ByteBuffer: every stage but the codec.
class BufferedStage : public PcmStage {
 public:
  PcmSpan get() override { return out_.Take(); }

 protected:
  explicit BufferedStage(ByteBuffer::Growth growth) : out_(growth) {}

  ByteBuffer out_;
};

}  // namespace kowaki
