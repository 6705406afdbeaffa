#pragma once
// Which vector instructions the build may use without asking the processor:
// SSE2 is the x86 baseline (32-bit builds are compiled with it).

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#include <emmintrin.h>
#define KOWAKI_SSE2 1
#endif
