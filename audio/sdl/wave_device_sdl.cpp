// The default output device through SDL2's audio callback. Written
// buffers wait in a queue; the callback hands their bytes to SDL, and a
// buffer counts as played once SDL asks for more after its last byte,
// that is once the chunk holding it has gone to the device.

#include <SDL.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "audio/wave_device.h"

namespace kowaki {

namespace {

constexpr uint16_t kSdlSamples = 512;  // frames per callback

// SDL's name for the format a device is opened with.
using SdlFormat = SDL_AudioSpec;

SdlFormat DeviceFormat(const PcmFormat& format) {
  SdlFormat device;
  SDL_zero(device);
  device.freq = static_cast<int>(format.samples_per_sec);
  device.format = format.bits_per_sample == 8 ? AUDIO_U8 : AUDIO_S16LSB;
  device.channels = static_cast<Uint8>(format.channels);
  device.samples = kSdlSamples;
  return device;
}

class SdlWaveDevice : public WaveDevice {
 public:
  SdlWaveDevice(WaveEvent* done, uint32_t block_align) : done_(done), block_align_(block_align) {}
  ~SdlWaveDevice() override;
  Result<void, WaveOpenError> Open(const PcmFormat& format);

  WaveResult prepare(WaveHeader* header) override;
  WaveResult write(WaveHeader* header) override;
  WaveResult unprepare(WaveHeader* header) override;
  void reset() override;
  // SDL stops calling back while paused: nothing is handed out or retired.
  WaveResult pause() override {
    SDL_PauseAudioDevice(id_, 1);
    return {};
  }
  WaveResult restart() override {
    SDL_PauseAudioDevice(id_, 0);
    return {};
  }
  Result<WaveTime, WaveError> position(WaveTimeFormat format) override;

 private:
  // A list of headers chained through `next`, oldest first.
  struct Chain {
    WaveHeader* head = nullptr;
    WaveHeader* tail = nullptr;
    void Append(WaveHeader* header);
    WaveHeader* Pop();
  };

  static void SDLCALL Fill(void* self, Uint8* stream, int length);
  // With the device locked: marks the headers of `chain` done.
  bool Retire(Chain* chain);

