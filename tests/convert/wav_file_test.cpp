// The WAV header builder and the reader, over files built byte by byte.

#include "convert/wav_file.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tests/convert/wav_test_util.h"
#include "tests/support/why.h"
#include "text/catalogue.h"

namespace kowaki {
namespace {

using test::Chunk;
using test::Extensible;
using test::Fmt;
using test::kPcmGuid;
using test::Le16;
using test::Le32;
using test::Riff;

TEST(WavFileTest, HeaderLaysOutTheFormatAndSizes) {
  const auto header = MakeWavHeader(MakePcmFormat(22050, 1, 16), 1000);
  const std::string expected =
      "RIFF" + Le32(1036) + "WAVE" + "fmt " + Le32(16) + Fmt(1, 1, 22050, 16) + "data" + Le32(1000);
  EXPECT_EQ(std::string(header.begin(), header.end()), expected);
  // The RIFF size counts the pad byte of an odd data chunk.
  const auto odd = MakeWavHeader(MakePcmFormat(8000, 1, 8), 1001);
  EXPECT_EQ(std::string(odd.begin(), odd.end()), "RIFF" + Le32(1038) + "WAVE" + "fmt " + Le32(16) +
                                                     Fmt(1, 1, 8000, 8) + "data" + Le32(1001));
}

// Seven bytes of audio: the whole frames of each format.
TEST(WavFileTest, ReadsPcmWhateverTheChunkOrderInWholeFrames) {
  const std::string audio(7, '\x80');
  const struct {
    std::string file;
    PcmFormat format;
    uint32_t data_size;
  } files[] = {
      {Riff(Chunk("fmt ", Fmt(1, 2, 44100, 16)) + Chunk("data", audio)),
       MakePcmFormat(44100, 2, 16), 4},
      // Odd chunks with their pad bytes, data before fmt, fmt with extra bytes.
      {Riff(Chunk("LIST", "abc") + Chunk("data", audio) +
            Chunk("fmt ", Fmt(1, 1, 8000, 8) + Le16(0))),
       MakePcmFormat(8000, 1, 8), 7},
      {Riff(Chunk("fmt ", Extensible(2, 48000, 16, kPcmGuid)) + Chunk("data", audio)),
       MakePcmFormat(48000, 2, 16), 4},
      {Riff(Chunk("fmt ", Fmt(1, 3, 8000, 16)) + Chunk("data", audio)), MakePcmFormat(8000, 3, 16),
       6},
  };
  for (const auto& f : files) {
    const Result<WavInfo> read = test::ReadWavBytes(f.file);
    ASSERT_TRUE(read) << test::Why(read);
    EXPECT_EQ(std::memcmp(&read->format, &f.format, sizeof(PcmFormat)), 0);
    EXPECT_EQ(read->data_size, f.data_size);
    EXPECT_EQ(f.file.substr(static_cast<size_t>(read->data_offset), 7), audio);
  }
}

TEST(WavFileTest, CodecHeaderCarriesTheExtraBytesAndTheFrameCount) {
  WaveFormat ima;
  ASSERT_TRUE(MakeCodecFormat(kFormatImaAdpcm, 22050, 1, &ima));
  const auto header = MakeCodecWavHeader(ima, 1024, 2000);
  const std::string expected = "RIFF" + Le32(1024 + 52) + "WAVE" + "fmt " + Le32(20) +
                               Fmt(0x11, 1, 22050, 4).substr(0, 8) + Le32(11100) + Le16(512) +
                               Le16(4) + Le16(2) + Le16(1017) + "fact" + Le32(4) + Le32(2000) +
                               "data" + Le32(1024);
  EXPECT_EQ(std::string(header.begin(), header.end()), expected);

  // Odd extra bytes get a pad byte; the reader gives back the format.
  WaveFormat odd{{0x55, 2, 44100, 16000, 1, 0, 3}};
  odd.extra[0] = 'x';
  odd.extra[2] = 'z';
  for (const WaveFormat& format : {ima, odd}) {
    const auto bytes = MakeCodecWavHeader(format, 4, 9);
    const std::string file = std::string(bytes.begin(), bytes.end()) + "abcd";
    const Result<WavInfo> read = test::ReadWavBytes(file);
    ASSERT_TRUE(read) << test::Why(read);
    EXPECT_EQ(std::memcmp(&read->format, &format, sizeof(PcmFormat) + format.extra_size), 0);
    EXPECT_EQ(file.substr(static_cast<size_t>(read->data_offset), read->data_size), "abcd");
  }
}

TEST(WavFileTest, ReadsCodecFormatsWithTheirExtraBytes) {
  const std::string audio(6, '\x11');
  const std::string coefficients = Le16(256) + Le16(0) + Le16(512) + Le16(0xFF00);
  const struct {
    std::string fmt;
    std::string extra;
  } files[] = {
      {Fmt(0x02, 2, 22050, 4) + Le16(12), Le16(1012) + Le16(2) + coefficients},
      {Fmt(0x07, 1, 8000, 8), ""},  // no extra size at all
      {Fmt(0x06, 1, 8000, 8) + Le16(0) + "tail", ""},
      {Fmt(0x55, 2, 44100, 8) + Le16(1), "\x7f"},  // anything, for the codecs to refuse
  };
  for (const auto& f : files) {
    const Result<WavInfo> read =
        test::ReadWavBytes(Riff(Chunk("fmt ", f.fmt + f.extra) + Chunk("data", audio)));
    ASSERT_TRUE(read) << test::Why(read);
    const WavInfo& info = *read;
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&info.format), 16), f.fmt.substr(0, 16));
    EXPECT_EQ(info.format.extra_size, f.extra.size());
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(info.format.extra), f.extra.size()),
              f.extra);
    EXPECT_EQ(info.data_size, 6u);
  }
}

