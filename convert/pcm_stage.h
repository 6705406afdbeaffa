#pragma once
// One step of a format conversion. Bytes move through a chain of stages as
// spans: `put` converts input and appends it to the stage's pending output,
// `get` hands all of it out (a view into the stage's own buffer, valid
// until its next put, flush or destroy), `flush` releases what the stage
// held back at the end of the stream. Calling order per stream: any number
// of put/get pairs, then flush, get, destroy.
//
// put and flush say why they failed (PcmError); get cannot fail.

#include <cstdint>
#include <memory>

#include "common/result.h"

namespace kowaki {

struct PcmSpan {
  const uint8_t* data = nullptr;  // null allowed when length is 0
  int32_t length = 0;
};

// A span a stage may read: no negative length, no null data with bytes.
inline bool IsReadable(PcmSpan span) {
  return span.length == 0 || (span.length > 0 && span.data != nullptr);
}

// Why a stage or a converter failed.
enum class PcmError {
  kUnreadable,    // a span IsReadable refuses
  kNoMemory,      // a buffer could not grow
  kCodec,         // the codec stage's codec refused the bytes, or its buffers their size
  kEnded,         // input after the end of the stream
  kNoChain,       // no chain of stages leads between the two formats
  kNotConverter,  // the object does not begin with a converter's magic words
};
using PcmResult = Result<void, PcmError>;

class PcmStage {
 public:
  PcmStage(const PcmStage&) = delete;
  PcmStage& operator=(const PcmStage&) = delete;

  // Frees the stage with its buffers; it may not be used afterwards.
  void destroy() { delete this; }
  virtual PcmResult put(PcmSpan in) = 0;
  virtual PcmSpan get() = 0;
  virtual PcmResult flush() = 0;

 protected:
  PcmStage() = default;
  virtual ~PcmStage() = default;
};

struct PcmStageDeleter {
  void operator()(PcmStage* stage) const { stage->destroy(); }
};
using PcmStagePtr = std::unique_ptr<PcmStage, PcmStageDeleter>;

}  // namespace kowaki
