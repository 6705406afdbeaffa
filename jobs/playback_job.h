#pragma once
// The playback job: plays the entries of the selected rows one after
// another, in list order, through a WaveOutPlayer per entry, with the
// entry in the title and the device's position on the progress bar.

#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

#include "audio/wave_out_player.h"
#include "jobs/app_state.h"
#include "jobs/entry_outcome.h"

namespace kowaki {

// Makes the player for an entry: `format` and frames per buffer.
using PlayerFactory = std::function<Result<WaveOutPlayerPtr, WaveOpenError>(
    const PcmFormat& format, int32_t frames_per_buffer)>;

// A player on the system's default device.
Result<WaveOutPlayerPtr, WaveOpenError> CreateDefaultPlayer(const PcmFormat& format,
                                                            int32_t frames_per_buffer);

// What a face asks of the entry playing, besides the stop: the job
// honours it between blocks. Any thread writes it; the job reads it.
struct PlaybackControl {
  std::atomic<bool> paused{false};   // the sound is held while set
  std::atomic<int32_t> seek_ms{0};   // seeks not yet honoured, added up; + forward
  std::atomic<int32_t> volume{100};  // percent of the decoded level, 0 to 100
  std::atomic<bool> next{false};     // ends the entry playing; the next one follows
};

struct PlaybackSetup {
  PlayerFactory make_player = CreateDefaultPlayer;
  PlaybackControl* control = nullptr;  // null: the entries play through
};

struct PlaybackResult {
  int32_t selected = 0;
  int32_t started = 0;  // entries taken up, the one a stop cut short included
  int32_t played = 0;   // entries that got a player and played to their end or to the stop
  std::vector<EntryOutcome> entries;  // each entry taken up, in list order
};

// The worker procedure.
void PlaybackJob(AppState* state);
// The same run with its player factory given, telling how it went.
PlaybackResult RunPlayback(AppState* state, const PlaybackSetup& setup);

}  // namespace kowaki
