// The codecs through the codec stage: our own (the POSIX system ACM), and
// the system's where it is another one (msacm32 on Windows), checked
// against our own.

#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "convert/acm_stage.h"
#include "convert/codecs/own_acm.h"
#include "tests/convert/codec_cases.h"
#include "tests/convert/pcm_test_util.h"

namespace kowaki {
namespace {

using test::Bytes;
using test::Samples;

using Codec = test::CodecCase;
using test::kCodecCases;

PcmFormat Pcm(int rate, int channels) {
  return MakePcmFormat(static_cast<uint32_t>(rate), static_cast<uint16_t>(channels), 16);
}

struct Case {
  Codec codec;
  int channels;
  int rate;

  WaveFormat coded() const {
    WaveFormat format;
    EXPECT_TRUE(MakeCodecFormat(codec.tag, static_cast<uint32_t>(rate),
                                static_cast<uint16_t>(channels), &format));
    return format;
  }
  PcmFormat pcm() const { return Pcm(rate, channels); }
  // A second and a bit: whole blocks and a partial one.
  std::vector<int16_t> Signal() const {
    return test::Tones(static_cast<size_t>(rate + 333), channels, rate);
  }
  std::string Name() const {
    return std::string(codec.name) + (channels == 1 ? "Mono" : "Stereo") + std::to_string(rate);
  }
};

void PrintTo(const Case& c, std::ostream* out) { *out << c.Name(); }

std::vector<Case> AllCases() {
  std::vector<Case> cases;
  for (const Codec& codec : kCodecCases) {
    for (int channels : {1, 2}) {
      for (int rate : {8000, 22050, 44100}) cases.push_back({codec, channels, rate});
    }
  }
  return cases;
}

// `in` through a stage in puts of `put_size` bytes; nothing when the ACM
// cannot open the stream.
std::optional<std::vector<uint8_t>> Convert(Acm& acm, const PcmFormat& from, const PcmFormat& to,
                                            std::span<const uint8_t> in, size_t put_size) {
  PcmStagePtr stage = new_acm_stage(from, to, acm);
  if (!stage) return std::nullopt;
  return test::Stream(*stage, in, [&] { return put_size; });
}

using CodecTest = testing::TestWithParam<Case>;

// Whatever the block structure: every frame comes back, a last partial
// block filled up, and the signal survives.
TEST_P(CodecTest, OwnCodecsRoundTripKeepsTheSignal) {
  const Case& c = GetParam();
  const auto signal = c.Signal();
  const WaveFormat format = c.coded();
  const auto encoded = *Convert(OwnAcm(), c.pcm(), format, Bytes(signal), 8192);
  const auto decoded = Samples(*Convert(OwnAcm(), format, c.pcm(), encoded, 8192));
  const size_t block_frames = format.extra_size ? ExtraWord(format, 0) : 1;
  const size_t frames = signal.size() / c.channels;
  const size_t blocks = (frames + block_frames - 1) / block_frames;
  EXPECT_EQ(encoded.size(), blocks * format.block_align);
  EXPECT_EQ(decoded.size(), blocks * block_frames * c.channels);
  EXPECT_GE(test::SnrDb(signal, decoded), c.codec.min_snr);
}

// Spans cut anywhere convert as one span does: blocks are kept whole.
TEST_P(CodecTest, OwnCodecsConvertTheSameInAnyPutSizes) {
  const Case& c = GetParam();
  const WaveFormat format = c.coded();
  const auto in = Bytes(c.Signal());
  const auto encoded = Convert(OwnAcm(), c.pcm(), format, in, in.size());
  ASSERT_TRUE(encoded);
  for (size_t put : {size_t{1}, size_t{255}, size_t{777}, size_t{5000}}) {
    SCOPED_TRACE(put);
    EXPECT_EQ(Convert(OwnAcm(), c.pcm(), format, in, put), encoded);
    EXPECT_EQ(Convert(OwnAcm(), format, c.pcm(), *encoded, put),
              Convert(OwnAcm(), format, c.pcm(), *encoded, encoded->size()));
  }
}

INSTANTIATE_TEST_SUITE_P(Codecs, CodecTest, testing::ValuesIn(AllCases()),
                         [](const auto& test) { return test.param.Name(); });

// The system ACM, where it is not our own: it decodes what ours encodes as
// ours does, and what it encodes keeps the signal and decodes with ours as
// with it. What it does not offer is left out (said on stdout).
TEST(SystemCodecsTest, AgreeWithOurOwn) {
  if (&SystemAcm() == &OwnAcm()) GTEST_SKIP() << "the system ACM is our own";
  for (const Case& c : AllCases()) {
    SCOPED_TRACE(c.Name());
    // Decoders may round Microsoft ADPCM's prediction of negative values
    // either way (Wine's truncates, ours floors); the others are exact.
    const double agreement = c.codec.tag == kFormatMsAdpcm ? 40.0 : 200.0;
    const WaveFormat format = c.coded();
    const auto signal = c.Signal();
    const auto in = Bytes(signal);
    const auto ours = *Convert(OwnAcm(), c.pcm(), format, in, 8192);
    const auto system_decoded = Convert(SystemAcm(), format, c.pcm(), ours, 8192);
    const auto system_encoded = Convert(SystemAcm(), c.pcm(), format, in, 8192);
    if (system_decoded) {
      EXPECT_GE(test::SnrDb(Samples(*Convert(OwnAcm(), format, c.pcm(), ours, 8192)),
                            Samples(*system_decoded)),
                agreement);
    } else {
      std::printf("note: the system ACM does not decode %s\n", c.Name().c_str());
    }
    if (system_encoded) {
      const auto decoded = Samples(*Convert(OwnAcm(), format, c.pcm(), *system_encoded, 8192));
      EXPECT_GE(test::SnrDb(signal, decoded), c.codec.min_snr);
      if (system_decoded) {
        const auto theirs = Convert(SystemAcm(), format, c.pcm(), *system_encoded, 8192);
        EXPECT_GE(test::SnrDb(decoded, Samples(*theirs)), agreement);
      }
    } else {
      std::printf("note: the system ACM does not encode %s\n", c.Name().c_str());
    }
  }
}

TEST(OwnCodecsTest, G711FollowsTheLaws) {
  const std::vector<uint8_t> codes = {0x00, 0x80, 0xFF, 0x7F, 0xFE, 0x7E};
  WaveFormat mulaw;
  MakeCodecFormat(kFormatMulaw, 8000, 1, &mulaw);
  EXPECT_EQ(Samples(*Convert(OwnAcm(), mulaw, Pcm(8000, 1), codes, 6)),
            (std::vector<int16_t>{-32124, 32124, 0, 0, 8, -8}));
  WaveFormat alaw;
  MakeCodecFormat(kFormatAlaw, 8000, 1, &alaw);
  const std::vector<uint8_t> alaw_codes = {0xD5, 0x55, 0xAA, 0x2A, 0xC5, 0x45};
  EXPECT_EQ(Samples(*Convert(OwnAcm(), alaw, Pcm(8000, 1), alaw_codes, 6)),
            (std::vector<int16_t>{8, -8, 32256, -32256, 264, -264}));
  // Each decoded value encodes to its own code.
  EXPECT_EQ(Convert(OwnAcm(), Pcm(8000, 1), mulaw,
                    Bytes(std::vector<int16_t>{-32124, 32124, 0, 8, -8, 32767}), 12),
            (std::vector<uint8_t>{0x00, 0x80, 0xFF, 0xFE, 0x7E, 0x80}));
  EXPECT_EQ(Convert(OwnAcm(), Pcm(8000, 1), alaw,
                    Bytes(std::vector<int16_t>{8, -8, 32256, -32256, 264, -264}), 12),
            alaw_codes);
}

// A stream cut inside its last block gives the frames that block's bytes
// hold: those of the whole block up to there.
TEST(OwnCodecsTest, DecodesWhatALastPartialBlockHolds) {
  for (const uint16_t tag : {kFormatImaAdpcm, kFormatMsAdpcm}) {
    for (const int channels : {1, 2}) {
      SCOPED_TRACE(testing::Message() << tag << "/" << channels);
      WaveFormat format;
      MakeCodecFormat(tag, 11025, static_cast<uint16_t>(channels), &format);
      const auto pcm = Pcm(11025, channels);
      const auto encoded =
          Convert(OwnAcm(), pcm, format, Bytes(test::Tones(600, channels, 11025)), 8192);
      ASSERT_EQ(encoded->size(), 2 * format.block_align);
      const auto whole = Samples(*Convert(OwnAcm(), format, pcm, *encoded, 8192));
      // The second block's header and 13 bytes of codes: IMA ADPCM takes
      // whole 4-byte words of each channel, 8 codes each; Microsoft ADPCM
      // a code per half byte.
      const bool ima = tag == kFormatImaAdpcm;
      const size_t header_bytes = ima ? 4 * channels : 7 * channels;
      const std::span<const uint8_t> cut(encoded->data(), format.block_align + header_bytes + 13);
      const auto partial = Samples(*Convert(OwnAcm(), format, pcm, cut, 8192));
      const size_t frames =
          ExtraWord(format, 0) + (ima ? 1 + 13 / (4 * channels) * 8 : 2 + 13 * 2 / channels);
      ASSERT_EQ(partial.size(), frames * channels);
      EXPECT_TRUE(std::equal(partial.begin(), partial.end(), whole.begin()));
    }
  }
}

TEST(OwnCodecsTest, MalformedBlocksFailTheConversion) {
  WaveFormat ima;
  MakeCodecFormat(kFormatImaAdpcm, 8000, 1, &ima);
  std::vector<uint8_t> block(ima.block_align);
  block[2] = 89;  // beyond the last step
  auto stage = new_acm_stage(ima, Pcm(8000, 1), OwnAcm());
  EXPECT_EQ(test::FailureOf(stage->put({block.data(), static_cast<int32_t>(block.size())})),
            PcmError::kCodec);

  WaveFormat ms;
  MakeCodecFormat(kFormatMsAdpcm, 8000, 1, &ms);
  block.assign(ms.block_align, 0);
  block[0] = 7;  // the table has 7 pairs
  stage = new_acm_stage(ms, Pcm(8000, 1), OwnAcm());
  EXPECT_EQ(test::FailureOf(stage->put({block.data(), static_cast<int32_t>(block.size())})),
            PcmError::kCodec);
}

TEST(OwnCodecsTest, OpenOnlyBetweenACodecAndItsPcm) {
  WaveFormat ima;
  MakeCodecFormat(kFormatImaAdpcm, 22050, 2, &ima);
  WaveFormat ms;
  MakeCodecFormat(kFormatMsAdpcm, 22050, 1, &ms);
  WaveFormat mulaw;
  MakeCodecFormat(kFormatMulaw, 22050, 1, &mulaw);
  const auto with = [](WaveFormat format, auto change) {
    change(&format);
    return format;
  };
  const std::pair<PcmFormat, WaveFormat> refused[] = {
      {Pcm(22050, 2), with(ima, [](WaveFormat* f) { f->extra[0] ^= 1; })},  // samples per block
      {Pcm(22050, 2), with(ima, [](WaveFormat* f) { f->block_align = 1030; })},
      {Pcm(22050, 2), with(ima, [](WaveFormat* f) { f->extra_size = 0; })},
      {Pcm(22050, 2), with(ima, [](WaveFormat* f) { f->bits_per_sample = 3; })},
      {Pcm(22050, 1), ima},                                               // channels differ
      {Pcm(44100, 2), ima},                                               // rates differ
      {MakePcmFormat(22050, 2, 8), ima},                                  // 8-bit PCM
      {Pcm(22050, 1), with(ms, [](WaveFormat* f) { f->extra[2] = 0; })},  // no pairs
      {Pcm(22050, 1), with(ms, [](WaveFormat* f) { f->extra_size = 30; })},
      {Pcm(22050, 1), with(mulaw, [](WaveFormat* f) { f->block_align = 2; })},
      {Pcm(22050, 1), with(mulaw, [](WaveFormat* f) { f->format_tag = 0x55; })},
      {Pcm(22050, 1), WaveFormat{Pcm(22050, 1)}},  // PCM to PCM
  };
  for (const auto& [pcm, codec] : refused) {
    EXPECT_EQ(new_acm_stage(pcm, codec, OwnAcm()), nullptr) << codec.format_tag;
    EXPECT_EQ(new_acm_stage(codec, pcm, OwnAcm()), nullptr) << codec.format_tag;
  }
  EXPECT_EQ(new_acm_stage(ima, mulaw, OwnAcm()), nullptr);  // codec to codec
  WaveFormat three;
  EXPECT_FALSE(MakeCodecFormat(kFormatImaAdpcm, 22050, 3, &three));
  EXPECT_TRUE(MakeCodecFormat(kFormatMulaw, 22050, 6, &three));
  EXPECT_NE(new_acm_stage(three, Pcm(22050, 6), OwnAcm()), nullptr);
}

}  // namespace
}  // namespace kowaki
