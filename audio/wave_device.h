#pragma once
// What the wave-out player needs of the platform: an output device that
// plays queued buffers in order, an auto-reset event the device signals,
// a private heap for the buffers and a millisecond tick count. Windows
// gives these through winmm and kernel32; elsewhere SDL2 plays and the
// rest is the standard library. Tests put a simulated device in place of
// the platform's one.

#include <atomic>
#include <cstdint>
#include <memory>

#include "common/result.h"
#include "convert/pcm_format.h"

namespace kowaki {

// One buffer of sound, laid out as winmm's WAVEHDR so that the Windows
// device takes it as it is. The player sets `data` once and the lengths,
// `flags` and `loops` at each write; the device changes `flags` from its
// own thread.
struct WaveHeader {
  uint8_t* data;
  uint32_t buffer_length;
  uint32_t bytes_recorded;
  uintptr_t user;
  uint32_t flags;
  uint32_t loops;
  WaveHeader* next;
  uintptr_t reserved;
};

// Bits of WaveHeader::flags (WHDR_*).
inline constexpr uint32_t kHeaderDone = 0x01;      // played (or reset)
inline constexpr uint32_t kHeaderPrepared = 0x02;  // prepared, not yet unprepared
inline constexpr uint32_t kHeaderInQueue = 0x10;   // in the device's queue

// The flags as the device's thread last left them.
inline uint32_t HeaderFlags(WaveHeader& header) {
  return std::atomic_ref<uint32_t>(header.flags).load(std::memory_order_acquire);
}
inline void SetHeaderFlags(WaveHeader& header, uint32_t flags) {
  std::atomic_ref<uint32_t>(header.flags).store(flags, std::memory_order_release);
}

// Why a device operation failed: winmm's WAVERR_* that the player tells
// apart, and any other error.
enum class WaveError {
  kFailed,
  kStillPlaying,  // the header is in the device's queue
  kUnprepared,    // the header was not prepared
};
using WaveResult = Result<void, WaveError>;

// A position as the device answers it (MMTIME's TIME_* kinds).
enum class WaveTimeFormat : uint32_t {
  kMilliseconds = 1,
  kSamples = 2,
  kBytes = 4,
  kSmpte = 8,
  kTicks = 32
};
struct WaveTime {
  WaveTimeFormat format;
  uint32_t value;
};

// An auto-reset event: Set wakes one wait, or the next one when none is
// waiting. The device signals it when it opens, after each finished
// buffer and when it closes.
class WaveEvent {
 public:
  static constexpr uint32_t kForever = 0xFFFFFFFF;

  // Not signalled; null when the platform has no event to give.
  static std::unique_ptr<WaveEvent> Create();
  ~WaveEvent();
  WaveEvent(const WaveEvent&) = delete;
  WaveEvent& operator=(const WaveEvent&) = delete;

  void Set();
  // True when signalled, false when `milliseconds` passed first.
  bool Wait(uint32_t milliseconds);
  // The platform's own event (on Windows the kernel event handle).
  void* native() const { return native_; }

 private:
  explicit WaveEvent(void* native) : native_(native) {}
  void* native_;
};

// An open output device, in the manner of winmm's waveOut functions.
// Buffers are played in the order written; each is marked done and the
// event signalled once it has been played. Destroying it closes it.
class WaveDevice {
 public:
  virtual ~WaveDevice() = default;
  // Marks the header prepared.
  virtual WaveResult prepare(WaveHeader* header) = 0;
  // Queues a prepared header; one refused stays prepared.
  virtual WaveResult write(WaveHeader* header) = 0;
  // Fails with kStillPlaying while the header is queued; succeeds when it
  // was played or never prepared.
  virtual WaveResult unprepare(WaveHeader* header) = 0;
  // Stops at once and marks every queued header done; the position
  // counts from 0 again.
  virtual void reset() = 0;
  // Holds the sound where it is, keeping what is queued; restart plays on
  // from there.
  virtual WaveResult pause() = 0;
  virtual WaveResult restart() = 0;
  // The position since the device opened, in `format` if the device can,
  // otherwise in a format of its choosing.
  virtual Result<WaveTime, WaveError> position(WaveTimeFormat format) = 0;
};
using WaveDevicePtr = std::unique_ptr<WaveDevice>;

// Why no device could be had for a format.
enum class WaveOpenError {
  kNoDevice,       // the system has no output device, or none free
  kFormatRefused,  // the device there does not play the format
  kFailed,         // anything else: memory, an event or a heap the system did not give
};

// Opens the system's default output device for `format`, signalling
// `done`; or why not.
Result<WaveDevicePtr, WaveOpenError> OpenWaveDevice(const PcmFormat& format, WaveEvent* done);

// A private heap: every block in it goes when it is destroyed.
class BufferHeap {
 public:
  // Null when no heap can be made. It may grow beyond `initial_size`.
  static std::unique_ptr<BufferHeap> Create(size_t initial_size);
  ~BufferHeap();
  BufferHeap(const BufferHeap&) = delete;
  BufferHeap& operator=(const BufferHeap&) = delete;

  void* Alloc(size_t size);  // null without memory
  void Free(void* block);    // null is ignored

 private:
  explicit BufferHeap(void* native) : native_(native) {}
  void* native_;
};

// Milliseconds since some start, wrapping at 2^32.
uint32_t TickCount();

}  // namespace kowaki
