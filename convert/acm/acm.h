#pragma once
// The Audio Compression Manager as the codec stage uses it: a conversion
// stream between two wave formats, fed through a header that names a
// source and a destination buffer. Windows has msacm32; elsewhere our own
// codecs stand behind the same calls. The calls, flags and results are the
// Windows ones, with the same values; a result of 0 is success.
//
// A Windows translation unit includes this before the Windows headers,
// whose macros of the same names then take over with the same values.

#include <cstdint>

#include "convert/pcm_format.h"

namespace kowaki {

using AcmResult = uint32_t;
inline constexpr AcmResult kAcmOk = 0;             // MMSYSERR_NOERROR
inline constexpr AcmResult kAcmInvalidHandle = 5;  // MMSYSERR_INVALHANDLE
inline constexpr AcmResult kAcmNoMemory = 7;       // MMSYSERR_NOMEM
inline constexpr AcmResult kAcmInvalidFlag = 10;   // MMSYSERR_INVALFLAG
inline constexpr AcmResult kAcmInvalidParam = 11;  // MMSYSERR_INVALPARAM
inline constexpr AcmResult kAcmNotPossible = 512;  // ACMERR_NOTPOSSIBLE
inline constexpr AcmResult kAcmUnprepared = 514;   // ACMERR_UNPREPARED

inline constexpr uint32_t ACM_STREAMOPENF_NONREALTIME = 0x4;
inline constexpr uint32_t ACM_STREAMSIZEF_SOURCE = 0x0;
inline constexpr uint32_t ACM_STREAMCONVERTF_BLOCKALIGN = 0x4;
inline constexpr uint32_t ACM_STREAMCONVERTF_START = 0x10;
inline constexpr uint32_t ACM_STREAMCONVERTF_END = 0x20;
inline constexpr uint32_t ACMSTREAMHEADER_STATUSF_DONE = 0x10000;
inline constexpr uint32_t ACMSTREAMHEADER_STATUSF_PREPARED = 0x20000;

// An open conversion stream.
using AcmStream = struct AcmStreamHandle*;

// ACMSTREAMHEADER, packed as msacm.h packs it: 84 bytes on 32-bit Windows,
// 124 on 64-bit, where the driver keeps 15 reserved words. A prepared
// header keeps the buffers and lengths it was prepared with; a conversion
// may use shorter lengths, and unpreparing wants the prepared ones back.
inline constexpr int kAcmReservedDriverWords = sizeof(void*) == 8 ? 15 : 10;
#pragma pack(push, 1)
struct AcmStreamHeader {
  uint32_t cbStruct;
  uint32_t fdwStatus;
  uintptr_t dwUser;
  uint8_t* pbSrc;
  uint32_t cbSrcLength;
  uint32_t cbSrcLengthUsed;  // source bytes the conversion consumed
  uintptr_t dwSrcUser;
  uint8_t* pbDst;
  uint32_t cbDstLength;
  uint32_t cbDstLengthUsed;  // bytes written from the start of pbDst
  uintptr_t dwDstUser;
  uint32_t dwReservedDriver[kAcmReservedDriverWords];
};
#pragma pack(pop)
static_assert(sizeof(AcmStreamHeader) == (sizeof(void*) == 8 ? 124 : 84));

// The six calls, without the arguments the stage always leaves empty
// (driver, filter, notification). Formats are read with their extra bytes.
class Acm {
 public:
  virtual AcmResult acmStreamOpen(AcmStream* stream, const PcmFormat* source,
                                  const PcmFormat* destination, uint32_t open_flags) = 0;
  // The destination bytes `source_bytes` may need.
  virtual AcmResult acmStreamSize(AcmStream stream, uint32_t source_bytes,
                                  uint32_t* destination_bytes, uint32_t size_flags) = 0;
  virtual AcmResult acmStreamPrepareHeader(AcmStream stream, AcmStreamHeader* header,
                                           uint32_t prepare_flags) = 0;
  virtual AcmResult acmStreamUnprepareHeader(AcmStream stream, AcmStreamHeader* header,
                                             uint32_t unprepare_flags) = 0;
  virtual AcmResult acmStreamConvert(AcmStream stream, AcmStreamHeader* header,
                                     uint32_t convert_flags) = 0;
  virtual AcmResult acmStreamClose(AcmStream stream, uint32_t close_flags) = 0;

 protected:
  ~Acm() = default;
};

// The platform's codecs; they keep no state outside their streams.
Acm& SystemAcm();

}  // namespace kowaki
