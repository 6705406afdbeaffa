#include "convert/flac_encoder.h"

#include <FLAC/format.h>
#include <FLAC/stream_encoder.h>

#include <algorithm>
#include <utility>

#include "convert/samples.h"

namespace kowaki {

namespace {

// Metadata block types.
constexpr uint8_t kStreamInfo = 0;
constexpr uint8_t kPadding = 1;
constexpr uint8_t kVorbisComment = 4;
constexpr uint8_t kCueSheet = 5;

// A cue sheet: catalogue number, lead-in, CD flag and reserved bytes, track
// count; then per track its offset, number, ISRC, flags and reserved bytes,
// index count, and 12 bytes per index point.
constexpr size_t kCueSheetHead = 128 + 8 + 259 + 1;
constexpr size_t kCueTrack = 8 + 1 + 12 + 14 + 1;
constexpr size_t kCueIndex = 8 + 1 + 3;
constexpr uint8_t kLeadOutTrack = 255;

constexpr size_t kFramesPerCall = 4096;

// Which channel of Vorbis's order each channel of FLAC's is, for 3 to 8
// channels (FLAC's: front left, right, centre, LFE, then the back and side
// surrounds; Vorbis's puts the centre between the fronts and the LFE last).
// Fewer channels, and four, are in the same order in both.
size_t VorbisChannel(size_t channels, size_t flac_channel) {
  static constexpr uint8_t kOrders[6][8] = {
      {0, 2, 1},                 // L R C
      {0, 1, 2, 3},              // FL FR BL BR
      {0, 2, 1, 3, 4},           // FL FR C BL BR
      {0, 2, 1, 5, 3, 4},        // FL FR C LFE BL BR
      {0, 2, 1, 6, 5, 3, 4},     // FL FR C LFE BC SL SR
      {0, 2, 1, 7, 5, 6, 3, 4},  // FL FR C LFE BL BR SL SR
  };
  return channels < 3 ? flac_channel : kOrders[channels - 3][flac_channel];
}

// One channel's samples, every `stride`th from `first`; mono's and
// stereo's strides are constants here, so that those loops are vectorised.
void Widen(const uint8_t* first, size_t stride, size_t count, FLAC__int32* run) {
  const auto widen = [=](size_t step) {
    for (size_t i = 0; i < count; ++i) run[i] = LoadSample(first + i * step);
  };
  if (stride == 2) return widen(2);
  if (stride == 4) return widen(4);
  widen(stride);
}

// One track per start, each with index point 1 at its start, and the lead-out.
size_t CueSheetSize(size_t tracks) {
  return kCueSheetHead + (tracks + 1) * kCueTrack + tracks * kCueIndex;
}

// Metadata integers are big-endian, the Vorbis comment's lengths little-endian.
void PutBe(std::vector<uint8_t>& out, uint64_t value, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void PutLe32(std::vector<uint8_t>& out, size_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void PutZeros(std::vector<uint8_t>& out, size_t count) { out.insert(out.end(), count, 0); }

void PutBlock(std::vector<uint8_t>& out, uint8_t type, std::span<const uint8_t> body, bool last) {
  out.push_back(static_cast<uint8_t>(type | (last ? 0x80 : 0)));
  PutBe(out, body.size(), 3);
  out.insert(out.end(), body.begin(), body.end());
}

std::vector<uint8_t> StreamInfoBody(const FLAC__StreamMetadata_StreamInfo& info) {
  std::vector<uint8_t> body;
  PutBe(body, info.min_blocksize, 2);
  PutBe(body, info.max_blocksize, 2);
  PutBe(body, info.min_framesize, 3);
  PutBe(body, info.max_framesize, 3);
  PutBe(body,
        uint64_t{info.sample_rate} << 44 | uint64_t{info.channels - 1} << 41 |
            uint64_t{info.bits_per_sample - 1} << 36 | (info.total_samples & 0xFFFFFFFFFull),
        8);
  body.insert(body.end(), std::begin(info.md5sum), std::end(info.md5sum));
  return body;
}

std::vector<uint8_t> VorbisCommentBody(const FlacSetup& setup) {
  std::vector<uint8_t> body;
  const std::string_view vendor = FLAC__VENDOR_STRING;
  PutLe32(body, vendor.size());
  body.insert(body.end(), vendor.begin(), vendor.end());
  PutLe32(body, setup.tags.size());
  for (const auto& [name, value] : setup.tags) {
    const std::string field = name + "=" + value;
    PutLe32(body, field.size());
    body.insert(body.end(), field.begin(), field.end());
  }
  return body;
}

// Not a CD's: no catalogue number, lead-in or ISRCs, audio tracks without
// pre-emphasis.
std::vector<uint8_t> CueSheetBody(std::span<const uint64_t> starts, uint64_t total) {
  std::vector<uint8_t> body;
  PutZeros(body, kCueSheetHead - 1);
  body.push_back(static_cast<uint8_t>(starts.size() + 1));
  for (size_t i = 0; i <= starts.size(); ++i) {
    const bool lead_out = i == starts.size();
    PutBe(body, lead_out ? total : starts[i], 8);
    body.push_back(lead_out ? kLeadOutTrack : static_cast<uint8_t>(i + 1));
    PutZeros(body, 12 + 14);
    body.push_back(lead_out ? 0 : 1);
    if (lead_out) break;
    PutZeros(body, 8);
    body.push_back(1);
    PutZeros(body, 3);
  }
  return body;
}

}  // namespace

struct FlacEncoder::State {
  struct EncoderDeleter {
    void operator()(FLAC__StreamEncoder* handle) const { FLAC__stream_encoder_delete(handle); }
  };

  FlacSink sink;
  std::vector<uint8_t> comment;
  size_t cue_room = 0;
  FLAC__StreamMetadata_StreamInfo info{};  // as set up; the final one once finished
  int32_t channels = 0;
  uint64_t frames = 0;
  bool passing = false;  // frames go to the sink; libFLAC's own metadata does not
  bool sink_failed = false;
  bool ended = false;  // finished or failed: no more audio
  std::vector<FLAC__int32> samples;
  std::vector<uint8_t> partial;  // the start of a frame the last write split
  // Last, so that it goes first: deleting an unfinished encoder finishes it.
  std::unique_ptr<FLAC__StreamEncoder, EncoderDeleter> encoder;

  // Our metadata: STREAMINFO, the Vorbis comment, and the room kept for a
  // cue sheet (padding until it holds one).
  std::vector<uint8_t> Metadata(std::span<const uint64_t> starts) const {
    std::vector<uint8_t> out = {'f', 'L', 'a', 'C'};
    PutBlock(out, kStreamInfo, StreamInfoBody(info), false);
    PutBlock(out, kVorbisComment, comment, cue_room == 0);
    if (cue_room == 0) return out;
    const size_t room = CueSheetSize(cue_room);
    if (starts.empty()) {
      PutBlock(out, kPadding, std::vector<uint8_t>(room), true);
      return out;
    }
    // Fewer tracks than room was kept for: padding takes the rest (at
    // least one track's bytes, more than a block header).
    const std::vector<uint8_t> cue = CueSheetBody(starts, frames);
    const size_t rest = room - cue.size();
    PutBlock(out, kCueSheet, cue, rest == 0);
    if (rest > 0) PutBlock(out, kPadding, std::vector<uint8_t>(rest - 4), true);
    return out;
  }

  // Whole frames to libFLAC, a share at a time, each channel in its own
  // run and in FLAC's order.
  bool Encode(std::span<const uint8_t> pcm) {
    const auto count = static_cast<size_t>(channels);
    const size_t stride = 2 * count;
    size_t left = pcm.size() / stride;
    const uint8_t* frame = pcm.data();
    samples.resize(kFramesPerCall * count);
    FLAC__int32* runs[FLAC__MAX_CHANNELS];
    for (size_t c = 0; c < count; ++c) runs[c] = samples.data() + c * kFramesPerCall;
    while (left > 0) {
      const size_t now = std::min(left, kFramesPerCall);
      for (size_t c = 0; c < count; ++c) {
        Widen(frame + 2 * VorbisChannel(count, c), stride, now, runs[c]);
      }
      if (!FLAC__stream_encoder_process(encoder.get(), runs, static_cast<uint32_t>(now))) {
        return false;
      }
      frame += now * stride;
      frames += now;
      left -= now;
    }
    return true;
  }

  FlacError Failed() {
    ended = true;
    return sink_failed ? FlacError::kSink : FlacError::kEncoder;
  }

  static FLAC__StreamEncoderWriteStatus OnWrite(const FLAC__StreamEncoder*, const FLAC__byte data[],
                                                size_t size, uint32_t, uint32_t, void* client) {
    State& state = *static_cast<State*>(client);
    if (!state.passing || state.sink({data, size})) return FLAC__STREAM_ENCODER_WRITE_STATUS_OK;
    state.sink_failed = true;
    return FLAC__STREAM_ENCODER_WRITE_STATUS_FATAL_ERROR;
  }

  static void OnMetadata(const FLAC__StreamEncoder*, const FLAC__StreamMetadata* metadata,
                         void* client) {
    if (metadata->type == FLAC__METADATA_TYPE_STREAMINFO) {
      static_cast<State*>(client)->info = metadata->data.stream_info;
    }
  }
};

Result<FlacEncoder, FlacError> FlacEncoder::Open(const FlacSetup& setup, FlacSink sink) {
  if (setup.cue_tracks < 0 || setup.cue_tracks > kFlacMaxCueTracks) return FlacError::kCueSheet;
  auto state = std::make_unique<State>();
  state->encoder.reset(FLAC__stream_encoder_new());
  FLAC__StreamEncoder* encoder = state->encoder.get();
  if (!encoder || setup.rate <= 0 || setup.channels <= 0 || setup.level < 0 ||
      setup.level > kFlacMaxLevel ||
      !FLAC__stream_encoder_set_channels(encoder, static_cast<uint32_t>(setup.channels)) ||
      !FLAC__stream_encoder_set_bits_per_sample(encoder, 16) ||
      !FLAC__stream_encoder_set_sample_rate(encoder, static_cast<uint32_t>(setup.rate)) ||
      !FLAC__stream_encoder_set_compression_level(encoder, static_cast<uint32_t>(setup.level)) ||
      FLAC__stream_encoder_init_stream(encoder, State::OnWrite, nullptr, nullptr, State::OnMetadata,
                                       state.get()) != FLAC__STREAM_ENCODER_INIT_STATUS_OK) {
    return FlacError::kSetup;
  }
  FLAC__StreamMetadata_StreamInfo& info = state->info;
  info.min_blocksize = info.max_blocksize = FLAC__stream_encoder_get_blocksize(encoder);
  info.sample_rate = static_cast<uint32_t>(setup.rate);
  info.channels = static_cast<uint32_t>(setup.channels);
  info.bits_per_sample = 16;
  state->channels = setup.channels;
  state->comment = VorbisCommentBody(setup);
  state->cue_room = static_cast<size_t>(setup.cue_tracks);
  state->sink = std::move(sink);
  state->passing = true;
  if (!state->sink(state->Metadata({}))) return FlacError::kSink;
  return FlacEncoder(std::move(state));
}

FlacEncoder::FlacEncoder(std::unique_ptr<State> state) : state_(std::move(state)) {}
FlacEncoder::FlacEncoder(FlacEncoder&&) noexcept = default;
FlacEncoder& FlacEncoder::operator=(FlacEncoder&&) noexcept = default;

// An encoder given up on writes nothing more as it goes.
FlacEncoder::~FlacEncoder() {
  if (state_) state_->passing = false;
}

// A frame split between two writes is joined first.
FlacResult FlacEncoder::Write(std::span<const uint8_t> pcm) {
  State& state = *state_;
  if (state.ended) return FlacError::kFinished;
  const size_t frame_size = 2 * static_cast<size_t>(state.channels);
  if (!state.partial.empty()) {
    const size_t taken = std::min(pcm.size(), frame_size - state.partial.size());
    state.partial.insert(state.partial.end(), pcm.begin(), pcm.begin() + taken);
    pcm = pcm.subspan(taken);
    if (state.partial.size() < frame_size) return {};
    const std::vector<uint8_t> frame = std::move(state.partial);
    state.partial.clear();
    if (!state.Encode(frame)) return state.Failed();
  }
  const size_t whole = pcm.size() - pcm.size() % frame_size;
  if (!state.Encode(pcm.first(whole))) return state.Failed();
  state.partial.assign(pcm.begin() + whole, pcm.end());
  return {};
}

Result<std::vector<uint8_t>, FlacError> FlacEncoder::Finish(
    std::span<const uint64_t> track_starts) {
  State& state = *state_;
  if (state.ended) return FlacError::kFinished;
  if (!FLAC__stream_encoder_finish(state.encoder.get())) return state.Failed();
  state.ended = true;
  if (track_starts.size() > state.cue_room) return FlacError::kCueSheet;
  return state.Metadata(track_starts);
}

uint64_t FlacEncoder::frames() const { return state_->frames; }

}  // namespace kowaki
