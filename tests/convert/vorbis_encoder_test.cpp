// The Ogg Vorbis encoder: what it writes decodes to what it was given,
// pages flow while it works, and what it cannot do fails by kind.

#include "convert/vorbis_encoder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "tests/convert/pcm_test_util.h"
#include "tests/support/files.h"

namespace kowaki {
namespace {

using test::FailureOf;

struct Collected {
  std::string bytes;
  OggSink Sink() {
    return [this](std::span<const uint8_t> run) {
      bytes.append(reinterpret_cast<const char*>(run.data()), run.size());
      return true;
    };
  }
};

// `pcm` written in pieces of `piece` bytes, then finished.
std::string Encode(std::span<const uint8_t> pcm, size_t piece, const VorbisSetup& setup) {
  Collected out;
  Result<VorbisEncoder, VorbisError> encoder = VorbisEncoder::Open(setup, out.Sink());
  EXPECT_TRUE(encoder);
  if (!encoder) return {};
  for (size_t at = 0; at < pcm.size(); at += piece) {
    EXPECT_TRUE(encoder->Write(pcm.subspan(at, std::min(piece, pcm.size() - at))));
  }
  EXPECT_EQ(encoder->frames(), static_cast<int64_t>(pcm.size() / (2 * setup.channels)));
  EXPECT_TRUE(encoder->Finish());
  return out.bytes;
}

TEST(VorbisEncoderTest, DecodesToWhatItWasGivenHoweverTheWritesCome) {
  constexpr int kRate = 22050;
  constexpr size_t kFrames = 33075;  // 1.5 s
  const std::vector<int16_t> samples = test::Tones(kFrames, 2, kRate);
  const std::vector<uint8_t> pcm = test::Bytes(samples);
  const VorbisSetup setup{kRate, 2, 0.5f, 77, "test"};

  const std::string whole = Encode(pcm, pcm.size(), setup);
  const test::DecodedVorbis decoded = test::DecodeVorbis(whole);
  EXPECT_EQ(decoded.rate, kRate);
  EXPECT_EQ(decoded.channels, 2);
  EXPECT_EQ(decoded.nominal_bitrate, VorbisNominalBitrate(kRate, 2, 0.5f));
  ASSERT_EQ(decoded.samples.size(), samples.size());
  EXPECT_GT(test::SnrDb(samples, decoded.samples), 10.0);
  // Pieces of any whole number of frames give the same bytes.
  for (size_t piece : {4u, 3000u, 4096u, 8192u}) EXPECT_EQ(Encode(pcm, piece, setup), whole);
}

TEST(VorbisEncoderTest, HandsOutPagesAsTheyFill) {
  Collected out;
  Result<VorbisEncoder, VorbisError> encoder = VorbisEncoder::Open({8000, 1}, out.Sink());
  ASSERT_TRUE(encoder);
  const size_t headers = out.bytes.size();
  EXPECT_EQ(out.bytes.substr(0, 4), "OggS");
  const std::vector<uint8_t> pcm = test::Bytes(test::Noise(8000 * 10, 3));
  ASSERT_TRUE(encoder->Write(pcm));
  EXPECT_GT(out.bytes.size(), headers + 4096);  // pages before the end
  ASSERT_TRUE(encoder->Finish());
  EXPECT_EQ(FailureOf(encoder->Write(pcm)), VorbisError::kFinished);
  EXPECT_EQ(FailureOf(encoder->Finish()), VorbisError::kFinished);
  EXPECT_EQ(test::DecodeVorbis(out.bytes).samples.size(), 8000u * 10);
}

TEST(VorbisEncoderTest, FailsByKind) {
  const auto open = [](
                        VorbisSetup setup, OggSink sink = [](auto) { return true; }) {
    return FailureOf(VorbisEncoder::Open(setup, std::move(sink)));
  };
  EXPECT_EQ(open({44100, 2, kVorbisQualityMin}), std::nullopt);
  EXPECT_EQ(open({44100, 2, kVorbisQualityMax}), std::nullopt);
  for (float quality : {-0.11f, 1.01f, std::nanf("")}) {
    EXPECT_EQ(open({44100, 2, quality}), VorbisError::kQuality) << quality;
    EXPECT_EQ(VorbisNominalBitrate(44100, 2, quality), 0) << quality;
  }
  for (VorbisSetup setup : {VorbisSetup{0, 1}, VorbisSetup{44100, 0}, VorbisSetup{250000, 1},
                            VorbisSetup{44100, 256}}) {
    EXPECT_EQ(open(setup), VorbisError::kUnsupported) << setup.rate << " " << setup.channels;
  }
  EXPECT_EQ(open({44100, 2}, [](auto) { return false; }), VorbisError::kSink);

  // A sink that fails once the headers are out ends the stream.
  bool full = false;
  Result<VorbisEncoder, VorbisError> encoder =
      VorbisEncoder::Open({8000, 1}, [&full](auto) { return !full; });
  ASSERT_TRUE(encoder);
  full = true;
  const std::vector<uint8_t> pcm = test::Bytes(test::Noise(8000 * 10, 4));
  EXPECT_EQ(FailureOf(encoder->Write(pcm)), VorbisError::kSink);
  EXPECT_EQ(FailureOf(encoder->Write(pcm)), VorbisError::kFinished);
}

}  // namespace
}  // namespace kowaki
