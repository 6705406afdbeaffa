#include "audio/wave_out_player.h"

#include <cstring>
#include <new>

namespace kowaki {

namespace {
// A buffer's size stays small enough for the heap's size, 16 buffers and
// their margins, to be counted in 32 bits.
constexpr uint64_t kMaxBufferSize = 0x0FFFFF00;
constexpr uint32_t kHeapMargin = 100;
constexpr uint32_t kDestroyWaitMs = 100;

// Whether the device still holds the header in its queue.
bool StillPlaying(const WaveResult& unprepared) {
  return !unprepared && unprepared.failure() == WaveError::kStillPlaying;
}
}  // namespace

Result<WaveOutPlayerPtr, WaveOpenError> WaveOutPlayer::create(const PcmFormat& format,
                                                              int32_t frames_per_buffer,
                                                              const WaveOutput& output) {
  WaveOutPlayerPtr player(new (std::nothrow) WaveOutPlayer());
  if (!player) return WaveOpenError::kFailed;
  // A player that cannot be finished goes through destroy, which releases
  // whatever it got.
  const Result<void, WaveOpenError> built = player->Build(format, frames_per_buffer, output);
  if (!built) return built.failure();
  return player;
}

Result<void, WaveOpenError> WaveOutPlayer::Build(const PcmFormat& format, int32_t frames_per_buffer,
                                                 const WaveOutput& output) {
  ticks_ = output.ticks;
  done_ = WaveEvent::Create();
  if (!done_) return WaveOpenError::kFailed;
  format_ = format;
  Result<WaveDevicePtr, WaveOpenError> device = output.open(format_, done_.get());
  if (!device) return device.failure();
  device_ = std::move(*device);
  const uint64_t size = static_cast<uint64_t>(frames_per_buffer) * format_.block_align;
  if (frames_per_buffer <= 0 || size > kMaxBufferSize) return WaveOpenError::kFailed;
  buffer_size_ = static_cast<uint32_t>(size);
  heap_ = BufferHeap::Create((buffer_size_ + kHeapMargin) * kBuffers);
  if (!heap_) return WaveOpenError::kFailed;
  headers_ = static_cast<WaveHeader*>(heap_->Alloc(sizeof(WaveHeader) * kBuffers));
  if (!headers_) return WaveOpenError::kFailed;
  std::memset(headers_, 0, sizeof(WaveHeader) * kBuffers);
  for (int32_t i = 0; i < kBuffers; ++i) {
    headers_[i].data = static_cast<uint8_t*>(heap_->Alloc(buffer_size_));
    if (!headers_[i].data) return WaveOpenError::kFailed;
  }
  return {};
}

void WaveOutPlayer::destroy(WaveOutPlayer* player) {
  if (!player) return;
  player->Release();
  delete player;
}

void WaveOutPlayer::Release() {
  if (device_) {
    device_->reset();
    if (headers_) {
      for (int32_t i = 0; i < kBuffers; ++i) {
        while (StillPlaying(device_->unprepare(&headers_[i]))) done_->Wait(kDestroyWaitMs);
        heap_->Free(headers_[i].data);
      }
    }
    device_.reset();  // closes it
  }
  if (done_) {
    done_->Set();
    done_.reset();
  }
  if (headers_) heap_->Free(headers_);
  heap_.reset();
}

WriteResult WaveOutPlayer::write(const void* data, uint32_t n) {
  if (n > buffer_size_) return WriteResult::kRefused;
  // The last free header of a scan; played ones met on the way are
  // unprepared, and so free too.
  WaveHeader* chosen = nullptr;
  for (;;) {
    for (int32_t i = 0; i < kBuffers; ++i) {
      WaveHeader& header = headers_[i];
      const uint32_t flags = HeaderFlags(header);
      if (flags == 0) {
        chosen = &header;
      } else if (flags & kHeaderDone) {
        static_cast<void>(device_->unprepare(&header));  // played: nothing holds it
        chosen = &header;
      }
    }
    if (chosen) break;
    done_->Wait(WaveEvent::kForever);
  }
  chosen->buffer_length = n;
  chosen->bytes_recorded = n;
  SetHeaderFlags(*chosen, 0);
  chosen->loops = 0;
  std::memcpy(chosen->data, data, n);
  if (device_->prepare(chosen)) {
    if (device_->write(chosen)) return WriteResult::kQueued;
    static_cast<void>(device_->unprepare(chosen));  // refused: never queued
  }
  // A buffer the device refused goes back to the ring: left prepared, it
  // would never be free again, and sixteen refusals would leave the next
  // write waiting for ever.
  SetHeaderFlags(*chosen, 0);
  return WriteResult::kRefused;
}

DrainResult WaveOutPlayer::drain(uint32_t timeout_ms) {
  if (!device_) return DrainResult::kNoDevice;
  const uint32_t start = ticks_();
  for (int32_t i = 0; i < kBuffers; ++i) {
    while (StillPlaying(device_->unprepare(&headers_[i]))) {
      // Unsigned differences stay right across the tick count's wrap.
      const uint32_t elapsed = ticks_() - start;
      if (elapsed >= timeout_ms) return DrainResult::kTimedOut;
      done_->Wait(timeout_ms - elapsed);
    }
  }
  return DrainResult::kPlayed;
}

uint32_t WaveOutPlayer::position() {
  if (!device_) return 0;
  const Result<WaveTime, WaveError> time = device_->position(WaveTimeFormat::kSamples);
  if (!time) return 0;
  switch (time->format) {
    case WaveTimeFormat::kSamples:
      return time->value;
    case WaveTimeFormat::kMilliseconds:
      return static_cast<uint32_t>(uint64_t{time->value} * format_.samples_per_sec / 1000);
    case WaveTimeFormat::kBytes:
      return format_.block_align != 0 ? time->value / format_.block_align : 0;
    default:
      return 0;
  }
}

// A device that cannot pause plays on: the sound is not held, nothing is lost.
void WaveOutPlayer::pause() {
  if (device_) static_cast<void>(device_->pause());
}

void WaveOutPlayer::resume() {
  if (device_) static_cast<void>(device_->restart());
}

// The buffers the reset marks done are free for the next write, which
// unprepares them as it does played ones.
void WaveOutPlayer::flush() {
  if (device_) device_->reset();
}

}  // namespace kowaki
