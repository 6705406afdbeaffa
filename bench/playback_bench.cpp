// Playback: the CPU that playing costs while the device paces the
// decoding, against decoding the same entry alone (the goal: under 2% of
// one core); and the time from a stop request to silence, through the job
// while it decodes and while it drains, against one block of sound and
// one drain wait on the same device (the goal: no longer than that).
//
// Unless SDL_AUDIODRIVER names another, SDL's disk driver writing to
// /dev/null stands in for the sound card; it takes the sound at its pace.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "archive/archive_writer.h"
#include "archive/entry_vorbis.h"
#include "cli/terminal/terminal_window.h"
#include "jobs/playback_job.h"
#include "tools/synth.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kRate = 44100;
constexpr int kChannels = 2;
constexpr double kLongSeconds = 4.0;
constexpr double kShortSeconds = 0.5;  // fewer frames than the player's ring holds
constexpr int32_t kFrames = 2048;

void UseSoundCard() {
  if (!std::getenv("SDL_AUDIODRIVER")) {
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", "/dev/null", 1);
  }
}

// An archive of one entry of the synthetic voice, made once per run.
std::string Archive(double seconds) {
  const fs::path folder = fs::temp_directory_path() / "kowaki-playback-bench";
  fs::create_directories(folder);
  const std::string path = (folder / ("voice-" + std::to_string(seconds) + ".arc")).string();
  if (fs::exists(path)) return path;
  const auto pcm = kowaki::synth::Voice(kRate, kChannels, seconds, 200.0);
  kowaki::ArchiveWriter writer;
  if (!writer.AddBytes("voice", kowaki::synth::EncodeVorbis(pcm, kChannels, kRate)) ||
      !writer.Write(path)) {
    std::fprintf(stderr, "playback_bench: cannot write %s\n", path.c_str());
  }
  return path;
}

// The job's surroundings: the archive's one entry as the list's one row, selected.
struct Session {
  explicit Session(double seconds) {
    window.InsertRow(0, "voice", 0);
    window.list().rows()[0].selected = true;
    state.window = &window;
    state.index = kowaki::LoadArchiveIndex(Archive(seconds).c_str()).value_or(nullptr);
  }
  kowaki::cli::TerminalWindow window{false};
  kowaki::AppState state;
};

// The system's device, noting when it was reset: the sound stops there.
class TimedDevice : public kowaki::WaveDevice {
 public:
  TimedDevice(kowaki::WaveDevicePtr device, Clock::time_point* reset_at)
      : device_(std::move(device)), reset_at_(reset_at) {}
  kowaki::WaveResult prepare(kowaki::WaveHeader* header) override {
    return device_->prepare(header);
  }
  kowaki::WaveResult write(kowaki::WaveHeader* header) override { return device_->write(header); }
  kowaki::WaveResult unprepare(kowaki::WaveHeader* header) override {
    return device_->unprepare(header);
  }
  void reset() override {
    device_->reset();
    *reset_at_ = Clock::now();
  }
  kowaki::WaveResult pause() override { return device_->pause(); }
  kowaki::WaveResult restart() override { return device_->restart(); }
  kowaki::Result<kowaki::WaveTime, kowaki::WaveError> position(
      kowaki::WaveTimeFormat format) override {
    return device_->position(format);
  }

 private:
  kowaki::WaveDevicePtr device_;
  Clock::time_point* reset_at_;
};

kowaki::WaveOutput TimedOutput(Clock::time_point* reset_at) {
  kowaki::WaveOutput output;
  output.open = [reset_at](const kowaki::PcmFormat& format, kowaki::WaveEvent* done)
      -> kowaki::Result<kowaki::WaveDevicePtr, kowaki::WaveOpenError> {
    auto device = kowaki::OpenWaveDevice(format, done);
    if (!device) return device.failure();
    return kowaki::WaveDevicePtr(std::make_unique<TimedDevice>(std::move(*device), reset_at));
  };
  return output;
}

double CpuSeconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

double Milliseconds(Clock::duration duration) {
  return std::chrono::duration<double, std::milli>(duration).count();
}

