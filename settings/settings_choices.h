#pragma once
// How the output settings map onto the settings dialog's two lists: item 0
// is "same as the source" (-1), then the offered rates, highest first, and
// the channel counts 1 and 2.

#include <cstdint>
#include <iterator>

#include "settings/output_settings.h"

namespace kowaki {

inline constexpr int32_t kRateChoices = 1 + static_cast<int32_t>(std::size(kOfferedRates));
inline constexpr int32_t kChannelChoices = 3;

// A stored rate shows as the rate it reads as (OfferedRate), -1 as "same
// as the source".
inline int32_t RateChoice(int32_t frq) {
  const int32_t rate = OfferedRate(frq);
  for (int32_t i = 0; i < kRateChoices - 1; ++i) {
    if (rate == kOfferedRates[i]) return i + 1;
  }
  return 0;
}

inline int32_t RateOfChoice(int32_t choice) {
  return choice >= 1 && choice < kRateChoices ? kOfferedRates[choice - 1] : -1;
}

inline int32_t ChannelChoice(int32_t ch) { return ch == 1 || ch == 2 ? ch : 0; }

inline int32_t ChannelsOfChoice(int32_t choice) { return choice == 1 || choice == 2 ? choice : -1; }

}  // namespace kowaki
