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
#include <string>
#include <vector>

#include "cli/arguments/args.h"
#include "cli/commands.h"
#include "cli/output/text_output.h"
#include "cli/terminal/input_file.h"
#include "cli/terminal/interrupt.h"
#include "cli/terminal/language.h"
#include "common/input_files.h"
#include "common/output_file.h"
#include "convert/pcm_converter.h"
#include "convert/wav_file.h"
#include "text/catalogue.h"

namespace kowaki::cli {

namespace {

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
  Complain(message);
  return kExitError;
}

std::string Describe(const PcmFormat& format) {
  const Codec* codec = CodecOfTag(format.format_tag);
  const std::string name = codec ? codec->name : Say(Text::kFormatTag, format.format_tag);
  std::string text =
      format.channels == 1
          ? Say(Text::kFormatOneChannel, name, format.samples_per_sec)
          : Say(Text::kFormatChannels, name, format.samples_per_sec, format.channels);
  if (format.format_tag == kFormatPcm) text += Say(Text::kFormatBits, format.bits_per_sample);
  return text;
}

// Where the usage is, after what is wrong with the arguments.
std::string SeeHelp() { return "\n" + Say(Text::kSeeHelp, "'kowaki-cli convert --help'"); }

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

// What went wrong with the file at `path`, after its name.
Failure OfFile(const std::string& path, const Failure& failure) {
  return Failure{PathForDisplay(path) + ": " + failure.text, failure.system_error};
}

// What the command line asks for.
struct Request {
  std::string in_path;
  std::string out_path;
  // 0: keep the input's value.
  long long rate = 0;
  long long channels = 0;
  long long bits = 0;
  const Codec* codec = nullptr;  // null: as the input, where we can
};

// The options with their values, past the grammar and the two paths.
Result<> ReadOptions(const ParsedArgs& parsed, Request* request) {
  const Result<long long> rate = parsed.Integer("rate", 1, std::numeric_limits<int32_t>::max(), 0);
  if (!rate) return rate.failure();
  const Result<long long> channels = parsed.Integer("channels", 1, 2, 0);
  if (!channels) return channels.failure();
  const Result<long long> bits = parsed.Integer("bits", 8, 16, 0);
  if (!bits) return bits.failure();
  if (*bits != 0 && *bits != 8 && *bits != 16) return Failure{Say(Text::kArgBitsTakes, *bits)};
  request->rate = *rate;
  request->channels = *channels;
  request->bits = *bits;
  if (const auto name = parsed.Value("codec")) {
    for (const Codec& known : kCodecs) {
      if (*name == known.option) request->codec = &known;
    }
    if (!request->codec) return Failure{Say(Text::kArgCodecTakes, *name)};
  }
  return {};
}

// Fails with the message to end with.
Result<Request> ParseRequest(Arguments args) {
  ParsedArgs parsed;
  if (const Result<> parsing = parsed.Parse(args, {"rate", "channels", "bits", "codec"}, {});
      !parsing) {
    return Failure{parsing.failure().text + SeeHelp()};
  }
  if (parsed.positional().size() != 2) return Failure{Say(Text::kArgGiveInAndOut) + SeeHelp()};
  Request request;
  request.in_path = parsed.positional()[0];
  request.out_path = parsed.positional()[1];
  if (const Result<> options = ReadOptions(parsed, &request); !options) return options.failure();
  return request;
}

// The input file, with where its audio lies.
struct Input {
  std::string path;
  platform::InputFilePtr file;
  WavInfo info;

  Result<> Open(const std::string& in_path) {
    path = in_path;
    Result<platform::InputFilePtr> opened = platform::OpenInputFile(path);
    if (!opened) return OfFile(path, opened.failure());
    file = std::move(*opened);
    const auto read_at = [this](uint64_t offset, std::span<uint8_t> out) {
      return ReadSome(offset, out) == static_cast<int64_t>(out.size());
    };
    const Result<WavInfo> read = ReadWavInfo(read_at);
    if (!read) return OfFile(path, read.failure());
    info = *read;
    return {};
  }

