// Before the Windows headers: their macros of the same names would
// otherwise rewrite our declarations.
#include "convert/acm/acm.h"

#include <windows.h>
// Left out by WIN32_LEAN_AND_MEAN; mmreg.h and msacm.h need it.
#include <mmsystem.h>

#include <mmreg.h>
#include <msacm.h>

#include <cstddef>

namespace kowaki {

namespace {

static_assert(sizeof(WAVEFORMATEX) == sizeof(PcmFormat));
// The same layout as msacm32's header, field by field, on 32- and 64-bit Windows.
static_assert(sizeof(AcmStreamHeader) == sizeof(ACMSTREAMHEADER));
#define KOWAKI_SAME_OFFSET(field) \
  static_assert(offsetof(AcmStreamHeader, field) == offsetof(ACMSTREAMHEADER, field))
KOWAKI_SAME_OFFSET(fdwStatus);
KOWAKI_SAME_OFFSET(dwUser);
KOWAKI_SAME_OFFSET(pbSrc);
KOWAKI_SAME_OFFSET(cbSrcLength);
KOWAKI_SAME_OFFSET(cbSrcLengthUsed);
KOWAKI_SAME_OFFSET(dwSrcUser);
KOWAKI_SAME_OFFSET(pbDst);
KOWAKI_SAME_OFFSET(cbDstLength);
KOWAKI_SAME_OFFSET(cbDstLengthUsed);
KOWAKI_SAME_OFFSET(dwDstUser);
KOWAKI_SAME_OFFSET(dwReservedDriver);
#undef KOWAKI_SAME_OFFSET

HACMSTREAM Handle(AcmStream stream) { return reinterpret_cast<HACMSTREAM>(stream); }
ACMSTREAMHEADER* Header(AcmStreamHeader* header) {
  return reinterpret_cast<ACMSTREAMHEADER*>(header);
}
// msacm32 only reads the formats.
WAVEFORMATEX* Format(const PcmFormat* format) {
  return reinterpret_cast<WAVEFORMATEX*>(const_cast<PcmFormat*>(format));
}

class Msacm final : public Acm {
 public:
  AcmResult acmStreamOpen(AcmStream* stream, const PcmFormat* source, const PcmFormat* destination,
                          uint32_t open_flags) override {
    HACMSTREAM opened = nullptr;
    const MMRESULT result = ::acmStreamOpen(&opened, nullptr, Format(source), Format(destination),
                                            nullptr, 0, 0, open_flags);
    if (result == MMSYSERR_NOERROR) *stream = reinterpret_cast<AcmStream>(opened);
    return result;
  }
  AcmResult acmStreamSize(AcmStream stream, uint32_t source_bytes, uint32_t* destination_bytes,
                          uint32_t size_flags) override {
    DWORD size = 0;
    const MMRESULT result = ::acmStreamSize(Handle(stream), source_bytes, &size, size_flags);
    if (result == MMSYSERR_NOERROR) *destination_bytes = size;
    return result;
  }
  AcmResult acmStreamPrepareHeader(AcmStream stream, AcmStreamHeader* header,
                                   uint32_t prepare_flags) override {
    return ::acmStreamPrepareHeader(Handle(stream), Header(header), prepare_flags);
  }
  AcmResult acmStreamUnprepareHeader(AcmStream stream, AcmStreamHeader* header,
                                     uint32_t unprepare_flags) override {
    return ::acmStreamUnprepareHeader(Handle(stream), Header(header), unprepare_flags);
  }
  AcmResult acmStreamConvert(AcmStream stream, AcmStreamHeader* header,
                             uint32_t convert_flags) override {
    return ::acmStreamConvert(Handle(stream), Header(header), convert_flags);
  }
  AcmResult acmStreamClose(AcmStream stream, uint32_t close_flags) override {
    return ::acmStreamClose(Handle(stream), close_flags);
  }
};

}  // namespace

Acm& SystemAcm() {
  static Msacm msacm;
  return msacm;
}

}  // namespace kowaki
