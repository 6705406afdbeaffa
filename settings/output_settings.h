#pragma once
// How the export writes: untouched OGG, WAV or FLAC, at which rate and channel
// count, one file per entry or one for all. Stored as the four 32-bit
// values `type`, `frq`, `ch`, `merge` of the key below.

#include <cstdint>

#include "settings/settings_store.h"

namespace kowaki {

inline constexpr char kSettingsKey[] = "Software\\tobira\\kowaki.exe";

// The stored types. The window's dialog offers the first two and shows any
// type but 0 as WAV; kowaki-cli writes FLAC for kOutputTypeFlac.
inline constexpr int32_t kOutputTypeOgg = 0;
inline constexpr int32_t kOutputTypeWav = 1;
inline constexpr int32_t kOutputTypeFlac = 2;
inline constexpr int32_t kOutputTypes = 3;

struct OutputSettings {
  int32_t type;   // kOutputType...: 0 copies the OGG bytes
  int32_t frq;    // target rate in Hz, one of kOfferedRates; -1: the source's
  int32_t ch;     // target channels, 1 or 2; -1: the source's
  int32_t merge;  // WAV and FLAC only: non-zero puts every entry into one file
};

inline constexpr OutputSettings kDefaultOutputSettings = {0, -1, -1, 0};
// The rates the settings offer, highest first; "same as the source" is -1.
inline constexpr int32_t kOfferedRates[] = {48000, 44100, 32000, 24000, 22050, 16000, 11025, 8000};

// The rate a stored one reads as, as the settings dialog shows it: the
// largest offered rate not above it; -1 below the lowest and above the
// highest.
int32_t OfferedRate(int32_t frq);

// Never fails: a missing key or a value that isn't exactly 4 bytes gives
// the default. Values read as the settings dialog shows them, so that an
// export writes what it shows: type 0, 1 or 2 (any other as 1), merge 0 or 1, the rate as
// OfferedRate gives it, channels other than 1 and 2 as -1.
OutputSettings LoadOutputSettings(const SettingsStore& store);
// Reports nothing: settings that can't be stored are simply not stored.
void SaveOutputSettings(SettingsStore& store, const OutputSettings& settings);

}  // namespace kowaki