  // Up to `out.size()` bytes from `offset`, as WavBlockReader reads them.
  int64_t ReadSome(uint64_t offset, std::span<uint8_t> out) {
    std::FILE* in = file.get();
    if (!kowaki::platform::Seek64(in, offset)) return -1;
    const size_t got = std::fread(out.data(), 1, out.size(), in);
    return got < out.size() && std::ferror(in) ? -1 : static_cast<int64_t>(got);
  }
};

// The formats a conversion goes through: the input's, the PCM it becomes,
// and the output's. A codec's extra bytes follow it.
struct Formats {
  WaveFormat source;
  PcmFormat pcm;
  WaveFormat target;
};

// Unless asked, the output keeps the input's codec when it is one we
// write, else it is PCM.
Result<Formats> PlanFormats(const Request& request, const WaveFormat& source) {
  const Codec* codec = request.codec ? request.codec : CodecOfTag(source.format_tag);
  const uint16_t tag = codec ? codec->tag : kFormatPcm;
  if (tag != kFormatPcm && request.bits != 0) return Failure{Say(Text::kBitsForPcm, codec->name)};
  const bool source_pcm = source.format_tag == kFormatPcm;
  const uint32_t rate = request.rate ? static_cast<uint32_t>(request.rate) : source.samples_per_sec;
  const uint16_t channels =
      request.channels ? static_cast<uint16_t>(request.channels) : source.channels;
  const uint16_t bits = request.bits ? static_cast<uint16_t>(request.bits)
                                     : (source_pcm ? source.bits_per_sample : uint16_t{16});
  if (!PcmFormatFits(rate, channels, bits)) {
    return Failure{Say(Text::kFormatBeyondWav, channels, bits, rate)};
  }
  const PcmFormat pcm = MakePcmFormat(rate, channels, bits);
  Formats formats{.source = source, .pcm = pcm, .target = WaveFormat{pcm}};
  if (tag != kFormatPcm &&
      !MakeCodecFormat(tag, pcm.samples_per_sec, pcm.channels, &formats.target)) {
    return Failure{Say(Text::kCodecChannels, codec->name, pcm.channels)};
  }
  return formats;
}

// The input's audio converted to PCM and, for a codec output, encoded:
// one chain decodes or encodes but not both, and the fact chunk counts
// the frames that go into the encoder.
class Pipeline {
 public:
  // False when no chain can do it.
  bool Setup(const Formats& formats) {
    frame_bytes_ = formats.pcm.block_align;
    to_pcm_ = PcmConverter::create();
    if (!to_pcm_ || !to_pcm_->setup(formats.source, formats.pcm)) return false;
    if (formats.target.format_tag == kFormatPcm) return true;
    encoder_ = PcmConverter::create();
    return encoder_ && encoder_->setup(formats.pcm, formats.target);
  }

  // Runs `in` through; `out` receives the output, valid until the next call.
  bool Put(PcmSpan in, PcmSpan* out) {
    return to_pcm_->put(in) && Take(*to_pcm_, out) && Encode(false, out);
  }

  // At the end of the input: what the chains held back.
  bool Flush(PcmSpan* out) { return to_pcm_->flush() && Take(*to_pcm_, out) && Encode(true, out); }

  uint64_t frames() const { return frames_; }

 private:
  // Hands the PCM in `*out` to the encoder, if any, and its output back.
  bool Encode(bool end, PcmSpan* out) {
    if (!encoder_) return true;
    frames_ += static_cast<uint64_t>(out->length) / frame_bytes_;
    return encoder_->put(*out) && (!end || encoder_->flush()) && Take(*encoder_, out);
  }

  static bool Take(PcmConverter& converter, PcmSpan* out) {
    const Result<PcmSpan, PcmError> taken = converter.get();
    if (taken) *out = *taken;
    return static_cast<bool>(taken);
  }

  PcmConverterPtr to_pcm_;
  PcmConverterPtr encoder_;
  uint32_t frame_bytes_ = 0;
  uint64_t frames_ = 0;
};

// The output file. Its header comes first; a file that can seek back gets
// it again with the sizes at the end, while a stream must be given them
// from the start. One never opened only counts what it is given.
class Output {
 public:
  void SetFormat(const WaveFormat& format) {
    format_ = format;
    // The header's RIFF size counts the header, the data and its pad byte
    // in 32 bits.
    limit_ = std::numeric_limits<uint32_t>::max() - (Header(format, 0, 0).size() - 8) - 1;
  }

  Result<> Open(const std::string& path) { return file_.Open(path, OutputPlace::kNamed); }
  bool is_stream() const { return file_.is_stream(); }
  uint64_t written() const { return written_; }

  // Fails when the file would outgrow what its header can say or the
  // write fails.
  Result<> Write(PcmSpan span) {
    if (written_ + static_cast<uint64_t>(span.length) > limit_) {
      return Failure{Say(Text::kConvertedTooLarge)};
    }
    if (file_.is_open() && span.length > 0 &&
        !file_.Write(span.data, static_cast<size_t>(span.length))) {
      return WriteFailed();
    }
    written_ += static_cast<uint64_t>(span.length);
    return {};
  }

  // The header for `data_size` bytes and, in a codec, `frames` frames put
  // into its encoder, written where the file stands.
  Result<> WriteHeader(uint64_t data_size, uint64_t frames) {
    // An encoder may drop a last partial block (Wine's IMA ADPCM one does).
    frames = std::min(frames, FramesHeld(format_, data_size));
    if (frames > std::numeric_limits<uint32_t>::max()) {
      return Failure{Say(Text::kConvertedTooManyFrames)};
    }
    const auto header =
        Header(format_, static_cast<uint32_t>(data_size), static_cast<uint32_t>(frames));
    if (!file_.Write(header.data(), header.size())) return WriteFailed();
    return {};
  }

