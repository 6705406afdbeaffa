// The default output device through winmm: the wave mapper, with the
// player's event as its callback.

#include <windows.h>

#include <mmsystem.h>

#include <cstddef>
#include <new>

#include "audio/wave_device.h"

namespace kowaki {

namespace {

static_assert(sizeof(WaveHeader) == sizeof(WAVEHDR));
static_assert(offsetof(WaveHeader, data) == offsetof(WAVEHDR, lpData));
static_assert(offsetof(WaveHeader, buffer_length) == offsetof(WAVEHDR, dwBufferLength));
static_assert(offsetof(WaveHeader, bytes_recorded) == offsetof(WAVEHDR, dwBytesRecorded));
static_assert(offsetof(WaveHeader, flags) == offsetof(WAVEHDR, dwFlags));
static_assert(offsetof(WaveHeader, user) == offsetof(WAVEHDR, dwUser));
static_assert(offsetof(WaveHeader, loops) == offsetof(WAVEHDR, dwLoops));
static_assert(offsetof(WaveHeader, next) == offsetof(WAVEHDR, lpNext));
static_assert(offsetof(WaveHeader, reserved) == offsetof(WAVEHDR, reserved));
static_assert(kHeaderDone == WHDR_DONE && kHeaderPrepared == WHDR_PREPARED &&
              kHeaderInQueue == WHDR_INQUEUE);
// The format's first 18 bytes are a WAVEFORMATEX; a codec's extra bytes follow them.
static_assert(sizeof(WAVEFORMATEX) == 18 && sizeof(PcmFormat) >= 18);

WAVEHDR* Native(WaveHeader* header) { return reinterpret_cast<WAVEHDR*>(header); }

// What winmm answered, as the seam says it.
WaveResult Checked(MMRESULT result) {
  switch (result) {
    case MMSYSERR_NOERROR:
      return {};
    case WAVERR_STILLPLAYING:
      return WaveError::kStillPlaying;
    case WAVERR_UNPREPARED:
      return WaveError::kUnprepared;
    default:
      return WaveError::kFailed;
  }
}

class Win32WaveDevice : public WaveDevice {
 public:
  explicit Win32WaveDevice(HWAVEOUT handle) : handle_(handle) {}
  ~Win32WaveDevice() override { waveOutClose(handle_); }

  WaveResult prepare(WaveHeader* header) override {
    return Checked(waveOutPrepareHeader(handle_, Native(header), sizeof(WAVEHDR)));
  }
  WaveResult write(WaveHeader* header) override {
    return Checked(waveOutWrite(handle_, Native(header), sizeof(WAVEHDR)));
  }
  WaveResult unprepare(WaveHeader* header) override {
    return Checked(waveOutUnprepareHeader(handle_, Native(header), sizeof(WAVEHDR)));
  }
  void reset() override { waveOutReset(handle_); }
  WaveResult pause() override { return Checked(waveOutPause(handle_)); }
  WaveResult restart() override { return Checked(waveOutRestart(handle_)); }
  Result<WaveTime, WaveError> position(WaveTimeFormat format) override;

 private:
  HWAVEOUT handle_;
};

Result<WaveTime, WaveError> Win32WaveDevice::position(WaveTimeFormat format) {
  MMTIME native = {};
  native.wType = static_cast<UINT>(format);
  if (WaveResult got = Checked(waveOutGetPosition(handle_, &native, sizeof native)); !got) {
    return got.failure();
  }
  // The device may answer in another format than the one asked for.
  WaveTime time{static_cast<WaveTimeFormat>(native.wType), 0};
  switch (native.wType) {
    case TIME_MS:
      time.value = native.u.ms;
      break;
    case TIME_SAMPLES:
      time.value = native.u.sample;
      break;
    case TIME_BYTES:
      time.value = native.u.cb;
      break;
    default:
      break;
  }
  return time;
}

}  // namespace

Result<WaveDevicePtr, WaveOpenError> OpenWaveDevice(const PcmFormat& format, WaveEvent* done) {
  HWAVEOUT handle = nullptr;
  switch (waveOutOpen(&handle, WAVE_MAPPER, reinterpret_cast<const WAVEFORMATEX*>(&format),
                      reinterpret_cast<DWORD_PTR>(done->native()), 0, CALLBACK_EVENT)) {
    case MMSYSERR_NOERROR:
      break;
    case MMSYSERR_NODRIVER:
    case MMSYSERR_BADDEVICEID:
    case MMSYSERR_ALLOCATED:  // another program holds the only one
      return WaveOpenError::kNoDevice;
    case WAVERR_BADFORMAT:
      return WaveOpenError::kFormatRefused;
    default:
      return WaveOpenError::kFailed;
  }
  auto* device = new (std::nothrow) Win32WaveDevice(handle);
  if (!device) {
    waveOutClose(handle);
    return WaveOpenError::kFailed;
  }
  return WaveDevicePtr(device);
}

}  // namespace kowaki
