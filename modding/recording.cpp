#include "modding/recording.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <optional>
#include <span>

#include "archive/archive_file.h"
#include "convert/pcm_converter.h"
#include "convert/vorbis_encoder.h"
#include "convert/wav_file.h"
#include "jobs/entry_decoder.h"
#include "text/catalogue.h"

namespace kowaki {

namespace {

// The serial of every recording's stream: the same recording gives the
// same bytes.
constexpr int32_t kRecordingSerial = 1;

std::string Shape(uint32_t rate, uint32_t channels) {
  if (channels == 1) return Say(Text::kShapeMono, static_cast<unsigned>(rate));
  return Say(Text::kShapeChannels, static_cast<unsigned>(rate), static_cast<unsigned>(channels));
}

// The words of each failure, built in one place each.
Failure CannotOpen(int error) { return {Say(Text::kRecordingCannotOpen), error}; }
Failure EntryNotVorbis(int error) { return {Say(Text::kRecordingEntryNotVorbis), error}; }
Failure UnreadableCodec(uint16_t tag) {
  return {Say(Text::kRecordingFormatTag, static_cast<unsigned>(tag))};
}
Failure Unreachable(const PcmFormat& from, const RecordingTarget& to) {
  return {Say(Text::kRecordingCannotConvert, Shape(from.samples_per_sec, from.channels),
              Shape(to.rate, to.channels))};
}
Failure BadQuality(float quality) {
  return {Say(Text::kRecordingQuality, double{kVorbisQualityMin}, double{kVorbisQualityMax},
              double{quality})};
}
Failure NotEncodable(const RecordingTarget& target) {
  return {Say(Text::kRecordingNotEncodable, Shape(target.rate, target.channels))};
}
Failure ConversionFailed() { return {Say(Text::kConversionFailed)}; }
Failure NoAudio() { return {Say(Text::kRecordingNoAudio)}; }

Failure EncoderFailure(VorbisError error, const RecordingTarget& target) {
  switch (error) {
    case VorbisError::kQuality:
      return BadQuality(target.quality);
    case VorbisError::kUnsupported:
      return NotEncodable(target);
    default:  // the sink is a string: only a fault of ours ends here
      return ConversionFailed();
  }
}

// The VBR quality, in hundredths, whose nominal bitrate is nearest
// `bitrate` (the lower of two as near); the default where there is no
// bitrate to match.
float QualityNearest(uint32_t rate, uint16_t channels, int64_t bitrate) {
  float best = kVorbisDefaultQuality;
  int64_t best_miss = std::numeric_limits<int64_t>::max();
  for (int step = -10; bitrate > 0 && step <= 100; ++step) {
    const float quality = static_cast<float>(step) / 100.0f;
    const int64_t nominal = VorbisNominalBitrate(static_cast<int32_t>(rate), channels, quality);
    const int64_t miss = std::abs(nominal - bitrate);
    if (nominal > 0 && miss < best_miss) {
      best = quality;
      best_miss = miss;
    }
  }
  return best;
}

// A converter from the recording's format to the target's 16-bit PCM.
// When none is, a chain that only decodes tells whether the recording's
// format is one we cannot read or the target one we cannot reach.
Result<PcmConverterPtr> ConverterFor(const WaveFormat& source, const RecordingTarget& target) {
  PcmConverterPtr converter = PcmConverter::create();
  if (!converter) return ConversionFailed();
  if (converter->setup(source, MakePcmFormat(target.rate, target.channels, 16))) return converter;
  const PcmFormat decoded = MakePcmFormat(source.samples_per_sec, source.channels, 16);
  if (!converter->setup(source, decoded)) return UnreadableCodec(source.format_tag);
  return Unreachable(source, target);
}

// The recording's audio, block by block, through the converter into the
// encoder, which is finished at its end.
Result<> Encode(WavBlockReader& blocks, PcmConverter& converter, VorbisEncoder& encoder) {
  for (;;) {
    const Result<std::span<const uint8_t>> block = blocks.Next();
    if (!block) return block.failure();
    const bool end = block->empty();
    const PcmResult converted =
        end ? converter.flush()
            : converter.put({block->data(), static_cast<int32_t>(block->size())});
    const Result<PcmSpan, PcmError> out = converter.get();
    if (!converted || !out) return ConversionFailed();
    if (!encoder.Write({out->data, static_cast<size_t>(out->length)}) ||
        (end && !encoder.Finish())) {
      return ConversionFailed();
    }
    if (end) return {};
  }
}

// A recording's file, open and read as far as its format.
class RecordingFile {
 public:
  Result<WavInfo> Open(const std::string& path) {
    archive_file::OpenError open_error;
    file_.emplace(archive_file::OpenShared(path.c_str(), &open_error));
    if (!*file_) return CannotOpen(open_error.system_error);
    const WavReadSome read_some = reader();
    return ReadWavInfo([&](uint64_t offset, std::span<uint8_t> out) {
      return read_some(offset, out) == static_cast<int64_t>(out.size());
    });
  }
  WavReadSome reader() const {
    return [fd = file_->fd()](uint64_t offset, std::span<uint8_t> out) {
      return archive_file::ReadAt(fd, offset, out.data(), out.size());
    };
  }

