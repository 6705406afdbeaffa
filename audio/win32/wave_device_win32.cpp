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
static_assert(kWaveStillPlaying == WAVERR_STILLPLAYING && kWaveUnprepared == WAVERR_UNPREPARED);
// The format's first 18 bytes are a WAVEFORMATEX; a codec's extra bytes follow them.
static_assert(sizeof(WAVEFORMATEX) == 18 && sizeof(PcmFormat) >= 18);

WAVEHDR* Native(WaveHeader* header) { return reinterpret_cast<WAVEHDR*>(header); }

class Win32WaveDevice : public WaveDevice {
 public:
  explicit Win32WaveDevice(HWAVEOUT handle) : handle_(handle) {}
  ~Win32WaveDevice() override { waveOutClose(handle_); }

  int32_t prepare(WaveHeader* header) override {
    return static_cast<int32_t>(waveOutPrepareHeader(handle_, Native(header), sizeof(WAVEHDR)));
  }
  int32_t write(WaveHeader* header) override {
    return static_cast<int32_t>(waveOutWrite(handle_, Native(header), sizeof(WAVEHDR)));
  }
  int32_t unprepare(WaveHeader* header) override {
    return static_cast<int32_t>(waveOutUnprepareHeader(handle_, Native(header), sizeof(WAVEHDR)));
  }
  void reset() override { waveOutReset(handle_); }
  int32_t position(WaveTime* time) override;

 private:
  HWAVEOUT handle_;
};

int32_t Win32WaveDevice::position(WaveTime* time) {
  MMTIME native = {};
  native.wType = static_cast<UINT>(time->format);
  const MMRESULT result = waveOutGetPosition(handle_, &native, sizeof native);
  if (result != MMSYSERR_NOERROR) return static_cast<int32_t>(result);
  // The device may answer in another format than the one asked for.
  time->format = static_cast<WaveTimeFormat>(native.wType);
  switch (native.wType) {
    case TIME_MS:
      time->value = native.u.ms;
      break;
    case TIME_SAMPLES:
      time->value = native.u.sample;
      break;
    case TIME_BYTES:
      time->value = native.u.cb;
      break;
    default:
      time->value = 0;
      break;
  }
  return kWaveOk;
}

}  // namespace

WaveDevicePtr OpenWaveDevice(const PcmFormat& format, WaveEvent* done) {
  HWAVEOUT handle = nullptr;
  if (waveOutOpen(&handle, WAVE_MAPPER, reinterpret_cast<const WAVEFORMATEX*>(&format),
                  reinterpret_cast<DWORD_PTR>(done->native()), 0,
                  CALLBACK_EVENT) != MMSYSERR_NOERROR) {
    return nullptr;
  }
  auto* device = new (std::nothrow) Win32WaveDevice(handle);
  if (!device) waveOutClose(handle);
  return WaveDevicePtr(device);
}

}  // namespace kowaki
