#pragma once
// The four codecs the tests run, with what each must keep of the test
// signal (test::Tones): ADPCM is at its worst at 8000 Hz.

#include <cstdint>
#include <ostream>

#include "convert/pcm_format.h"

namespace kowaki::test {

struct CodecCase {
  uint16_t tag;
  const char* name;    // for test names
  const char* option;  // kowaki-cli convert --codec
  const char* sox;     // sox -e
  double min_snr;      // dB
};

inline constexpr CodecCase kCodecCases[] = {
    {kFormatImaAdpcm, "ImaAdpcm", "ima-adpcm", "ima-adpcm", 18},
    {kFormatMsAdpcm, "MsAdpcm", "ms-adpcm", "ms-adpcm", 20},
    {kFormatMulaw, "Mulaw", "mulaw", "u-law", 35},
    {kFormatAlaw, "Alaw", "alaw", "a-law", 35},
};

inline void PrintTo(const CodecCase& codec, std::ostream* out) { *out << codec.name; }

}  // namespace kowaki::test
