#pragma once
// Plays blocks of PCM in one format through a ring of 16 buffers. `write`
// copies a block into a free buffer and queues it, waiting while all 16
// are queued, so whoever feeds the player runs at the pace of the sound;
// `drain` waits, up to a time-out per call, until everything queued has
// been played; `position` tells how many sample frames have been played.
// Calling order: create, any number of writes (with positions between
// them), drain while it answers kTimedOut, destroy; pause, resume and flush
// between them. Destroying stops the sound at once. One thread calls all
// of these.

#include <cstdint>
#include <functional>
#include <memory>

#include "audio/wave_device.h"
#include "convert/pcm_format.h"

namespace kowaki {

// Where a player's sound goes and the clock its drain reads.
struct WaveOutput {
  std::function<Result<WaveDevicePtr, WaveOpenError>(const PcmFormat& format, WaveEvent* done)>
      open = OpenWaveDevice;
  std::function<uint32_t()> ticks = TickCount;
};

class WaveOutPlayer;
struct WaveOutPlayerDeleter {
  void operator()(WaveOutPlayer* player) const;
};
using WaveOutPlayerPtr = std::unique_ptr<WaveOutPlayer, WaveOutPlayerDeleter>;

// What a write did with its block.
enum class WriteResult : int32_t {
  kQueued = 0,
  kRefused = 1,  // the device refused the buffer: the block is not played
};

// How a drain ended.
enum class DrainResult : int32_t {
  kPlayed = 0,    // everything queued has been played
  kNoDevice = 1,  // no device is open
  kTimedOut = 2,  // the time-out ran out with a buffer still queued
};

class WaveOutPlayer {
 public:
  static constexpr int32_t kBuffers = 16;

  // A player on the device for `format` with buffers of `frames_per_buffer`
  // frames; or why not (no device, a format it refuses, no memory), with
  // everything obtained released again.
  static Result<WaveOutPlayerPtr, WaveOpenError> create(const PcmFormat& format,
                                                        int32_t frames_per_buffer,
                                                        const WaveOutput& output = {});

  WaveOutPlayer(const WaveOutPlayer&) = delete;
  WaveOutPlayer& operator=(const WaveOutPlayer&) = delete;

  // Stops the sound and frees the player; null is left alone.
  static void destroy(WaveOutPlayer* player);
  // Queues `n` bytes (at most a buffer's size; more is refused).
  WriteResult write(const void* data, uint32_t n);
  // Waits up to `timeout_ms` for everything queued to be played.
  DrainResult drain(uint32_t timeout_ms);
  // Sample frames played since the device opened or the last flush; 0
  // when unknown.
  uint32_t position();
  // Holds the sound where it is, and plays on from there.
  void pause();
  void resume();
  // Stops the sound at once and drops what is queued; the position counts
  // from 0 again. For a seek: the next write plays from there.
  void flush();

 private:
  WaveOutPlayer() = default;
  ~WaveOutPlayer() = default;
  void Release();
  Result<void, WaveOpenError> Build(const PcmFormat& format, int32_t frames_per_buffer,
                                    const WaveOutput& output);

  WaveDevicePtr device_;
  WaveHeader* headers_ = nullptr;  // kBuffers of them, in the heap
  std::unique_ptr<WaveEvent> done_;
  std::unique_ptr<BufferHeap> heap_;
  PcmFormat format_{};
  uint32_t buffer_size_ = 0;
  std::function<uint32_t()> ticks_;
};

inline void WaveOutPlayerDeleter::operator()(WaveOutPlayer* player) const {
  WaveOutPlayer::destroy(player);
}

}  // namespace kowaki
