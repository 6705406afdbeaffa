#include "jobs/playback_job.h"

#include <algorithm>
#include <cerrno>
#include <limits>
#include <string>
#include <vector>

#include "jobs/entry_decoder.h"
#include "jobs/job_end.h"
#include "text/catalogue.h"
#include "text/format_text.h"

namespace kowaki {

namespace {

// One player buffer holds one read: 2048 frames.
constexpr int32_t kFramesPerBuffer = 2048;
constexpr uint32_t kDrainWaitMs = 100;

// Why an entry got no player, in the words every face uses.
EntryProblem PlayerProblem(WaveOpenError error) {
  switch (error) {
    case WaveOpenError::kNoDevice:
      return EntryProblem::kNoDevice;
    case WaveOpenError::kFormatRefused:
      return EntryProblem::kFormatRefused;
    case WaveOpenError::kFailed:
      break;
  }
  return EntryProblem::kDeviceFailed;
}

int32_t ProgressValue(int64_t frames) {
  return static_cast<int32_t>(std::clamp<int64_t>(frames, 0, std::numeric_limits<int32_t>::max()));
}

class PlaybackRun {
 public:
  PlaybackRun(AppState* state, const PlaybackSetup& setup)
      : state_(*state), index_(state->index.get()), window_(*state->window), setup_(setup) {}

  PlaybackResult Run();

 private:
  bool Stopped() const { return state_.running.load() == 0; }
  EntryOutcome PlayEntry(int32_t entry);
  void Decode(EntryDecoder& decoder, WaveOutPlayerPtr player);
  Result<WaveOutPlayerPtr, WaveOpenError> OpenPlayer(const PcmFormat& format);
  bool PlayBlock(WaveOutPlayer& player, size_t n, int64_t base);
  bool PlayOut(WaveOutPlayer& player, int64_t base);
  void EndMessages();
  void Restore();

  AppState& state_;
  const ArchiveIndex* index_;  // the window's, unchanged while the job runs
  JobWindow& window_;
  const PlaybackSetup& setup_;
  PlaybackResult result_;
  // One player buffer's worth: channels x 4096 bytes, whatever the channels.
  std::vector<uint8_t> buffer_;
  uint32_t player_buffer_ = 0;  // bytes in a buffer of the current player
};

PlaybackResult PlaybackRun::Run() {
  const int32_t selected = result_.selected = window_.SelectedCount();
  for (int32_t row = window_.NextSelectedRow(-1); row != -1; row = window_.NextSelectedRow(row)) {
    const int32_t entry = window_.RowEntry(row);
    ++result_.started;
    window_.SetJobTitle(Say(Text::kWorkPlaying, window_.NameText(EntryName(index_, entry)),
                            result_.started, selected));
    EntryOutcome outcome = PlayEntry(entry);
    result_.played += outcome.ok ? 1 : 0;
    window_.ReportEntry(outcome, EntryName(index_, entry));
    result_.entries.push_back(std::move(outcome));
    if (Stopped()) break;
  }
  EndMessages();
  Restore();
  return result_;
}

// Not ok when the entry could not start: no stream, no Vorbis, no player.
EntryOutcome PlaybackRun::PlayEntry(int32_t entry) {
  EntryOutcome outcome;
  outcome.entry = entry;
  EntryDecoder decoder(index_, entry);
  if (!decoder.is_open()) {
    outcome.problem = decoder.problem();
    outcome.system_error = errno;
    return outcome;
  }
  Result<WaveOutPlayerPtr, WaveOpenError> player = OpenPlayer(decoder.format());
  if (!player) {
    outcome.problem = PlayerProblem(player.failure());
    return outcome;
  }
  window_.SetProgressRange(0, ProgressValue(ov_pcm_total(decoder.vorbis(), -1)));
  Decode(decoder, std::move(*player));
  outcome.ok = true;
  return outcome;
}

Result<WaveOutPlayerPtr, WaveOpenError> PlaybackRun::OpenPlayer(const PcmFormat& format) {
  if (format.block_align == 0) return WaveOpenError::kFormatRefused;
  player_buffer_ = uint32_t{kFramesPerBuffer} * format.block_align;
  buffer_.resize(std::max<size_t>(buffer_.size(), player_buffer_));
  return setup_.make_player(format, kFramesPerBuffer);
}

// Decodes and plays to the end of the entry or to a stop, then cuts the
// sound off. A link of chained streams in another format than the one
// before it gets a player of its own, once the earlier one has played out.
void PlaybackRun::Decode(EntryDecoder& decoder, WaveOutPlayerPtr player) {
  int64_t base = 0;  // frames the players of earlier links played
  for (;;) {
    const EntryDecoder::Block block = decoder.Read({buffer_.data(), player_buffer_});
    if (block.length == 0) {
      PlayOut(*player, base);
      break;
    }
    if (block.format_changed) {
      if (!PlayOut(*player, base)) break;
      base += player->position();
      player.reset();
      player = OpenPlayer(decoder.format()).value_or(nullptr);
      if (!player) break;
    }
    if (!PlayBlock(*player, block.length, base)) break;
  }
  window_.SetProgressPosition(0);
  player.reset();  // on a stop this cuts the sound off
}

// Writes a decoded block, in pieces the player's buffers hold (one, but
// for the block read where a link with fewer channels begins); false on a
// stop.
bool PlaybackRun::PlayBlock(WaveOutPlayer& player, size_t n, int64_t base) {
  const size_t piece = player_buffer_;
  for (size_t at = 0; at < n; at += piece) {
    // A block the player refuses is dropped; the entry goes on.
    player.write(buffer_.data() + at, static_cast<uint32_t>(std::min(piece, n - at)));
    const uint32_t position = player.position();
    if (Stopped()) return false;
    window_.SetProgressPosition(ProgressValue(base + position));
  }
  return true;
}

// Waits for everything written to be played, following the position; false on a stop.
bool PlaybackRun::PlayOut(WaveOutPlayer& player, int64_t base) {
  while (player.drain(kDrainWaitMs) == DrainResult::kTimedOut) {
    const uint32_t position = player.position();
    if (Stopped()) return false;
    window_.SetProgressPosition(ProgressValue(base + position));
  }
  return true;
}

void PlaybackRun::EndMessages() {
  ShowEndMessages(window_, Text::kPlayFailed, Text::kPlayStopped, result_.selected, result_.started,
                  result_.played);
}

void PlaybackRun::Restore() {
  RestoreControls(window_, Control::kPlay);
  state_.running = 0;
}

}  // namespace

Result<WaveOutPlayerPtr, WaveOpenError> CreateDefaultPlayer(const PcmFormat& format,
                                                            int32_t frames_per_buffer) {
  return WaveOutPlayer::create(format, frames_per_buffer);
}

PlaybackResult RunPlayback(AppState* state, const PlaybackSetup& setup) {
  return PlaybackRun(state, setup).Run();
}

void PlaybackJob(AppState* state) { RunPlayback(state, PlaybackSetup{}); }

}  // namespace kowaki
