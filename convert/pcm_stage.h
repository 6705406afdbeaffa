#pragma once
// One step of a format conversion. Bytes move through a chain of stages as
// spans: `put` converts input and appends it to the stage's pending output,
// `get` hands all of it out (a view into the stage's own buffer, valid
// until its next put, flush or destroy), `flush` releases what the stage
// held back at the end of the stream. Calling order per stream: any number
// of put/get pairs, then flush, get, destroy.
//
// put and flush return non-zero on success and 0 on failure (no memory, a
// codec error, a malformed span); get returns 1 when it handed out.

#include <cstdint>
#include <memory>

namespace kowaki {

struct PcmSpan {
  const uint8_t* data = nullptr;  // null allowed when length is 0
  int32_t length = 0;
};

// A span a stage may read: no negative length, no null data with bytes.
inline bool IsReadable(PcmSpan span) {
  return span.length == 0 || (span.length > 0 && span.data != nullptr);
}

class PcmStage {
 public:
  PcmStage(const PcmStage&) = delete;
  PcmStage& operator=(const PcmStage&) = delete;

  // Frees the stage with its buffers; it may not be used afterwards.
  void destroy() { delete this; }
  virtual int put(PcmSpan in) = 0;
  virtual int get(PcmSpan* out) = 0;
  virtual int flush() = 0;

 protected:
  PcmStage() = default;
  virtual ~PcmStage() = default;
};

struct PcmStageDeleter {
  void operator()(PcmStage* stage) const { stage->destroy(); }
};
using PcmStagePtr = std::unique_ptr<PcmStage, PcmStageDeleter>;

}  // namespace kowaki
