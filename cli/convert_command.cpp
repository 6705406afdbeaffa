// kowaki-cli convert IN.wav OUT.wav [--rate N] [--channels 1|2] [--bits 8|16]
//   [--codec pcm|ima-adpcm|ms-adpcm|mulaw|alaw]:
// streams a WAV file in 8192-byte blocks through a PcmConverter to PCM, as
// the export does, and for a codec output through a second one that
// encodes it. A codec input is decoded by the first. Writes PCM with the
// 44-byte header, a codec with its extra format bytes and a fact chunk.

#include <algorithm>
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
    "usage: kowaki-cli convert IN.wav OUT.wav [--rate N] [--channels 1|2] [--bits 8|16]\n"
    "                          [--codec pcm|ima-adpcm|ms-adpcm|mulaw|alaw]\n";
constexpr size_t kBlockBytes = 8192;

struct Codec {
  const char* option;
  uint16_t tag;
  const char* name;
};
constexpr Codec kCodecs[] = {
    {"pcm", kFormatPcm, "PCM"},
    {"ima-adpcm", kFormatImaAdpcm, "IMA ADPCM"},
    {"ms-adpcm", kFormatMsAdpcm, "Microsoft ADPCM"},
    {"mulaw", kFormatMulaw, "mu-law"},
    {"alaw", kFormatAlaw, "A-law"},
};

const Codec* CodecOfTag(uint16_t tag) {
  for (const Codec& codec : kCodecs) {
    if (codec.tag == tag) return &codec;
  }
  return nullptr;
}

int Fail(const std::string& message) {
  PrintText(stderr, "kowaki-cli convert: " + message + "\n");
  return kExitError;
}

std::string Describe(const PcmFormat& format) {
  const Codec* codec = CodecOfTag(format.format_tag);
  char tag[32];
  std::snprintf(tag, sizeof tag, "format tag 0x%04X", format.format_tag);
  std::string text =
      (codec ? codec->name : tag) + std::string(", ") + std::to_string(format.samples_per_sec) +
      " Hz, " + std::to_string(format.channels) + (format.channels == 1 ? " channel" : " channels");
  if (format.format_tag == kFormatPcm)
    text += ", " + std::to_string(format.bits_per_sample) + " bits";
  return text;
}

std::vector<uint8_t> Header(const WaveFormat& format, uint32_t data_size, uint32_t frames) {
  if (format.format_tag != kFormatPcm) return MakeCodecWavHeader(format, data_size, frames);
  const auto header = MakeWavHeader(format, data_size);
  return {header.begin(), header.end()};
}

