#pragma once
// The codec stage: runs its input through one conversion stream of an ACM
// (by default the system's), between a codec format and PCM.
//
// Around the codec it keeps the input bytes a conversion leaves unconverted
// (a partial codec block) and puts them in front of the next input;
// converts only once 256 bytes are at hand, in whole blocks; passes the
// start flag until a conversion has left output pending, and at flush the
// end flag without block alignment, so the codec takes a last partial
// block too. A codec that gave no output and cannot size the bytes left
// at the flush fails it. One header serves every conversion and stays prepared; its
// buffers grow to twice the need. Null when the ACM cannot open a stream
// between the two formats.

#include "convert/acm/acm.h"
#include "convert/pcm_format.h"
#include "convert/pcm_stage.h"

namespace kowaki {

PcmStagePtr new_acm_stage(const PcmFormat& input, const PcmFormat& output, Acm& acm = SystemAcm());

}  // namespace kowaki
