#pragma once
// A wave device for tests, with the switchboard the test holds: devices
// opened through Output() report to it, and their buffers finish when the
// test says (or as soon as they are written, when it asks for that).

#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "audio/wave_out_player.h"

namespace kowaki::test {

// How the devices a SimulatedWaveOut opens behave.
struct SimulatedBehaviour {
  bool present = true;                                    // false: no device, every open fails
  bool takes_formats = true;                              // false: the device refuses every format
  bool finish_at_once = false;                            // a buffer is played as it is queued
  WaveTimeFormat time_format = WaveTimeFormat::kSamples;  // the positions' format
  int32_t refuse_prepares = 0;                            // so many of the next prepares fail
  int32_t refuse_writes = 0;                              // so many of the next writes fail
};

class SimulatedWaveOut {
 public:
  SimulatedWaveOut() = default;
  explicit SimulatedWaveOut(SimulatedBehaviour behaviour) : behaviour_(behaviour) {}

  // What a player needs to play here, with the real clock or `ticks`.
  WaveOutput Output();
  WaveOutput Output(std::function<uint32_t()> ticks);
  // The factory a playback job takes.
  std::function<Result<WaveOutPlayerPtr, WaveOpenError>(const PcmFormat&, int32_t)> Players();

  // The device's side: finishes the oldest queued buffer, as a device
  // does when it has played it. False when none is queued, or while the
  // device is paused.
  bool FinishOne();
  void FinishAll();

  // What happened so far.
  size_t Queued() { return Locked(queue_).size(); }
  std::vector<const WaveHeader*> Written() {
    return Locked(written_);
  }                                                 // every header queued, in order
  std::string Played() { return Locked(played_); }  // the bytes of every finished buffer, in order
  std::vector<PcmFormat> Opened() { return Locked(opened_); }  // the format of every device opened
  int32_t Resets() { return Locked(resets_); }
  int32_t Pauses() { return Locked(pauses_); }
  bool Paused() { return Locked(paused_); }  // held: no buffer finishes
  int32_t Closes() { return Locked(closes_); }
  bool Open() { return Locked(open_); }  // a device is open now

 private:
  class Device;
  friend class Device;
  template <typename T>
  T Locked(const T& member) {
    std::lock_guard<std::mutex> lock(mutex_);
    return member;
  }
  // The device's side of FinishOne, with the lock held; the event to signal.
  WaveEvent* Finish(WaveHeader* header);

  std::mutex mutex_;
  SimulatedBehaviour behaviour_;
  // The open device, one at a time, as a player per entry has it.
  bool open_ = false;
  PcmFormat format_{};
  WaveEvent* done_ = nullptr;
  std::deque<WaveHeader*> queue_;
  uint64_t played_bytes_ = 0;  // since the open
  std::vector<const WaveHeader*> written_;
  std::string played_;
  std::vector<PcmFormat> opened_;
  int32_t resets_ = 0;
  int32_t pauses_ = 0;
  bool paused_ = false;
  int32_t closes_ = 0;
};

// What reached a device that writes it to a file: every byte of `sound`,
// in order, with nothing but silence around them; also between them, as a
// device plays silence where the player fell behind, which a loaded machine
// makes happen.
void ExpectHeard(const std::string& heard, const std::string& sound);

}  // namespace kowaki::test
