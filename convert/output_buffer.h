#pragma once
// The pending output of a stage or of the converter: the bytes the next
// `get` hands out. Starts at 8192 bytes and grows in multiples of 8192,
// keeping the pending bytes.

#include <cstdint>

#include "convert/pcm_stage.h"

namespace kowaki {

class OutputBuffer {
 public:
  // kStep grows to just above the need, kDouble to about twice the need
  // (for buffers whose need varies from call to call).
  enum class Growth { kStep, kDouble };

  OutputBuffer() = default;
  OutputBuffer(const OutputBuffer&) = delete;
  OutputBuffer& operator=(const OutputBuffer&) = delete;
  ~OutputBuffer() { Release(); }

  // The first 8192 bytes; false without memory.
  bool Allocate();
  void Release();

  // Room for `bytes` more behind the pending ones, or null when the buffer
  // cannot grow that far (the pending bytes are then kept).
  uint8_t* Reserve(int64_t bytes, Growth growth);
  void Commit(int32_t bytes) { length_ += bytes; }
  bool Append(const uint8_t* data, int32_t length, Growth growth);

  // All pending bytes, emptying the buffer; {null, 0} when none.
  PcmSpan Take();

 private:
  uint8_t* data_ = nullptr;
  int32_t length_ = 0;
  int32_t capacity_ = 0;
};

// A stage whose output lives in an OutputBuffer: every stage but the codec.
class BufferedStage : public PcmStage {
 public:
  int get(PcmSpan* out) override {
    *out = out_.Take();
    return 1;
  }

 protected:
  OutputBuffer out_;
};

}  // namespace kowaki