  // The pad byte that follows a data chunk of odd size.
  Result<> EndData() {
    constexpr char kPad = 0;
    if (written_ % 2 == 0 || !file_.is_open() || file_.Write(&kPad, 1)) return {};
    return WriteFailed();
  }

  // The header over the first one, for what was written.
  Result<> PatchHeader(uint64_t frames) {
    if (!file_.Seek(0)) return WriteFailed();
    return WriteHeader(written_, frames);
  }

  Result<> Commit() { return file_.Commit(); }

 private:
  Failure WriteFailed() const {
    const int error = errno;
    return Failure{PathForDisplay(file_.path()) + ": " + std::strerror(error), error};
  }

  OutputFile file_;
  WaveFormat format_{};
  uint64_t limit_ = 0;
  uint64_t written_ = 0;
};

enum class Converted { kDone, kInterrupted };

// The input's audio through the pipeline into the output, block by block.
// Between blocks it looks at `running`.
Result<Converted> ConvertAudio(Input& input, Pipeline& pipeline, Output& output,
                               const std::atomic<int32_t>& running) {
  WavBlockReader blocks(input.info, [&input](uint64_t offset, std::span<uint8_t> out) {
    return input.ReadSome(offset, out);
  });
  PcmSpan out;
  for (;;) {
    if (!running.load()) return Converted::kInterrupted;
    const Result<std::span<const uint8_t>> block = blocks.Next();
    if (!block) return OfFile(input.path, block.failure());
    if (block->empty()) break;
    if (!pipeline.Put({block->data(), static_cast<int32_t>(block->size())}, &out)) {
      return Failure{Say(Text::kConversionFailed)};
    }
    if (const Result<> written = output.Write(out); !written) return written.failure();
  }
  if (!pipeline.Flush(&out)) return Failure{Say(Text::kConversionFailed)};
  if (const Result<> written = output.Write(out); !written) return written.failure();
  return Converted::kDone;
}

// The audio through `pipeline` into `output` between its headers. A
// stream cannot be patched, so a first pass through a pipeline of its own,
// whose output is counted and not kept, finds the sizes it begins with.
Result<Converted> ConvertInto(Input& input, const Formats& formats, Pipeline& pipeline,
                              Output& output, const std::atomic<int32_t>& running) {
  output.SetFormat(formats.target);
  Output counted;
  counted.SetFormat(formats.target);
  Pipeline counting;
  if (output.is_stream()) {
    if (!counting.Setup(formats)) return Failure{Say(Text::kConversionFailed)};
    const Result<Converted> first = ConvertAudio(input, counting, counted, running);
    if (!first || *first != Converted::kDone) return first;
  }
  if (const Result<> header = output.WriteHeader(counted.written(), counting.frames()); !header) {
    return header.failure();
  }
  const Result<Converted> done = ConvertAudio(input, pipeline, output, running);
  if (!done || *done != Converted::kDone) return done;
  if (const Result<> ended = output.EndData(); !ended) return ended.failure();
  if (!output.is_stream()) {
    if (const Result<> patched = output.PatchHeader(pipeline.frames()); !patched) {
      return patched.failure();
    }
    return done;
  }
  if (output.written() == counted.written()) return done;
  return Failure{Say(Text::kChangedWhileConverting, PathForDisplay(input.path))};
}

// The output opened, then the input, and the formats between them planned.
// OUT before IN: were OUT IN, on Windows our own hold on IN would look
// like another program's, which keeps OUT from being replaced.
Result<Formats> Prepare(const Request& request, Output& output, Input& input) {
  if (const Result<> opened = output.Open(request.out_path); !opened) return opened.failure();
  if (const Result<> opened = input.Open(request.in_path); !opened) return opened.failure();
  return PlanFormats(request, input.info.format);
}

}  // namespace

int RunConvert(Arguments args) {
  const Result<Request> request = ParseRequest(args);
  if (!request) return Fail(request.failure().text);
  // OUT may replace IN whole, never be written in place over it.
  const InputMark in_mark = MarkInput(request->in_path, InputUse::kReplaced);
  Output output;
  Input input;
  const Result<Formats> formats = Prepare(*request, output, input);
  if (!formats) return Fail(formats.failure().text);
  Pipeline pipeline;
  if (!pipeline.Setup(*formats)) {
    return Fail(
        Say(Text::kCannotConvertFormat, Describe(formats->source), Describe(formats->target)));
  }

  std::atomic<int32_t> running{1};
  const InterruptScope interrupts(&running);
  const Result<Converted> converted = ConvertInto(input, *formats, pipeline, output, running);
  if (!converted) return Fail(converted.failure().text);
  if (*converted == Converted::kInterrupted) {
    Complain(Say(Text::kInterrupted));
    return kExitInterrupted;
  }
  input.file.reset();  // OUT may be IN: let go of it before the rename
  if (const Result<> committed = output.Commit(); !committed) return Fail(committed.failure().text);
  return kExitOk;
}

}  // namespace kowaki::cli
