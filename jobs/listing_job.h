#pragma once
// The listing job: fills the window's list with every entry of the index
// that opens as Ogg Vorbis (name, size, seconds, channels, rate), with the
// entry's number as the row's stored value.

#include <cstdint>
#include <string>

#include "jobs/app_state.h"
#include "text/catalogue.h"

namespace kowaki {

// The list's column titles, left to right.
inline constexpr Text kColumnTitles[] = {Text::kColumnName, Text::kColumnSize, Text::kColumnSeconds,
                                         Text::kColumnChannels, Text::kColumnRate};

// The worker procedure.
void ListingJob(AppState* state);

// A byte count for the size column: bytes up to 1024, then K, M and G with
// two decimals, truncated ("1.99 K" for 2047).
std::string FormatSize(uint32_t size);

}  // namespace kowaki
