#pragma once
// Our own codecs behind the ACM calls: IMA ADPCM, Microsoft ADPCM, G.711
// mu-law and A-law, each to and from 16-bit PCM of the same rate and
// channel count. Any other pair fails to open, as with the ACM. The code
// is portable: the system ACM of the POSIX build, and on Windows the
// tests' reference for msacm32.
//
// It keeps the ACM's rules: a header is converted only while prepared, with
// its prepared buffers and at most its prepared lengths, and unprepared
// only with exactly those.

#include "convert/acm/acm.h"

namespace kowaki {

Acm& OwnAcm();

}  // namespace kowaki