  WaveEvent* done_;
  uint32_t block_align_;
  uint8_t silence_ = 0;
  bool subsystem_ = false;
  SDL_AudioDeviceID id_ = 0;
  // Under the device's lock, shared with the callback.
  Chain queued_;  // not yet wholly handed out; the first from `offset_` on
  Chain sent_;    // handed out in the last callback, played once the next one comes
  uint32_t offset_ = 0;
  uint64_t sent_bytes_ = 0;    // handed out since the open or reset
  uint64_t played_bytes_ = 0;  // as far as the device has played
};

void SdlWaveDevice::Chain::Append(WaveHeader* header) {
  header->next = nullptr;
  (tail ? tail->next : head) = header;
  tail = header;
}

WaveHeader* SdlWaveDevice::Chain::Pop() {
  WaveHeader* header = head;
  if (header) {
    head = header->next;
    if (!head) tail = nullptr;
  }
  return header;
}

SdlWaveDevice::~SdlWaveDevice() {
  if (id_ != 0) {
    SDL_CloseAudioDevice(id_);
    done_->Set();  // closed
  }
  if (subsystem_) SDL_QuitSubSystem(SDL_INIT_AUDIO);
  // SDL keeps an error text per thread; ours are not SDL's threads, so it
  // would never free the player's.
  SDL_TLSCleanup();
}

// No audio driver is no device; a driver without a device to open is none
// either, which a plain format that does not open either tells.
Result<void, WaveOpenError> SdlWaveDevice::Open(const PcmFormat& format) {
  subsystem_ = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
  if (!subsystem_) return WaveOpenError::kNoDevice;
  if (format.format_tag != kFormatPcm || format.channels == 0 ||
      (format.bits_per_sample != 8 && format.bits_per_sample != 16) ||
      format.block_align != format.channels * format.bits_per_sample / 8 ||
      format.samples_per_sec == 0 || format.samples_per_sec > 0x7FFFFFFF ||
      format.channels > 0xFF) {
    return WaveOpenError::kFormatRefused;
  }
  SdlFormat want = DeviceFormat(format);
  want.callback = Fill;
  want.userdata = this;
  // SDL converts to whatever the hardware takes.
  SdlFormat have;
  id_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
  if (id_ == 0) {
    SdlFormat plain = DeviceFormat(MakePcmFormat(44100, 2, 16));
    const SDL_AudioDeviceID probe = SDL_OpenAudioDevice(nullptr, 0, &plain, nullptr, 0);
    if (probe == 0) return WaveOpenError::kNoDevice;
    SDL_CloseAudioDevice(probe);
    return WaveOpenError::kFormatRefused;
  }
  silence_ = have.silence;
  done_->Set();  // opened
  SDL_PauseAudioDevice(id_, 0);
  return {};
}

WaveResult SdlWaveDevice::prepare(WaveHeader* header) {
  SDL_LockAudioDevice(id_);
  const uint32_t flags = HeaderFlags(*header);
  const bool queued = (flags & kHeaderInQueue) != 0;
  if (!queued) SetHeaderFlags(*header, flags | kHeaderPrepared);
  SDL_UnlockAudioDevice(id_);
  if (queued) return WaveError::kStillPlaying;
  return {};
}

WaveResult SdlWaveDevice::write(WaveHeader* header) {
  SDL_LockAudioDevice(id_);
  const uint32_t flags = HeaderFlags(*header);
  WaveResult result;
  if (!(flags & kHeaderPrepared)) {
    result = WaveError::kUnprepared;
  } else if (flags & kHeaderInQueue) {
    result = WaveError::kStillPlaying;
  } else {
    SetHeaderFlags(*header, (flags & ~kHeaderDone) | kHeaderInQueue);
    queued_.Append(header);
  }
  SDL_UnlockAudioDevice(id_);
  return result;
}

WaveResult SdlWaveDevice::unprepare(WaveHeader* header) {
  SDL_LockAudioDevice(id_);
  const uint32_t flags = HeaderFlags(*header);
  const bool queued = (flags & kHeaderInQueue) != 0;
  if (!queued) SetHeaderFlags(*header, flags & ~kHeaderPrepared);
  SDL_UnlockAudioDevice(id_);
  if (queued) return WaveError::kStillPlaying;
  return {};
}

void SdlWaveDevice::reset() {
  SDL_LockAudioDevice(id_);
  Retire(&sent_);
  Retire(&queued_);
  offset_ = 0;
  sent_bytes_ = played_bytes_ = 0;
  SDL_UnlockAudioDevice(id_);
  done_->Set();
}

// Frames whatever format is asked for.
Result<WaveTime, WaveError> SdlWaveDevice::position(WaveTimeFormat) {
  SDL_LockAudioDevice(id_);
  const uint64_t frames = played_bytes_ / block_align_;
  SDL_UnlockAudioDevice(id_);
  return WaveTime{WaveTimeFormat::kSamples, static_cast<uint32_t>(frames)};
}

bool SdlWaveDevice::Retire(Chain* chain) {
  bool any = false;
  while (WaveHeader* header = chain->Pop()) {
    SetHeaderFlags(*header, (HeaderFlags(*header) & ~kHeaderInQueue) | kHeaderDone);
    any = true;
  }
  return any;
}

void SDLCALL SdlWaveDevice::Fill(void* self, Uint8* stream, int length) {
  auto& device = *static_cast<SdlWaveDevice*>(self);
  // SDL asks again once the last chunk has gone to the device.
  const bool finished = device.Retire(&device.sent_);
  device.played_bytes_ = device.sent_bytes_;
  auto left = static_cast<uint32_t>(length);
  while (left > 0 && device.queued_.head) {
    WaveHeader* header = device.queued_.head;
    const uint32_t take = std::min(header->buffer_length - device.offset_, left);
    std::memcpy(stream, header->data + device.offset_, take);
    stream += take;
    left -= take;
    device.offset_ += take;
    device.sent_bytes_ += take;
    if (device.offset_ == header->buffer_length) {
      device.sent_.Append(device.queued_.Pop());
      device.offset_ = 0;
    }
  }
  // Silence: zero for signed 16-bit samples, the middle for unsigned 8-bit ones.
  std::memset(stream, device.silence_, left);
  if (finished) device.done_->Set();
}

}  // namespace

Result<WaveDevicePtr, WaveOpenError> OpenWaveDevice(const PcmFormat& format, WaveEvent* done) {
  auto device =
      std::unique_ptr<SdlWaveDevice>(new (std::nothrow) SdlWaveDevice(done, format.block_align));
  if (!device) return WaveOpenError::kFailed;
  const Result<void, WaveOpenError> opened = device->Open(format);
  if (!opened) return opened.failure();
  return WaveDevicePtr(std::move(device));
}

}  // namespace kowaki
