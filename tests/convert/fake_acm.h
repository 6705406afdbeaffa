#pragma once
// An ACM for the codec stage's tests: its one stream "converts" by writing
// every input byte twice, a whole block of `block` bytes at a time (with
// the end flag and no block alignment, the partial rest too), and it
// records what the stage's caller can tell: the conversions with their
// flags, failures and the close. Like the ACM it converts only on a
// prepared header with its prepared buffers and unprepares only with the
// prepared lengths; a size query for 0 bytes fails.

#include <map>
#include <string>
#include <vector>

#include "convert/acm/acm.h"

namespace kowaki::test {

class FakeAcm final : public Acm {
 public:
  explicit FakeAcm(int32_t block) : block_(block) {}

  // Calls of this kind ("open", "size", "prepare", "unprepare",
  // "convert") fail from their n-th on (counted from 1).
  void FailFrom(const std::string& call, int n) { fail_from_[call] = n; }

  // One line for "open", "convert 300 START|BLOCKALIGN -> 256" (bytes
  // given, flags, bytes consumed) and "close" ("close, header still
  // prepared" when it was left so); a call that fails is "size failed",
  // "prepare failed", "convert 300 BLOCKALIGN failed" and so on.
  const std::vector<std::string>& calls() const { return calls_; }
  // The calls since the last look.
  std::vector<std::string> TakeCalls();

  AcmResult acmStreamOpen(AcmStream* stream, const PcmFormat* source, const PcmFormat* destination,
                          uint32_t open_flags) override;
  AcmResult acmStreamSize(AcmStream stream, uint32_t source_bytes, uint32_t* destination_bytes,
                          uint32_t size_flags) override;
  AcmResult acmStreamPrepareHeader(AcmStream stream, AcmStreamHeader* header,
                                   uint32_t prepare_flags) override;
  AcmResult acmStreamUnprepareHeader(AcmStream stream, AcmStreamHeader* header,
                                     uint32_t unprepare_flags) override;
  AcmResult acmStreamConvert(AcmStream stream, AcmStreamHeader* header,
                             uint32_t convert_flags) override;
  AcmResult acmStreamClose(AcmStream stream, uint32_t close_flags) override;

 private:
  // Records the call (a size query, prepare or unprepare only when it
  // fails); true when the script makes it fail.
  bool Record(const std::string& kind, const std::string& line);
  AcmStream Handle() { return reinterpret_cast<AcmStream>(this); }

  int32_t block_;
  std::map<std::string, int> fail_from_;
  std::map<std::string, int> counts_;
  std::vector<std::string> calls_;
  size_t taken_ = 0;
  // The header as prepared.
  const AcmStreamHeader* prepared_ = nullptr;
  AcmStreamHeader prepared_with_{};
};

}  // namespace kowaki::test