TEST(WavFileTest, RefusesOtherFormatsAndBrokenFiles) {
  SetLanguage(Language::kEnglish);
  const std::string data = Chunk("data", "abcd");
  const std::string float_guid = "\x03" + kPcmGuid.substr(1);
  const struct {
    std::string file;
    std::string error;
  } files[] = {
      {"RIFX" + Riff(data).substr(4), "not a RIFF WAVE file"},
      {Riff(data).substr(0, 10), "not a RIFF WAVE file"},
      {Riff(Chunk("fmt ", Fmt(2, 1, 8000, 4) + Le16(65) + std::string(65, 'c')) + data),
       "65 extra format bytes"},
      {Riff(Chunk("fmt ", Fmt(2, 1, 8000, 4) + Le16(32) + std::string(30, 'c')) + data),
       "shorter than its extra bytes"},
      {Riff(Chunk("fmt ", Fmt(7, 1, 8000, 8).substr(0, 12) + Le16(0) + Le16(8)) + data),
       "block align 0"},
      {Riff(Chunk("fmt ", Fmt(7, 1, 0, 8)) + data), "no sample rate"},
      {Riff(Chunk("fmt ", Extensible(1, 8000, 16, float_guid)) + data), "subformat other than PCM"},
      {Riff(Chunk("fmt ", Fmt(1, 1, 8000, 24)) + data), "24 bits"},
      {Riff(Chunk("fmt ", Fmt(1, 0, 8000, 16)) + data), "no channels"},
      {Riff(Chunk("fmt ", Fmt(1, 2, 8000, 16).substr(0, 12) + Le16(2) + Le16(16)) + data),
       "block align 2"},
      {Riff(Chunk("fmt ", Fmt(1, 1, 8000, 16).substr(0, 14))), "fmt chunk is too short"},
      {Riff(Chunk("fmt ", Fmt(1, 1, 8000, 16))), "no data chunk"},
      {Riff(data), "no fmt chunk"},
      {Riff(Chunk("fmt ", Fmt(1, 1, 8000, 16)) + "data" + Le32(100) + "abcd"), "past the RIFF end"},
      {"RIFF" + Le32(1000) + "WAVE" + Chunk("fmt ", Fmt(1, 1, 8000, 16)).substr(0, 20),
       "truncated"},
  };
  for (const auto& f : files) {
    const Result<WavInfo> read = test::ReadWavBytes(f.file);
    EXPECT_FALSE(read) << f.error;
    EXPECT_NE(test::Why(read).find(f.error), std::string::npos) << test::Why(read);
  }
}

}  // namespace
}  // namespace kowaki
