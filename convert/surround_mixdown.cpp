#include "convert/surround_mixdown.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <new>

#include "convert/byte_buffer.h"
#include "convert/samples.h"

namespace kowaki {

namespace {

enum Role { kLeft, kRight, kCentre, kSurroundLeft, kSurroundRight, kBackCentre, kLfe };

using Layout = std::array<Role, kMaxMixdownChannels>;

// By channel count, from 3. Rear and side pairs both count as surrounds.
constexpr Layout kWaveLayouts[] = {
    {kLeft, kRight, kCentre},
    {kLeft, kRight, kSurroundLeft, kSurroundRight},
    {kLeft, kRight, kCentre, kSurroundLeft, kSurroundRight},
    {kLeft, kRight, kCentre, kLfe, kSurroundLeft, kSurroundRight},
    {kLeft, kRight, kCentre, kLfe, kBackCentre, kSurroundLeft, kSurroundRight},
    {kLeft, kRight, kCentre, kLfe, kSurroundLeft, kSurroundRight, kSurroundLeft, kSurroundRight},
};
constexpr Layout kVorbisLayouts[] = {
    {kLeft, kCentre, kRight},
    {kLeft, kRight, kSurroundLeft, kSurroundRight},
    {kLeft, kCentre, kRight, kSurroundLeft, kSurroundRight},
    {kLeft, kCentre, kRight, kSurroundLeft, kSurroundRight, kLfe},
    {kLeft, kCentre, kRight, kSurroundLeft, kSurroundRight, kBackCentre, kLfe},
    {kLeft, kCentre, kRight, kSurroundLeft, kSurroundRight, kSurroundLeft, kSurroundRight, kLfe},
};

constexpr int kShift = 15;  // coefficients in 1/32768

// How much of a channel of `role` goes left and right, before scaling.
std::array<double, 2> Gains(Role role) {
  const double k = std::sqrt(0.5);
  switch (role) {
    case kLeft:
      return {1, 0};
    case kRight:
      return {0, 1};
    case kCentre:
      return {k, k};
    case kSurroundLeft:
      return {k, 0};
    case kSurroundRight:
      return {0, k};
    case kBackCentre:
      return {0.5, 0.5};
    case kLfe:
      break;
  }
  return {0, 0};
}

class MixdownStage final : public BufferedStage {
 public:
  MixdownStage(int32_t channels, const Layout& layout)
      : BufferedStage(ByteBuffer::Growth::kStep), channels_(channels) {
    double sums[2] = {0, 0};
    for (int32_t c = 0; c < channels; ++c) {
      const auto gains = Gains(layout[static_cast<size_t>(c)]);
      sums[0] += gains[0];
      sums[1] += gains[1];
    }
    const double scale = 1.0 / std::max(sums[0], sums[1]);
    for (int32_t c = 0; c < channels; ++c) {
      const auto gains = Gains(layout[static_cast<size_t>(c)]);
      for (int side = 0; side < 2; ++side) {
        coef_[static_cast<size_t>(c)][side] =
            static_cast<int32_t>(std::lround(gains[side] * scale * (1 << kShift)));
      }
    }
  }

  bool Allocate() { return out_.Allocate(); }

  PcmResult put(PcmSpan in) override {
    if (!IsReadable(in)) return PcmError::kUnreadable;
    const int32_t frames = in.length / (2 * channels_);
    uint8_t* out = out_.Reserve(int64_t{frames} * 4);
    if (!out) return PcmError::kNoMemory;
    for (int32_t f = 0; f < frames; ++f) {
      const uint8_t* frame = in.data + int64_t{f} * 2 * channels_;
      for (int side = 0; side < 2; ++side) {
        int64_t sum = 0;
        for (int32_t c = 0; c < channels_; ++c) {
          sum += int64_t{LoadSample(frame + 2 * c)} * coef_[static_cast<size_t>(c)][side];
        }
        const int64_t value = (sum + (1 << (kShift - 1))) >> kShift;
        StoreSample(out + f * 4 + side * 2,
                    static_cast<int32_t>(std::clamp<int64_t>(value, -32768, 32767)));
      }
    }
    out_.Commit(frames * 4);
    return {};
  }

  PcmResult flush() override { return {}; }

 private:
  int32_t channels_;
  std::array<std::array<int32_t, 2>, kMaxMixdownChannels> coef_{};
};

}  // namespace

PcmStagePtr new_mixdown_stage(int32_t channels, ChannelOrder order) {
  if (channels < 3 || channels > kMaxMixdownChannels) return nullptr;
  const Layout& layout =
      (order == ChannelOrder::kVorbis ? kVorbisLayouts : kWaveLayouts)[channels - 3];
  auto* stage = new (std::nothrow) MixdownStage(channels, layout);
  PcmStagePtr owned(stage);
  if (stage && !stage->Allocate()) owned.reset();
  return owned;
}

}  // namespace kowaki
