#include "tests/audio/simulated_wave_out.h"

#include <gtest/gtest.h>

namespace kowaki::test {

class SimulatedWaveOut::Device : public WaveDevice {
 public:
  explicit Device(SimulatedWaveOut& board) : board_(board) {}
  ~Device() override;
  WaveResult prepare(WaveHeader* header) override;
  WaveResult write(WaveHeader* header) override;
  WaveResult unprepare(WaveHeader* header) override;
  void reset() override;
  WaveResult pause() override;
  WaveResult restart() override;
  Result<WaveTime, WaveError> position(WaveTimeFormat format) override;

 private:
  SimulatedWaveOut& board_;
};

SimulatedWaveOut::Device::~Device() {
  WaveEvent* done;
  {
    std::lock_guard<std::mutex> lock(board_.mutex_);
    board_.open_ = false;
    ++board_.closes_;
    done = board_.done_;
  }
  done->Set();
}

WaveResult SimulatedWaveOut::Device::prepare(WaveHeader* header) {
  std::lock_guard<std::mutex> lock(board_.mutex_);
  if (board_.behaviour_.refuse_prepares > 0) {
    --board_.behaviour_.refuse_prepares;
    return WaveError::kFailed;
  }
  SetHeaderFlags(*header, HeaderFlags(*header) | kHeaderPrepared);
  return {};
}

WaveResult SimulatedWaveOut::Device::write(WaveHeader* header) {
  WaveEvent* done = nullptr;
  {
    std::lock_guard<std::mutex> lock(board_.mutex_);
    const uint32_t flags = HeaderFlags(*header);
    if (!(flags & kHeaderPrepared)) return WaveError::kUnprepared;
    if (board_.behaviour_.refuse_writes > 0) {
      --board_.behaviour_.refuse_writes;
      return WaveError::kFailed;
    }
    SetHeaderFlags(*header, (flags & ~kHeaderDone) | kHeaderInQueue);
    board_.queue_.push_back(header);
    board_.written_.push_back(header);
    if (board_.behaviour_.finish_at_once && !board_.paused_) {
      board_.queue_.pop_back();
      done = board_.Finish(header);
    }
  }
  if (done) done->Set();
  return {};
}

WaveResult SimulatedWaveOut::Device::unprepare(WaveHeader* header) {
  std::lock_guard<std::mutex> lock(board_.mutex_);
  const uint32_t flags = HeaderFlags(*header);
  if (flags & kHeaderInQueue) return WaveError::kStillPlaying;
  SetHeaderFlags(*header, flags & ~kHeaderPrepared);
  return {};
}

void SimulatedWaveOut::Device::reset() {
  WaveEvent* done;
  {
    std::lock_guard<std::mutex> lock(board_.mutex_);
    for (WaveHeader* header : board_.queue_) {
      SetHeaderFlags(*header, (HeaderFlags(*header) & ~kHeaderInQueue) | kHeaderDone);
    }
    board_.queue_.clear();
    board_.played_bytes_ = 0;
    ++board_.resets_;
    done = board_.done_;
  }
  done->Set();
}

WaveResult SimulatedWaveOut::Device::pause() {
  std::lock_guard<std::mutex> lock(board_.mutex_);
  board_.paused_ = true;
  ++board_.pauses_;
  return {};
}

// Plays on; a device that finishes buffers at once finishes those held.
WaveResult SimulatedWaveOut::Device::restart() {
  bool finish;
  {
    std::lock_guard<std::mutex> lock(board_.mutex_);
    board_.paused_ = false;
    finish = board_.behaviour_.finish_at_once;
  }
  if (finish) board_.FinishAll();
  return {};
}

// In the format the test chose, whatever the player asks for.
Result<WaveTime, WaveError> SimulatedWaveOut::Device::position(WaveTimeFormat) {
  std::lock_guard<std::mutex> lock(board_.mutex_);
  const PcmFormat& format = board_.format_;
  const uint64_t bytes = board_.played_bytes_;
  const uint64_t frames = bytes / format.block_align;
  WaveTime time{board_.behaviour_.time_format, 0};
  switch (time.format) {
    case WaveTimeFormat::kSamples:
      time.value = static_cast<uint32_t>(frames);
      break;
    case WaveTimeFormat::kMilliseconds:
      time.value = static_cast<uint32_t>(frames * 1000 / format.samples_per_sec);
      break;
    case WaveTimeFormat::kBytes:
      time.value = static_cast<uint32_t>(bytes);
      break;
    default:
      time.value = 12345;
      break;
  }
  return time;
}

WaveOutput SimulatedWaveOut::Output() { return Output(TickCount); }

WaveOutput SimulatedWaveOut::Output(std::function<uint32_t()> ticks) {
  WaveOutput output;
  output.open = [this](const PcmFormat& format,
                       WaveEvent* done) -> Result<WaveDevicePtr, WaveOpenError> {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (!behaviour_.present || open_) return WaveOpenError::kNoDevice;
      if (!behaviour_.takes_formats) return WaveOpenError::kFormatRefused;
      open_ = true;
      format_ = format;
      done_ = done;
      played_bytes_ = 0;
      paused_ = false;
      opened_.push_back(format);
    }
    done->Set();  // opened
    return WaveDevicePtr(std::make_unique<Device>(*this));
  };
  output.ticks = std::move(ticks);
  return output;
}

std::function<Result<WaveOutPlayerPtr, WaveOpenError>(const PcmFormat&, int32_t)>
SimulatedWaveOut::Players() {
  return [this](const PcmFormat& format, int32_t frames) {
    return WaveOutPlayer::create(format, frames, Output());
  };
}

WaveEvent* SimulatedWaveOut::Finish(WaveHeader* header) {
  played_.append(reinterpret_cast<const char*>(header->data), header->buffer_length);
  played_bytes_ += header->buffer_length;
  SetHeaderFlags(*header, (HeaderFlags(*header) & ~kHeaderInQueue) | kHeaderDone);
  return done_;
}

bool SimulatedWaveOut::FinishOne() {
  WaveEvent* done;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (queue_.empty() || paused_) return false;
    WaveHeader* header = queue_.front();
    queue_.pop_front();
    done = Finish(header);
  }
  done->Set();
  return true;
}

void SimulatedWaveOut::FinishAll() {
  while (FinishOne()) {
  }
}

void ExpectHeard(const std::string& heard, const std::string& sound) {
  size_t matched = 0;
  for (size_t at = 0; at < heard.size(); ++at) {
    if (matched < sound.size() && heard[at] == sound[matched]) {
      ++matched;
    } else {
      ASSERT_EQ(heard[at], '\0') << "byte " << at << " of " << heard.size() << " heard, after "
                                 << matched << " of " << sound.size() << " expected";
    }
  }
  EXPECT_EQ(matched, sound.size()) << heard.size() << " bytes heard";
}

}  // namespace kowaki::test
