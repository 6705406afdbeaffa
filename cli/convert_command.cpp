// kowaki-cli convert IN.wav OUT.wav [--rate N] [--channels 1|2] [--bits 8|16]:
// streams a PCM WAV file through a PcmConverter in 8192-byte blocks, as the
// export does, and writes a 44-byte-header PCM WAV file.

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "cli/args.h"
#include "cli/commands.h"
#include "cli/interrupt.h"
#include "cli/text_output.h"
#include "common/output_file.h"
#include "convert/pcm_converter.h"
#include "convert/wav_file.h"

namespace kowaki::cli {

namespace {

constexpr char kUsage[] =
    "usage: kowaki-cli convert IN.wav OUT.wav [--rate N] [--channels 1|2] [--bits 8|16]\n";
constexpr size_t kBlockBytes = 8192;
// The header's RIFF size is data + 36 in 32 bits.
constexpr uint64_t kMaxDataBytes = std::numeric_limits<uint32_t>::max() - 36;

int Fail(const std::string& message) {
  PrintText(stderr, "kowaki-cli convert: " + message + "\n");
  return kExitError;
}

std::string Describe(const PcmFormat& format) {
  return std::to_string(format.samples_per_sec) + " Hz, " + std::to_string(format.channels) +
         (format.channels == 1 ? " channel, " : " channels, ") +
         std::to_string(format.bits_per_sample) + " bits";
}

// Ctrl-C clears `running` while this lives; the handler must not outlive it.
struct InterruptScope {
  explicit InterruptScope(std::atomic<int32_t>* running) { InstallInterruptHandler(running); }
  ~InterruptScope() { InstallInterruptHandler(nullptr); }
  InterruptScope(const InterruptScope&) = delete;
  InterruptScope& operator=(const InterruptScope&) = delete;
};

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// Writes what the converter has pending; false when the file would
// outgrow a WAV header or the write fails.
bool Drain(PcmConverter& converter, OutputFile& output, uint64_t* written, std::string* error) {
  PcmSpan span;
  converter.get(&span);
  if (*written + static_cast<uint64_t>(span.length) > kMaxDataBytes) {
    *error = "the converted audio would exceed the 4 GiB a WAV file can hold";
    return false;
  }
  if (span.length > 0 && !output.Write(span.data, static_cast<size_t>(span.length))) {
    *error = PathForDisplay(output.path()) + ": " + std::strerror(errno);
    return false;
  }
  *written += static_cast<uint64_t>(span.length);
  return true;
}

}  // namespace

int RunConvert(Arguments args) {
  ParsedArgs parsed;
  std::string error;
  if (!parsed.Parse(args, {"rate", "channels", "bits"}, {}, &error))
    return Fail(error + "\n" + kUsage);
  if (parsed.positional().size() != 2)
    return Fail(std::string("give one input and one output file\n") + kUsage);
  // 0: keep the input's value.
  long long rate = 0;
  long long channels = 0;
  long long bits = 0;
  if (!parsed.Integer("rate", 1, std::numeric_limits<int32_t>::max(), 0, &rate, &error) ||
      !parsed.Integer("channels", 1, 2, 0, &channels, &error) ||
      !parsed.Integer("bits", 8, 16, 0, &bits, &error)) {
    return Fail(error);
  }
  if (bits != 0 && bits != 8 && bits != 16)
    return Fail("--bits takes 8 or 16, not " + std::to_string(bits));

  const std::string& in_path = parsed.positional()[0];
  const std::string& out_path = parsed.positional()[1];
  FilePtr input(std::fopen(in_path.c_str(), "rb"));
  if (!input) return Fail(PathForDisplay(in_path) + ": " + std::strerror(errno));
  std::FILE* in = input.get();
  const auto read_at = [in](uint64_t offset, std::span<uint8_t> out) {
    return kowaki::platform::Seek64(in, offset) &&
           std::fread(out.data(), 1, out.size(), in) == out.size();
  };
  WavInfo info;
  if (!ReadWavInfo(read_at, &info, &error)) return Fail(PathForDisplay(in_path) + ": " + error);

  const PcmFormat& source = info.format;
  const PcmFormat target =
      MakePcmFormat(rate ? static_cast<uint32_t>(rate) : source.samples_per_sec,
                    channels ? static_cast<uint16_t>(channels) : source.channels,
                    bits ? static_cast<uint16_t>(bits) : source.bits_per_sample);
  PcmConverterPtr converter = PcmConverter::create();
  if (!converter || !converter->setup(source, target)) {
    return Fail("cannot convert " + Describe(source) + " to " + Describe(target));
  }

  OutputFile output;
  if (!output.Open(out_path, &error)) return Fail(error);
  const auto placeholder = MakeWavHeader(target, 0);
  if (!output.Write(placeholder.data(), placeholder.size())) {
    return Fail(PathForDisplay(out_path) + ": " + std::strerror(errno));
  }

  // Whole frames per block, so no stage drops a partial one between blocks.
  const size_t block_size = kBlockBytes >= source.block_align
                                ? kBlockBytes / source.block_align * source.block_align
                                : source.block_align;
  std::vector<uint8_t> block(block_size);
  std::atomic<int32_t> running{1};
  const InterruptScope interrupts(&running);
  uint64_t left = info.data_size;
  uint64_t written = 0;
  if (!kowaki::platform::Seek64(in, info.data_offset))
    return Fail(PathForDisplay(in_path) + ": truncated file");
  while (left > 0) {
    if (!running.load()) {
      PrintText(stderr, "kowaki-cli convert: interrupted\n");
      return kExitInterrupted;
    }
    const size_t size = left < block_size ? static_cast<size_t>(left) : block_size;
    if (std::fread(block.data(), 1, size, in) != size) {
      return Fail(PathForDisplay(in_path) + ": truncated file: the audio data ends early");
    }
    left -= size;
    if (!converter->put({block.data(), static_cast<int32_t>(size)}))
      return Fail("the conversion failed");
    if (!Drain(*converter, output, &written, &error)) return Fail(error);
  }
  if (!converter->flush()) return Fail("the conversion failed");
  if (!Drain(*converter, output, &written, &error)) return Fail(error);

  const auto header = MakeWavHeader(target, static_cast<uint32_t>(written));
  if (!output.Seek(0) || !output.Write(header.data(), header.size())) {
    return Fail(PathForDisplay(out_path) + ": " + std::strerror(errno));
  }
  input.reset();  // OUT may be IN: let go of it before the rename
  if (!output.Commit(&error)) return Fail(error);
  return kExitOk;
}

}  // namespace kowaki::cli
