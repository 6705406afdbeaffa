#include "tests/convert/fake_acm.h"

#include <algorithm>

namespace kowaki::test {

namespace {

std::string Flags(uint32_t flags) {
  std::string text;
  for (const auto& [flag, name] :
       {std::pair{ACM_STREAMCONVERTF_START, "START"}, std::pair{ACM_STREAMCONVERTF_END, "END"},
        std::pair{ACM_STREAMCONVERTF_BLOCKALIGN, "BLOCKALIGN"}}) {
    if (flags & flag) text += (text.empty() ? "" : "|") + std::string(name);
  }
  return text.empty() ? "0" : text;
}

}  // namespace

std::vector<std::string> FakeAcm::TakeCalls() {
  std::vector<std::string> recent(calls_.begin() + static_cast<std::ptrdiff_t>(taken_),
                                  calls_.end());
  taken_ = calls_.size();
  return recent;
}

bool FakeAcm::Record(const std::string& kind, const std::string& line) {
  const int count = ++counts_[kind];
  const auto fail = fail_from_.find(kind);
  const bool failed = fail != fail_from_.end() && count >= fail->second;
  const bool quiet = kind == "size" || kind == "prepare" || kind == "unprepare";
  if (failed || !quiet) calls_.push_back(failed ? line + " failed" : line);
  return failed;
}

AcmResult FakeAcm::acmStreamOpen(AcmStream* stream, const PcmFormat*, const PcmFormat*,
                                 uint32_t open_flags) {
  if (Record("open", open_flags == ACM_STREAMOPENF_NONREALTIME ? "open" : "open flags?")) {
    return kAcmNotPossible;
  }
  *stream = Handle();
  return kAcmOk;
}

AcmResult FakeAcm::acmStreamSize(AcmStream stream, uint32_t source_bytes,
                                 uint32_t* destination_bytes, uint32_t size_flags) {
  if (Record("size", "size") || source_bytes == 0) {
    return kAcmNotPossible;
  }
  if (stream != Handle() || size_flags != ACM_STREAMSIZEF_SOURCE) return kAcmInvalidParam;
  const uint32_t blocks =
      (source_bytes + static_cast<uint32_t>(block_) - 1) / static_cast<uint32_t>(block_);
  *destination_bytes = blocks * static_cast<uint32_t>(block_) * 2;
  return kAcmOk;
}

AcmResult FakeAcm::acmStreamPrepareHeader(AcmStream stream, AcmStreamHeader* header,
                                          uint32_t prepare_flags) {
  if (Record("prepare", "prepare")) return kAcmNoMemory;
  if (stream != Handle() || prepare_flags != 0 || prepared_ ||
      header->cbStruct != sizeof(AcmStreamHeader) || !header->pbSrc || !header->pbDst) {
    return kAcmInvalidParam;
  }
  prepared_ = header;
  prepared_with_ = *header;
  header->fdwStatus |= ACMSTREAMHEADER_STATUSF_PREPARED;
  return kAcmOk;
}

AcmResult FakeAcm::acmStreamUnprepareHeader(AcmStream stream, AcmStreamHeader* header,
                                            uint32_t unprepare_flags) {
  if (Record("unprepare", "unprepare")) return kAcmInvalidParam;
  if (header != prepared_) return kAcmUnprepared;
  if (stream != Handle() || unprepare_flags != 0 || header->pbSrc != prepared_with_.pbSrc ||
      header->cbSrcLength != prepared_with_.cbSrcLength || header->pbDst != prepared_with_.pbDst ||
      header->cbDstLength != prepared_with_.cbDstLength) {
    return kAcmInvalidParam;
  }
  prepared_ = nullptr;
  header->fdwStatus &= ~ACMSTREAMHEADER_STATUSF_PREPARED;
  return kAcmOk;
}

AcmResult FakeAcm::acmStreamConvert(AcmStream stream, AcmStreamHeader* header,
                                    uint32_t convert_flags) {
  const std::string line =
      "convert " + std::to_string(header->cbSrcLength) + " " + Flags(convert_flags);
  if (Record("convert", line)) return kAcmNotPossible;
  if (header != prepared_) return kAcmUnprepared;
  if (stream != Handle() || header->pbSrc != prepared_with_.pbSrc ||
      header->pbDst != prepared_with_.pbDst || header->cbSrcLength > prepared_with_.cbSrcLength ||
      header->cbDstLength > prepared_with_.cbDstLength) {
    return kAcmInvalidParam;
  }
  uint32_t take = std::min(header->cbSrcLength, header->cbDstLength / 2);
  if (convert_flags & ACM_STREAMCONVERTF_BLOCKALIGN) take -= take % static_cast<uint32_t>(block_);
  for (uint32_t i = 0; i < take; ++i) {
    header->pbDst[2 * i] = header->pbDst[2 * i + 1] = header->pbSrc[i];
  }
  header->cbSrcLengthUsed = take;
  header->cbDstLengthUsed = 2 * take;
  calls_.back() += " -> " + std::to_string(take);
  return kAcmOk;
}

AcmResult FakeAcm::acmStreamClose(AcmStream stream, uint32_t close_flags) {
  Record("close", prepared_ ? "close, header still prepared" : "close");
  return stream == Handle() && close_flags == 0 ? kAcmOk : kAcmInvalidHandle;
}

}  // namespace kowaki::test
