#include "jobs/playback_job.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include "common/little_endian.h"
#include "jobs/entry_decoder.h"
#include "jobs/job_end.h"
#include "text/catalogue.h"
#include "text/format_text.h"

namespace kowaki {

namespace {

// One player buffer holds one read: 2048 frames.
constexpr int32_t kFramesPerBuffer = 2048;
constexpr uint32_t kDrainWaitMs = 100;
constexpr std::chrono::milliseconds kPauseWait{20};

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
  bool Follow(EntryDecoder& decoder, WaveOutPlayer& player, int64_t* base);
  void Seek(EntryDecoder& decoder, WaveOutPlayer& player, int64_t* base);
  bool Requested() const;
  void ApplyVolume(size_t n);
  bool PlayBlock(WaveOutPlayer& player, size_t n, int64_t base);
  bool PlayOut(WaveOutPlayer& player, int64_t base, bool requests = false);
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
  int64_t base = 0;  // the frame the player's position counts from: earlier links', a seek's
  while (Follow(decoder, *player, &base)) {
    const EntryDecoder::Block block = decoder.Read({buffer_.data(), player_buffer_});
    if (block.length == 0) {
      // Played out or stopped; else the face asked for something, which
      // the loop's top honours (a seek back plays on).
      if (PlayOut(*player, base, true) || Stopped()) break;
      continue;
    }
    if (block.format_changed) {
      if (!PlayOut(*player, base)) break;
      base += player->position();
      player.reset();
      player = OpenPlayer(decoder.format()).value_or(nullptr);
      if (!player) break;
    }
    ApplyVolume(block.length);
    if (!PlayBlock(*player, block.length, base)) break;
  }
  window_.SetProgressPosition(0);
  player.reset();  // on a stop this cuts the sound off
}

// What the face asked for since the last block: the sound is held while
// paused, a seek is made; false to end the entry (the next one was asked
// for, or a stop). Without a control the entry plays through.
bool PlaybackRun::Follow(EntryDecoder& decoder, WaveOutPlayer& player, int64_t* base) {
  PlaybackControl* control = setup_.control;
  if (!control) return true;
  if (control->paused) {
    player.pause();
    while (control->paused && !control->next && !Stopped()) {
      Seek(decoder, player, base);
      std::this_thread::sleep_for(kPauseWait);
    }
    player.resume();
  }
  Seek(decoder, player, base);
  return !control->next.exchange(false) && !Stopped();
}

// From the frame being heard: what is queued is dropped, and the bar
// follows at once.
void PlaybackRun::Seek(EntryDecoder& decoder, WaveOutPlayer& player, int64_t* base) {
  const int32_t ms = setup_.control->seek_ms.exchange(0);
  if (ms == 0) return;
  const int64_t heard = *base + player.position();
  const int64_t total = std::max<int64_t>(ov_pcm_total(decoder.vorbis(), -1), 0);
  const int64_t by = int64_t{ms} * decoder.format().samples_per_sec / 1000;
  player.flush();
  decoder.Seek(std::clamp<int64_t>(heard + by, 0, total));
  *base = decoder.Tell();
  window_.SetProgressPosition(ProgressValue(*base));
}

bool PlaybackRun::Requested() const {
  const PlaybackControl* control = setup_.control;
  return control && (control->paused || control->seek_ms != 0 || control->next);
}

// The face's volume, on the 16-bit samples of the block just decoded.
void PlaybackRun::ApplyVolume(size_t n) {
  const int32_t volume = setup_.control ? std::max(setup_.control->volume.load(), 0) : 100;
  if (volume >= 100) return;
  for (size_t at = 0; at + 1 < n; at += 2) {
    const auto sample = static_cast<int16_t>(ReadLe16(&buffer_[at]));
    WriteLe16(&buffer_[at], static_cast<uint16_t>(sample * volume / 100));
  }
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

// Waits for everything written to be played, following the position;
// false on a stop, and with `requests` when the face asks for something.
bool PlaybackRun::PlayOut(WaveOutPlayer& player, int64_t base, bool requests) {
  while (player.drain(kDrainWaitMs) == DrainResult::kTimedOut) {
    const uint32_t position = player.position();
    if (Stopped()) return false;
    window_.SetProgressPosition(ProgressValue(base + position));
    if (requests && Requested()) return false;
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
