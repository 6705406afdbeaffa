// The WAV header builder and the reader, over files built byte by byte.

#include "convert/wav_file.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tests/convert/wav_test_util.h"

namespace kowaki {
namespace {

using test::Chunk;
using test::Extensible;
using test::Fmt;
using test::kPcmGuid;
using test::Le16;
using test::Le32;
using test::Riff;

bool Read(const std::string& file, WavInfo* info, std::string* error) {
  const auto read_at = [&](uint64_t offset, std::span<uint8_t> out) {
    if (offset > file.size() || file.size() - offset < out.size()) return false;
    std::memcpy(out.data(), file.data() + offset, out.size());
    return true;
  };
  return ReadWavInfo(read_at, info, error);
}

TEST(WavFileTest, HeaderLaysOutTheFormatAndSizes) {
  const auto header = MakeWavHeader(MakePcmFormat(22050, 1, 16), 1000);
  const std::string expected =
      "RIFF" + Le32(1036) + "WAVE" + "fmt " + Le32(16) + Fmt(1, 1, 22050, 16) + "data" + Le32(1000);
  EXPECT_EQ(std::string(header.begin(), header.end()), expected);
}

TEST(WavFileTest, ReadsPcmWhateverTheChunkOrder) {
  const std::string audio(7, '\x80');
  const struct {
    std::string file;
    PcmFormat format;
  } files[] = {
      {Riff(Chunk("fmt ", Fmt(1, 2, 44100, 16)) + Chunk("data", audio)),
       MakePcmFormat(44100, 2, 16)},
      // Odd chunks with their pad bytes, data before fmt, fmt with extra bytes.
      {Riff(Chunk("LIST", "abc") + Chunk("data", audio) +
            Chunk("fmt ", Fmt(1, 1, 8000, 8) + Le16(0))),
       MakePcmFormat(8000, 1, 8)},
      {Riff(Chunk("fmt ", Extensible(2, 48000, 16, kPcmGuid)) + Chunk("data", audio)),
       MakePcmFormat(48000, 2, 16)},
  };
  for (const auto& f : files) {
    WavInfo info{};
    std::string error;
    ASSERT_TRUE(Read(f.file, &info, &error)) << error;
    EXPECT_EQ(std::memcmp(&info.format, &f.format, sizeof(PcmFormat)), 0);
    EXPECT_EQ(info.data_size, 7u);
    EXPECT_EQ(f.file.substr(static_cast<size_t>(info.data_offset), 7), audio);
  }
}

TEST(WavFileTest, RefusesOtherFormatsAndBrokenFiles) {
  const std::string data = Chunk("data", "abcd");
  const std::string float_guid = "\x03" + kPcmGuid.substr(1);
  const struct {
    std::string file;
    std::string error;
  } files[] = {
      {"RIFX" + Riff(data).substr(4), "not a RIFF WAVE file"},
      {Riff(data).substr(0, 10), "not a RIFF WAVE file"},
      {Riff(Chunk("fmt ", Fmt(3, 1, 8000, 32)) + data), "unsupported format tag 0x0003"},
      {Riff(Chunk("fmt ", Fmt(2, 1, 8000, 4)) + data), "unsupported format tag 0x0002"},
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
    WavInfo info{};
    std::string error;
    EXPECT_FALSE(Read(f.file, &info, &error)) << f.error;
    EXPECT_NE(error.find(f.error), std::string::npos) << error;
  }
}

}  // namespace
}  // namespace kowaki