// Decoding the entry alone, in the job's reads of 2048 frames; CPU time.
void PlaybackCpu_Baseline(benchmark::State& state) {
  const kowaki::ArchiveIndexPtr index =
      kowaki::LoadArchiveIndex(Archive(kLongSeconds).c_str()).value_or(nullptr);
  if (!index) return state.SkipWithError("no archive");
  std::vector<char> block(kFrames * kChannels * 2);
  for (auto _ : state) {
    const double start = CpuSeconds();
    OggVorbis_File vf;
    if (!kowaki::OpenEntryVorbis(index.get(), 0, &vf)) return state.SkipWithError("no entry");
    int bitstream = 0;
    int64_t bytes = 0;
    for (long n; (n = ov_read(&vf, block.data(), static_cast<int>(block.size()), 0, 2, 1,
                              &bitstream)) > 0;) {
      bytes += n;
    }
    ov_clear(&vf);
    benchmark::DoNotOptimize(bytes);
    state.SetIterationTime(CpuSeconds() - start);
  }
}
BENCHMARK(PlaybackCpu_Baseline)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(2);

// Playing the entry through the job at the device's pace; the process's
// CPU time, the device's own thread included.
void PlaybackCpu_Play(benchmark::State& state) {
  UseSoundCard();
  Session session(kLongSeconds);
  if (!session.state.index) return state.SkipWithError("no archive");
  double cpu = 0;
  for (auto _ : state) {
    const double start = CpuSeconds();
    session.state.running = 1;
    const kowaki::PlaybackResult result =
        kowaki::RunPlayback(&session.state, kowaki::PlaybackSetup{});
    if (result.played != 1) return state.SkipWithError("no sound device");
    const double spent = CpuSeconds() - start;
    cpu += spent;
    state.SetIterationTime(spent);
  }
  state.counters["cpu_percent"] =
      100.0 * cpu / (kLongSeconds * static_cast<double>(state.iterations()));
  state.counters["goal_cpu_percent"] = 2;
}
BENCHMARK(PlaybackCpu_Play)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(2);

// What a stop may take: one block of sound, timed as a write waiting for
// a buffer of a full ring, and one wait of the drain, on the same device.
void StopToSilence_Baseline(benchmark::State& state) {
  UseSoundCard();
  const kowaki::PcmFormat format = kowaki::MakePcmFormat(kRate, kChannels, 16);
  const std::vector<char> block(kFrames * format.block_align);
  const auto size = static_cast<uint32_t>(block.size());
  for (auto _ : state) {
    kowaki::WaveOutPlayerPtr player =
        kowaki::WaveOutPlayer::create(format, kFrames).value_or(nullptr);
    if (!player) return state.SkipWithError("no sound device");
    for (int i = 0; i < kowaki::WaveOutPlayer::kBuffers; ++i) player->write(block.data(), size);
    const Clock::time_point start = Clock::now();
    player->write(block.data(), size);
    player->drain(100);
    state.SetIterationTime(Milliseconds(Clock::now() - start) / 1000);
  }
}
BENCHMARK(StopToSilence_Baseline)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

// The stop button pressed `after` into the playback of `seconds`.
void StopThroughTheJob(benchmark::State& state, double seconds, std::chrono::milliseconds after) {
  UseSoundCard();
  Session session(seconds);
  if (!session.state.index) return state.SkipWithError("no archive");
  double worst = 0;
  for (auto _ : state) {
    Clock::time_point reset_at;
    kowaki::PlaybackSetup setup;
    setup.make_player = [&reset_at](const kowaki::PcmFormat& format, int32_t frames) {
      return kowaki::WaveOutPlayer::create(format, frames, TimedOutput(&reset_at));
    };
    kowaki::PlaybackResult result;
    kowaki::StartWorker(&session.state,
                        [&](kowaki::AppState* app) { result = kowaki::RunPlayback(app, setup); });
    std::this_thread::sleep_for(after);
    const Clock::time_point stop = Clock::now();
    session.state.running = 0;
    kowaki::JoinWorker(&session.state);
    if (result.played != 1) return state.SkipWithError("no sound device");
    const double ms = Milliseconds(reset_at - stop);
    worst = std::max(worst, ms);
    state.SetIterationTime(ms / 1000);
  }
  state.counters["worst_ms"] = worst;
  state.counters["goal_ratio"] = 1;
}

void StopToSilence_WhileDecoding(benchmark::State& state) {
  StopThroughTheJob(state, kLongSeconds, std::chrono::milliseconds(1000));
}
BENCHMARK(StopToSilence_WhileDecoding)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

void StopToSilence_WhileDraining(benchmark::State& state) {
  StopThroughTheJob(state, kShortSeconds, std::chrono::milliseconds(300));
}
BENCHMARK(StopToSilence_WhileDraining)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

}  // namespace
