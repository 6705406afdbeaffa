// The FLAC encoder against libFLAC's decoder: the same samples back, the
// metadata rewritten over the start in the same length, and its failures.

#include "convert/flac_encoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "tests/convert/flac_test_util.h"

namespace kowaki::test {
namespace {

// Frames of a tone with a little noise (so that no predictor is exact),
// each channel at its own pitch.
std::string Tone(int32_t rate, int32_t channels, int32_t frames) {
  std::string pcm;
  uint32_t noise = 1;
  for (int32_t i = 0; i < frames; ++i) {
    for (int32_t c = 0; c < channels; ++c) {
      noise = noise * 1664525u + 1013904223u;
      const double tone = 12000 * std::sin(2 * 3.14159265 * 220 * (c + 1) * i / rate);
      uint8_t sample[2];
      StoreSample(sample, static_cast<int32_t>(tone) + static_cast<int32_t>(noise >> 24) - 128);
      pcm.append(reinterpret_cast<const char*>(sample), 2);
    }
  }
  return pcm;
}

// A file as the export keeps one: the stream, then the final metadata
// written over its start.
struct Encoded {
  std::string file;
  size_t first_metadata = 0;
};

Encoded Encode(const FlacSetup& setup, const std::string& pcm, size_t piece,
               std::span<const uint64_t> starts = {}) {
  Encoded out;
  auto encoder = FlacEncoder::Open(setup, [&](std::span<const uint8_t> bytes) {
    out.file.append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    return true;
  });
  EXPECT_TRUE(encoder);
  if (!encoder) return out;
  out.first_metadata = out.file.size();
  const auto* bytes = reinterpret_cast<const uint8_t*>(pcm.data());
  for (size_t at = 0; at < pcm.size(); at += piece) {
    EXPECT_TRUE(encoder->Write({bytes + at, std::min(piece, pcm.size() - at)}));
  }
  const auto metadata = encoder->Finish(starts);
  EXPECT_TRUE(metadata);
  if (!metadata) return out;
  EXPECT_EQ(metadata->size(), out.first_metadata);
  out.file.replace(0, metadata->size(), reinterpret_cast<const char*>(metadata->data()),
                   metadata->size());
  return out;
}

// Pieces that split frames and samples alike, one byte at a time too.
TEST(FlacEncoderTest, DecodesToTheSamplesWrittenWhateverTheirPieces) {
  const struct {
    int32_t rate, channels, frames;
    size_t piece;
  } cases[] = {{8000, 1, 3001, 1}, {44100, 2, 20000, 4099}, {48000, 4, 9000, 8192}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.channels);
    const std::string pcm = Tone(c.rate, c.channels, c.frames);
    const FlacSetup setup{c.rate, c.channels, {{"TITLE", "あ v_01"}, {"TRACKNUMBER", "7"}}, 0};
    const DecodedFlac decoded = DecodeFlac(Encode(setup, pcm, c.piece).file);
    EXPECT_TRUE(decoded.ok);  // the MD5 too
    EXPECT_EQ(decoded.rate, static_cast<uint32_t>(c.rate));
    EXPECT_EQ(decoded.channels, static_cast<uint32_t>(c.channels));
    EXPECT_EQ(decoded.total_frames, static_cast<uint64_t>(c.frames));
    EXPECT_TRUE(decoded.pcm == pcm);
    EXPECT_EQ(decoded.comments, (std::vector<std::string>{"TITLE=あ v_01", "TRACKNUMBER=7"}));
    EXPECT_FALSE(decoded.has_cue_sheet);
  }
}

// Surround comes in Vorbis's channel order and is stored in FLAC's, each
// channel's samples unchanged.
TEST(FlacEncoderTest, SurroundIsStoredInFlacsChannelOrder) {
  const struct {
    std::vector<std::string> vorbis, flac;
  } layouts[] = {
      {{"L", "C", "R"}, {"L", "R", "C"}},
      {{"FL", "C", "FR", "BL", "BR"}, {"FL", "FR", "C", "BL", "BR"}},
      {{"FL", "C", "FR", "BL", "BR", "LFE"}, {"FL", "FR", "C", "LFE", "BL", "BR"}},
      {{"FL", "C", "FR", "SL", "SR", "BC", "LFE"}, {"FL", "FR", "C", "LFE", "BC", "SL", "SR"}},
      {{"FL", "C", "FR", "SL", "SR", "BL", "BR", "LFE"},
       {"FL", "FR", "C", "LFE", "BL", "BR", "SL", "SR"}},
  };
  for (const auto& layout : layouts) {
    const auto channels = static_cast<int32_t>(layout.vorbis.size());
    SCOPED_TRACE(channels);
    const std::string pcm = Tone(44100, channels, 5000);
    const DecodedFlac decoded = DecodeFlac(Encode({44100, channels, {}, 0}, pcm, 4096).file);
    EXPECT_TRUE(decoded.ok);
    ASSERT_EQ(decoded.pcm.size(), pcm.size());
    for (int32_t c = 0; c < channels; ++c) {
      const auto role = std::find(layout.vorbis.begin(), layout.vorbis.end(), layout.flac[c]);
      const auto from = static_cast<size_t>(role - layout.vorbis.begin());
      for (size_t at = 0; at < pcm.size(); at += 2 * static_cast<size_t>(channels)) {
        ASSERT_EQ(decoded.pcm.substr(at + 2 * c, 2), pcm.substr(at + 2 * from, 2))
            << layout.flac[c] << " at byte " << at;
      }
    }
  }
}

// Room for five tracks: three fill part of it (padding the rest), five
// all of it, none leaves it padding; the lead-out is at the end.
TEST(FlacEncoderTest, ACueSheetTakesTheRoomKeptForIt) {
  const std::string pcm = Tone(22050, 1, 10000);
  const FlacSetup setup{22050, 1, {}, 5};
  const uint64_t starts[] = {0, 1000, 2500, 7000, 9999};
  for (size_t tracks : {size_t{0}, size_t{3}, size_t{5}}) {
    SCOPED_TRACE(tracks);
    const DecodedFlac decoded =
        DecodeFlac(Encode(setup, pcm, 777, std::span(starts).first(tracks)).file);
    EXPECT_TRUE(decoded.ok);
    EXPECT_TRUE(decoded.pcm == pcm);
    EXPECT_EQ(decoded.has_cue_sheet, tracks > 0);
    if (tracks == 0) continue;
    std::vector<uint64_t> offsets(starts, starts + tracks);
    offsets.push_back(10000);
    EXPECT_EQ(decoded.track_offsets, offsets);
    EXPECT_EQ(decoded.track_numbers.back(), 255u);
    EXPECT_EQ(decoded.track_numbers.front(), 1u);
    EXPECT_FALSE(decoded.cue_sheet_is_cd);
  }
}

TEST(FlacEncoderTest, FailuresSayWhich) {
  const auto refusing = [](std::span<const uint8_t>) { return false; };
  const auto taking = [](std::span<const uint8_t>) { return true; };
  EXPECT_EQ(FlacEncoder::Open({22050, 1, {}, 0}, refusing).failure(), FlacError::kSink);
  EXPECT_EQ(FlacEncoder::Open({22050, 1, {}, kFlacMaxCueTracks + 1}, taking).failure(),
            FlacError::kCueSheet);
  EXPECT_EQ(FlacEncoder::Open({22050, 9, {}, 0}, taking).failure(), FlacError::kSetup);

  // The sink fills up once the frames flow.
  int calls = 0;
  auto encoder =
      FlacEncoder::Open({22050, 1, {}, 1}, [&](std::span<const uint8_t>) { return ++calls < 2; });
  ASSERT_TRUE(encoder);
  const std::string pcm = Tone(22050, 1, 20000);
  const auto* bytes = reinterpret_cast<const uint8_t*>(pcm.data());
  EXPECT_EQ(encoder->Write({bytes, pcm.size()}).failure(), FlacError::kSink);
  EXPECT_EQ(encoder->Write({bytes, 2}).failure(), FlacError::kFinished);

  auto finished = FlacEncoder::Open({22050, 1, {}, 1}, taking);
  ASSERT_TRUE(finished);
  const uint64_t two[] = {0, 5};
  EXPECT_EQ(finished->Finish(two).failure(), FlacError::kCueSheet);
  EXPECT_EQ(finished->Write({bytes, 2}).failure(), FlacError::kFinished);
}

}  // namespace
}  // namespace kowaki::test
