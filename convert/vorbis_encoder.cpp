#include "convert/vorbis_encoder.h"

#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <utility>

#include "convert/samples.h"

namespace kowaki {

namespace {

// Frames handed to the analysis at a time, as oggenc reads them. The
// encoded bytes depend on where the analysis' input is cut, so it is cut
// here, however the writes come.
constexpr size_t kChunkFrames = 1024;

bool Valid(float quality) { return quality >= kVorbisQualityMin && quality <= kVorbisQualityMax; }

// The frames of `pcm` into the analysis buffer's planes from frame `at`,
// as floats of -1 to 1.
void Deinterleave(const uint8_t* pcm, size_t frames, int32_t channels, size_t at, float** planes) {
  constexpr float kScale = 1.0f / 32768.0f;
  const auto stride = static_cast<size_t>(channels) * 2;
  for (int32_t c = 0; c < channels; ++c) {
    float* plane = planes[c] + at;
    const uint8_t* sample = pcm + 2 * static_cast<size_t>(c);
    for (size_t i = 0; i < frames; ++i) plane[i] = LoadSample(sample + i * stride) * kScale;
  }
}

}  // namespace

// libvorbis' structures, set up in this order and cleared in the reverse.
struct VorbisEncoder::State {
  vorbis_info info;
  vorbis_comment comment;
  vorbis_dsp_state dsp;
  vorbis_block block;
  ogg_stream_state stream;
  bool analysing = false;  // dsp, block and stream are set up

  State() {
    vorbis_info_init(&info);
    vorbis_comment_init(&comment);
  }
  ~State() {
    if (analysing) {
      ogg_stream_clear(&stream);
      vorbis_block_clear(&block);
      vorbis_dsp_clear(&dsp);
    }
    vorbis_comment_clear(&comment);
    vorbis_info_clear(&info);
  }
  State(const State&) = delete;
  State& operator=(const State&) = delete;

  // The analysis and the stream, with the header packets queued in it.
  void Start(const VorbisSetup& setup) {
    vorbis_comment_add_tag(&comment, "ENCODER", setup.encoder);
    vorbis_analysis_init(&dsp, &info);
    vorbis_block_init(&dsp, &block);
    ogg_stream_init(&stream, setup.serial);
    analysing = true;
    ogg_packet header, header_comment, header_code;
    vorbis_analysis_headerout(&dsp, &comment, &header, &header_comment, &header_code);
    ogg_stream_packetin(&stream, &header);
    ogg_stream_packetin(&stream, &header_comment);
    ogg_stream_packetin(&stream, &header_code);
  }

  // Hands every page that `next` (pageout or flush) gives to `sink`.
  template <typename Next>
  bool Pages(Next next, const OggSink& sink) {
    ogg_page page;
    while (next(&stream, &page)) {
      if (!sink({page.header, static_cast<size_t>(page.header_len)}) ||
          !sink({page.body, static_cast<size_t>(page.body_len)})) {
        return false;
      }
    }
    return true;
  }
};

Result<VorbisEncoder, VorbisError> VorbisEncoder::Open(const VorbisSetup& setup, OggSink sink) {
  if (!Valid(setup.quality)) return VorbisError::kQuality;
  auto state = std::make_unique<State>();
  if (setup.channels < 1 || setup.rate < 1 ||
      vorbis_encode_init_vbr(&state->info, setup.channels, setup.rate, setup.quality) != 0) {
    return VorbisError::kUnsupported;
  }
  state->Start(setup);
  // The headers have pages of their own: the audio starts on a new one.
  if (!state->Pages(ogg_stream_flush, sink)) return VorbisError::kSink;
  return VorbisEncoder(std::move(state), std::move(sink), setup.channels);
}

VorbisEncoder::VorbisEncoder(std::unique_ptr<State> state, OggSink sink, int32_t channels)
    : state_(std::move(state)), sink_(std::move(sink)), channels_(channels) {}
VorbisEncoder::VorbisEncoder(VorbisEncoder&&) noexcept = default;
VorbisEncoder& VorbisEncoder::operator=(VorbisEncoder&&) noexcept = default;
VorbisEncoder::~VorbisEncoder() = default;

VorbisResult VorbisEncoder::Write(std::span<const uint8_t> pcm) {
  if (finished_) return VorbisError::kFinished;
  const size_t frame_bytes = 2 * static_cast<size_t>(channels_);
  const size_t frames = pcm.size() / frame_bytes;
  for (size_t at = 0; at < frames;) {
    const size_t n = std::min(kChunkFrames - held_, frames - at);
    float** planes = vorbis_analysis_buffer(&state_->dsp, static_cast<int>(kChunkFrames));
    Deinterleave(pcm.data() + at * frame_bytes, n, channels_, held_, planes);
    at += n;
    held_ += n;
    frames_ += static_cast<int64_t>(n);
    if (held_ < kChunkFrames) break;
    vorbis_analysis_wrote(&state_->dsp, static_cast<int>(held_));
    held_ = 0;
    if (VorbisResult drained = Drain(); !drained) return drained;
  }
  return {};
}

VorbisResult VorbisEncoder::Finish() {
  if (finished_) return VorbisError::kFinished;
  if (held_ > 0) vorbis_analysis_wrote(&state_->dsp, static_cast<int>(held_));
  held_ = 0;
  vorbis_analysis_wrote(&state_->dsp, 0);
  if (VorbisResult drained = Drain(); !drained) return drained;
  finished_ = true;
  if (!state_->Pages(ogg_stream_flush, sink_)) return VorbisError::kSink;
  return {};
}

// Encodes every block the analysis has ready and hands out full pages.
VorbisResult VorbisEncoder::Drain() {
  State& s = *state_;
  while (vorbis_analysis_blockout(&s.dsp, &s.block) == 1) {
    vorbis_analysis(&s.block, nullptr);
    vorbis_bitrate_addblock(&s.block);
    ogg_packet packet;
    while (vorbis_bitrate_flushpacket(&s.dsp, &packet)) {
      ogg_stream_packetin(&s.stream, &packet);
      if (!s.Pages(ogg_stream_pageout, sink_)) {
        finished_ = true;  // a stream with a page missing is no stream
        return VorbisError::kSink;
      }
    }
  }
  return {};
}

int64_t VorbisNominalBitrate(int32_t rate, int32_t channels, float quality) {
  if (!Valid(quality) || rate < 1 || channels < 1) return 0;
  vorbis_info info;
  vorbis_info_init(&info);
  // The set-up's last step fills in the header's figures.
  int64_t bitrate = 0;
  if (vorbis_encode_setup_vbr(&info, channels, rate, quality) == 0 &&
      vorbis_encode_setup_init(&info) == 0) {
    bitrate = std::max<int64_t>(info.bitrate_nominal, 0);
  }
  vorbis_info_clear(&info);
  return bitrate;
}

}  // namespace kowaki