// The frames `bytes` of a codec format hold: the samples per block (the
// first extra word of ADPCM) for each whole block, or a frame a block.
uint64_t FramesHeld(const WaveFormat& format, uint64_t bytes) {
  const uint64_t per_block = format.extra_size >= 2 ? ExtraWord(format, 0) : 1;
  return bytes / format.block_align * per_block;
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

// The input's audio converted to PCM and, for a codec output, encoded:
// one chain decodes or encodes but not both, and the fact chunk counts
// the frames that go into the encoder.
class Pipeline {
 public:
  // False when no chain can do it.
  bool Setup(const PcmFormat& source, const PcmFormat& pcm, const PcmFormat& target) {
    frame_bytes_ = pcm.block_align;
    to_pcm_ = PcmConverter::create();
    if (!to_pcm_ || !to_pcm_->setup(source, pcm)) return false;
    if (target.format_tag == kFormatPcm) return true;
    encoder_ = PcmConverter::create();
    return encoder_ && encoder_->setup(pcm, target);
  }

  // Runs `in` through, or at the end of the input flushes; `out` receives
  // the output, valid until the next call.
  bool Run(PcmSpan in, bool end, PcmSpan* out) {
    if (!(end ? to_pcm_->flush() : to_pcm_->put(in))) return false;
    to_pcm_->get(out);
    if (!encoder_) return true;
    frames_ += static_cast<uint64_t>(out->length) / frame_bytes_;
    if (!encoder_->put(*out) || (end && !encoder_->flush())) return false;
    encoder_->get(out);
    return true;
  }

  uint64_t frames() const { return frames_; }

 private:
  PcmConverterPtr to_pcm_;
  PcmConverterPtr encoder_;
  uint32_t frame_bytes_ = 0;
  uint64_t frames_ = 0;
};

// Writes `span`; false when the file would outgrow what its header can
// say or the write fails.
bool Write(PcmSpan span, uint64_t limit, OutputFile& output, uint64_t* written,
           std::string* error) {
  if (*written + static_cast<uint64_t>(span.length) > limit) {
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
  if (!parsed.Parse(args, {"rate", "channels", "bits", "codec"}, {}, &error))
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
  const Codec* codec = nullptr;
  if (const auto name = parsed.Value("codec")) {
    for (const Codec& known : kCodecs) {
      if (*name == known.option) codec = &known;
    }
    if (!codec) return Fail("--codec takes pcm, ima-adpcm, ms-adpcm, mulaw or alaw, not " + *name);
  }

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

  // Unless asked, the output keeps the input's codec when it is one we
  // write, else it is PCM.
  const PcmFormat& source = info.format;
  const bool source_pcm = source.format_tag == kFormatPcm;
  if (!codec) codec = CodecOfTag(source.format_tag);
  const uint16_t tag = codec ? codec->tag : kFormatPcm;
  if (tag != kFormatPcm && bits != 0)
    return Fail("--bits is for PCM output; " + std::string(codec->name) + " takes 16-bit samples");
  const PcmFormat pcm = MakePcmFormat(
      rate ? static_cast<uint32_t>(rate) : source.samples_per_sec,
      channels ? static_cast<uint16_t>(channels) : source.channels,
      bits ? static_cast<uint16_t>(bits) : (source_pcm ? source.bits_per_sample : uint16_t{16}));
  WaveFormat target{pcm};
  if (tag != kFormatPcm && !MakeCodecFormat(tag, pcm.samples_per_sec, pcm.channels, &target))
    return Fail(std::string(codec->name) + " holds one or two channels, not " +
                std::to_string(pcm.channels));
  Pipeline pipeline;
  if (!pipeline.Setup(source, pcm, target))
    return Fail("cannot convert " + Describe(source) + " to " + Describe(target));

  OutputFile output;
  if (!output.Open(out_path, &error)) return Fail(error);
  const auto placeholder = Header(target, 0, 0);
  if (!output.Write(placeholder.data(), placeholder.size())) {
    return Fail(PathForDisplay(out_path) + ": " + std::strerror(errno));
  }
  // The header's RIFF size counts the header and the data in 32 bits.
  const uint64_t limit = std::numeric_limits<uint32_t>::max() - (placeholder.size() - 8);

  // Whole frames (or codec blocks) per block, so no stage drops a partial
  // one between blocks.
  const size_t block_size = kBlockBytes >= source.block_align
                                ? kBlockBytes / source.block_align * source.block_align
                                : source.block_align;
  std::vector<uint8_t> block(block_size);
  std::atomic<int32_t> running{1};
  const InterruptScope interrupts(&running);
  uint64_t left = info.data_size;
  uint64_t written = 0;
  PcmSpan out;
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
    if (!pipeline.Run({block.data(), static_cast<int32_t>(size)}, false, &out))
      return Fail("the conversion failed");
    if (!Write(out, limit, output, &written, &error)) return Fail(error);
  }
  if (!pipeline.Run({}, true, &out)) return Fail("the conversion failed");
  if (!Write(out, limit, output, &written, &error)) return Fail(error);
  // An encoder may drop a last partial block (Wine's IMA ADPCM one does).
  const uint64_t frames = std::min(pipeline.frames(), FramesHeld(target, written));
  if (frames > std::numeric_limits<uint32_t>::max())
    return Fail("the converted audio has more frames than a WAV file can count");

  const auto header = Header(target, static_cast<uint32_t>(written), static_cast<uint32_t>(frames));
  if (!output.Seek(0) || !output.Write(header.data(), header.size())) {
    return Fail(PathForDisplay(out_path) + ": " + std::strerror(errno));
  }
  input.reset();  // OUT may be IN: let go of it before the rename
  if (!output.Commit(&error)) return Fail(error);
  return kExitOk;
}

}  // namespace kowaki::cli
