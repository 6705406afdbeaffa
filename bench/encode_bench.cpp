// A minute of a 44.1 kHz stereo recording encoded as Ogg Vorbis at quality
// 0.3: EncodeRecording (reading, converting, encoding, writing the file)
// against oggenc on the same WAV file at the same quality. Both run on one
// thread, so each is timed by the processor time it takes (oggenc's as a
// child's): on a machine shared with other work the wall clock measures
// the neighbours too.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/processor_time.h"
#include "convert/samples.h"
#include "convert/wav_file.h"
#include "modding/recording.h"
#include "tools/synth.h"

namespace {

namespace fs = std::filesystem;

constexpr int kRate = 44100;
constexpr int kChannels = 2;
constexpr double kSeconds = 60.0;
constexpr float kQuality = 0.3f;  // oggenc's -q 3

// A scratch folder with the recording, removed at exit.
struct Scratch {
  fs::path folder = fs::temp_directory_path() / ("kowaki-encode-bench-" + std::to_string(getpid()));
  std::string wav = (folder / "voice.wav").string();
  std::string ogg = (folder / "voice.ogg").string();

  Scratch() {
    fs::create_directories(folder);
    const std::vector<int16_t> voice = kowaki::synth::Voice(kRate, kChannels, kSeconds, 180.0);
    std::vector<uint8_t> data(voice.size() * 2);
    for (size_t i = 0; i < voice.size(); ++i) kowaki::StoreSample(&data[2 * i], voice[i]);
    const auto header = kowaki::MakeWavHeader(kowaki::MakePcmFormat(kRate, kChannels, 16),
                                              static_cast<uint32_t>(data.size()));
    std::ofstream out(wav, std::ios::binary);
    out.write(reinterpret_cast<const char*>(header.data()), header.size());
    out.write(reinterpret_cast<const char*>(data.data()),
              static_cast<std::streamsize>(data.size()));
  }
  ~Scratch() {
    std::error_code ignored;
    fs::remove_all(folder, ignored);
  }
};

using kowaki::bench::ProcessorSeconds;

const Scratch& Files() {
  static const Scratch scratch;
  return scratch;
}

void Encode_Baseline(benchmark::State& state) {
  if (std::system("oggenc --version > /dev/null 2>&1") != 0) {
    return state.SkipWithError("no oggenc here");
  }
  const Scratch& files = Files();
  const std::string run = "oggenc -Q -q " + std::to_string(kQuality * 10) + " -o '" + files.ogg +
                          "' '" + files.wav + "'";
  for (auto _ : state) {
    const double start = ProcessorSeconds(RUSAGE_CHILDREN);
    if (std::system(run.c_str()) != 0) return state.SkipWithError(("failed: " + run).c_str());
    state.SetIterationTime(ProcessorSeconds(RUSAGE_CHILDREN) - start);
  }
}
BENCHMARK(Encode_Baseline)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

void Encode_Recording(benchmark::State& state) {
  const Scratch& files = Files();
  for (auto _ : state) {
    const double start = ProcessorSeconds(RUSAGE_SELF);
    const kowaki::Result<std::string> ogg =
        kowaki::EncodeRecording(files.wav, {kRate, kChannels, kQuality});
    if (!ogg) return state.SkipWithError(ogg.failure().text.c_str());
    std::ofstream out(files.ogg, std::ios::binary);
    out.write(ogg->data(), static_cast<std::streamsize>(ogg->size()));
    out.close();
    state.SetIterationTime(ProcessorSeconds(RUSAGE_SELF) - start);
  }
  state.counters["goal_ratio"] = 1.1;
}
BENCHMARK(Encode_Recording)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

}  // namespace