 private:
  std::optional<archive_file::Handle> file_;
};

Result<VorbisEncoder> OpenEncoder(const RecordingTarget& target, OggSink sink) {
  Result<VorbisEncoder, VorbisError> encoder = VorbisEncoder::Open(
      {static_cast<int32_t>(target.rate), target.channels, target.quality, kRecordingSerial},
      std::move(sink));
  if (!encoder) return EncoderFailure(encoder.failure(), target);
  return std::move(*encoder);
}

}  // namespace

RecordingTarget TargetForShape(const ClipShape& shape, std::optional<float> quality) {
  return {shape.rate, shape.channels,
          quality.value_or(QualityNearest(shape.rate, shape.channels, shape.bitrate))};
}

Result<RecordingTarget> TargetForEntry(const ArchiveIndex* index, int32_t entry,
                                       std::optional<float> quality) {
  errno = 0;
  const std::optional<ClipShape> shape = ShapeOfEntry(index, entry);
  if (!shape) return EntryNotVorbis(errno);
  return TargetForShape(*shape, quality);
}

Result<std::string> EncodeRecording(const std::string& wav_path, const RecordingTarget& target) {
  std::string ogg;
  Result<VorbisEncoder> encoder = OpenEncoder(target, [&ogg](std::span<const uint8_t> bytes) {
    ogg.append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    return true;
  });
  if (!encoder) return encoder.failure();
  RecordingFile file;
  const Result<WavInfo> info = file.Open(wav_path);
  if (!info) return info.failure();
  Result<PcmConverterPtr> converter = ConverterFor(info->format, target);
  if (!converter) return converter.failure();
  WavBlockReader blocks(*info, file.reader());
  if (Result<> encoded = Encode(blocks, **converter, *encoder); !encoded) return encoded.failure();
  if (encoder->frames() == 0) return NoAudio();
  return ogg;
}

Result<std::string> EncodeRecordingFor(const std::string& wav_path, const ArchiveIndex* index,
                                       int32_t entry, std::optional<float> quality) {
  const Result<RecordingTarget> target = TargetForEntry(index, entry, quality);
  if (!target) return target.failure();
  return EncodeRecording(wav_path, *target);
}

Result<ClipShape> CheckRecording(const std::string& wav_path, const RecordingTarget& target) {
  const Result<VorbisEncoder> encoder =
      OpenEncoder(target, [](std::span<const uint8_t>) { return true; });
  if (!encoder) return encoder.failure();
  RecordingFile file;
  const Result<WavInfo> info = file.Open(wav_path);
  if (!info) return info.failure();
  if (Result<PcmConverterPtr> converter = ConverterFor(info->format, target); !converter) {
    return converter.failure();
  }
  const WaveFormat& format = info->format;
  const bool counted = format.format_tag == kFormatPcm && info->data_size != kWavSizeUnknown;
  return ClipShape{format.samples_per_sec, format.channels,
                   counted ? int64_t{info->data_size / format.block_align} : 0, 0};
}

bool IsWavFile(const std::string& path) {
  const archive_file::Handle file(archive_file::OpenShared(path.c_str()));
  char head[12];
  return file && archive_file::ReadAt(file.fd(), 0, head, sizeof head) == sizeof head &&
         std::memcmp(head, "RIFF", 4) == 0 && std::memcmp(head + 8, "WAVE", 4) == 0;
}

}  // namespace kowaki
