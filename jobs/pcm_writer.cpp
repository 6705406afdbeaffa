#include "jobs/pcm_writer.h"

#include <algorithm>
#include <array>
#include <optional>

#include "common/little_endian.h"
#include "convert/flac_encoder.h"

namespace kowaki {

namespace {

class WavWriter : public PcmWriter {
 public:
  WavWriter(ExportFile& file, const PcmFormat& format) : PcmWriter(file), format_(format) {}

  bool Start() {
    const auto header = MakeWavHeader(format_, file_.IsStream() ? kWavSizeUnknown : 0);
    return file_.Write(header.data(), header.size());
  }
  bool Write(std::span<const uint8_t> pcm) override {
    if (!file_.Write(pcm.data(), pcm.size())) return false;
    bytes_ += pcm.size();
    return true;
  }
  bool CutBack(uint64_t pcm_bytes) override {
    if (!file_.CutBack(kWavHeaderSize + pcm_bytes)) return false;
    bytes_ = pcm_bytes;
    return true;
  }
  // The cue chunks follow the data; the header counts them.
  bool Finish(std::span<const CuePoint> cues) override {
    auto header = MakeWavHeader(format_, static_cast<uint32_t>(bytes_));
    if (!cues.empty() && !file_.IsStream()) {
      const std::vector<uint8_t> chunks = MakeCueChunks(cues);
      if (!file_.Write(chunks.data(), chunks.size())) {
        file_.Discard();
        return false;
      }
      WriteLe32(&header[4], ReadLe32(&header[4]) + static_cast<uint32_t>(chunks.size()));
    }
    return file_.Finish(header);
  }

 private:
  PcmFormat format_;
};

class FlacWriter : public PcmWriter {
 public:
  FlacWriter(ExportFile& file, const PcmFormat& format) : PcmWriter(file), format_(format) {}

  bool Start(const PcmFileSetup& setup) {
    // A stream keeps its first metadata: no room for a cue sheet there.
    FlacSetup flac{
        .rate = static_cast<int32_t>(format_.samples_per_sec),
        .channels = format_.channels,
        .tags = {},
        .cue_tracks = file_.IsStream() ? 0 : std::min(setup.cue_tracks, kFlacMaxCueTracks),
        .level = setup.flac_level};
    for (const auto& tag : setup.tags) {
      if (!tag.second.empty()) flac.tags.push_back(tag);
    }
    cue_room_ = static_cast<size_t>(flac.cue_tracks);
    auto opened = FlacEncoder::Open(flac, [this](std::span<const uint8_t> bytes) {
      return file_.Write(bytes.data(), bytes.size());
    });
    if (!opened) return false;
    encoder_.emplace(std::move(*opened));
    return true;
  }
  bool Write(std::span<const uint8_t> pcm) override {
    if (!encoder_->Write(pcm)) return false;
    bytes_ += pcm.size();
    return true;
  }
  // Nothing taken since: nothing to cut.
  bool CutBack(uint64_t pcm_bytes) override { return pcm_bytes == bytes_; }
  bool Finish(std::span<const CuePoint> cues) override {
    std::vector<uint64_t> starts;
    for (const CuePoint& cue : cues.first(std::min(cues.size(), cue_room_))) {
      starts.push_back(cue.frame);
    }
    const auto metadata = encoder_->Finish(starts);
    if (!metadata) {
      file_.Discard();
      return false;
    }
    return file_.Finish(*metadata);
  }

 private:
  PcmFormat format_;
  size_t cue_room_ = 0;
  std::optional<FlacEncoder> encoder_;
};

}  // namespace

std::unique_ptr<PcmWriter> StartPcmFile(ExportFile& file, const PcmFileSetup& setup) {
  if (setup.kind == OutputKind::kFlac) {
    auto writer = std::make_unique<FlacWriter>(file, setup.format);
    return writer->Start(setup) ? std::move(writer) : nullptr;
  }
  auto writer = std::make_unique<WavWriter>(file, setup.format);
  return writer->Start() ? std::move(writer) : nullptr;
}

bool WriteSilence(PcmWriter& writer, uint64_t bytes) {
  static constexpr std::array<uint8_t, 8192> kZeros{};
  while (bytes > 0) {
    const auto now = static_cast<size_t>(std::min<uint64_t>(bytes, kZeros.size()));
    if (!writer.Write({kZeros.data(), now})) return false;
    bytes -= now;
  }
  return true;
}

}  // namespace kowaki
