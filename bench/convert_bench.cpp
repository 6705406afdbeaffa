// The resampler's throughput in output frames per second, each pair against
// copying its input bytes; and the whole export chain, 44100 Hz stereo to
// 22050 Hz mono, against decoding the same audio from Ogg Vorbis.

#include <benchmark/benchmark.h>

#define OV_EXCLUDE_STATIC_CALLBACKS
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "convert/pcm_converter.h"
#include "convert/resampler.h"
#include "tools/synth.h"

namespace {

constexpr size_t kBlockBytes = 8192;  // what the export hands the converter

std::vector<uint8_t> VoiceBytes(int rate, int channels, double seconds) {
  const std::vector<int16_t> samples = kowaki::synth::Voice(rate, channels, seconds, 180.0);
  std::vector<uint8_t> bytes(samples.size() * 2);
  std::memcpy(bytes.data(), samples.data(), bytes.size());
  return bytes;
}

// One second of voice at the source rate; args: source, target, channels.
std::vector<uint8_t> ResampleInput(const benchmark::State& state) {
  return VoiceBytes(static_cast<int>(state.range(0)), static_cast<int>(state.range(2)), 1.0);
}

void Resample_Baseline(benchmark::State& state) {
  const std::vector<uint8_t> in = ResampleInput(state);
  std::vector<uint8_t> out(in.size());
  for (auto _ : state) {
    for (size_t at = 0; at < in.size(); at += kBlockBytes) {
      std::memcpy(out.data() + at, in.data() + at, std::min(kBlockBytes, in.size() - at));
    }
    benchmark::DoNotOptimize(out.data());
  }
}

void Resample_Stream(benchmark::State& state) {
  const auto source = static_cast<int32_t>(state.range(0));
  const auto target = static_cast<int32_t>(state.range(1));
  const auto channels = static_cast<int32_t>(state.range(2));
  const std::vector<uint8_t> in = ResampleInput(state);
  kowaki::PcmStagePtr stage = source < target ? kowaki::new_upsampler(source, target, channels)
                                              : kowaki::new_downsampler(source, target, channels);
  int64_t frames = 0;
  for (auto _ : state) {
    for (size_t at = 0; at < in.size(); at += kBlockBytes) {
      const auto size = static_cast<int32_t>(std::min(kBlockBytes, in.size() - at));
      if (!stage->put({in.data() + at, size})) return state.SkipWithError("the stage failed");
      frames += stage->get().length / (2 * channels);
    }
  }
  state.counters["frames_per_second"] =
      benchmark::Counter(static_cast<double>(frames), benchmark::Counter::kIsRate);
}

#define RESAMPLE_PAIRS \
  Args({44100, 22050, 1})->Args({48000, 44100, 2})->Args({22050, 44100, 1})->Args({11025, 48000, 2})
BENCHMARK(Resample_Baseline)->RESAMPLE_PAIRS;
BENCHMARK(Resample_Stream)->RESAMPLE_PAIRS;

// A three-second clip, as the export meets it: encoded once, decoded and
// converted per iteration.
constexpr double kClipSeconds = 3.0;

struct Clip {
  std::string ogg;
  std::vector<uint8_t> pcm;  // what decoding gives
};

struct MemoryFile {
  const std::string* bytes;
  size_t at;
};

size_t ReadMemory(void* to, size_t size, size_t count, void* source) {
  auto* file = static_cast<MemoryFile*>(source);
  const size_t n = std::min(size * count, file->bytes->size() - file->at);
  std::memcpy(to, file->bytes->data() + file->at, n);
  file->at += n;
  return size ? n / size : 0;
}

// Decodes the whole stream in export-sized reads; calls `take` per block.
template <typename Take>
bool Decode(const std::string& ogg, Take take) {
  MemoryFile file{&ogg, 0};
  OggVorbis_File vf;
  const ov_callbacks callbacks{ReadMemory, nullptr, nullptr, nullptr};
  if (ov_open_callbacks(&file, &vf, nullptr, 0, callbacks) != 0) return false;
  char block[kBlockBytes];
  int bitstream = 0;
  long n;
  while ((n = ov_read(&vf, block, sizeof block, 0, 2, 1, &bitstream)) > 0) {
    take(reinterpret_cast<const uint8_t*>(block), static_cast<int32_t>(n));
  }
  ov_clear(&vf);
  return n == 0;
}

const Clip& StereoClip() {
  static const Clip clip = [] {
    Clip c;
    const std::vector<uint8_t> voice = VoiceBytes(44100, 2, kClipSeconds);
    c.ogg = kowaki::synth::EncodeVorbis(
        {reinterpret_cast<const int16_t*>(voice.data()), voice.size() / 2}, 2, 44100);
    Decode(c.ogg, [&](const uint8_t* data, int32_t size) {
      c.pcm.insert(c.pcm.end(), data, data + size);
    });
    return c;
  }();
  return clip;
}

void Chain_Baseline(benchmark::State& state) {
  const Clip& clip = StereoClip();
  for (auto _ : state) {
    int64_t bytes = 0;
    if (!Decode(clip.ogg, [&](const uint8_t*, int32_t size) { bytes += size; })) {
      state.SkipWithError("the clip did not decode");
      break;
    }
    benchmark::DoNotOptimize(bytes);
  }
}
BENCHMARK(Chain_Baseline)->Unit(benchmark::kMicrosecond);

// Create, set up, convert in decoder-sized blocks, flush and destroy: the
// converter's whole share of an exported entry.
void Chain_Convert(benchmark::State& state) {
  const Clip& clip = StereoClip();
  const kowaki::PcmFormat source = kowaki::MakePcmFormat(44100, 2, 16);
  const kowaki::PcmFormat target = kowaki::MakePcmFormat(22050, 1, 16);
  for (auto _ : state) {
    kowaki::PcmConverterPtr converter = kowaki::PcmConverter::create();
    if (!converter || !converter->setup(source, target)) {
      state.SkipWithError("the converter did not set up");
      break;
    }
    for (size_t at = 0; at < clip.pcm.size(); at += kBlockBytes) {
      const auto size = static_cast<int32_t>(std::min(kBlockBytes, clip.pcm.size() - at));
      if (!converter->put({clip.pcm.data() + at, size})) return state.SkipWithError("put failed");
      benchmark::DoNotOptimize(converter->get()->data);
    }
    if (!converter->flush()) return state.SkipWithError("flush failed");
    benchmark::DoNotOptimize(converter->get()->data);
  }
  state.counters["goal_ratio"] = 0.10;
}
BENCHMARK(Chain_Convert)->Unit(benchmark::kMicrosecond);

}  // namespace
