#include "archive/last_page.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "archive/archive_writer.h"
#include "archive/entry_vorbis.h"
#include "tests/support/files.h"
#include "tests/support/why.h"

namespace kowaki {
namespace {

const std::string kMiBOfZeros(size_t{1} << 20, '\0');

// The first `count` pages of `ogg`: up to the capture pattern after them.
std::string Pages(const std::string& ogg, int count) {
  size_t at = 0;
  for (int i = 0; i < count; ++i) at = ogg.find("OggS", at + 1);
  return ogg.substr(0, at);
}

std::string Samples(const test::DecodedVorbis& decoded) {
  return {reinterpret_cast<const char*>(decoded.samples.data()), decoded.samples.size() * 2};
}

class LastPageTest : public ::testing::Test {
 protected:
  void Make(const std::vector<std::string>& entries) {
    ArchiveWriter writer;
    for (size_t i = 0; i < entries.size(); ++i) {
      ASSERT_EQ(test::Why(writer.AddBytes("e" + std::to_string(i), entries[i])), "");
    }
    const std::string path = dir_.File("voice.arc");
    ASSERT_EQ(test::Why(writer.Write(path)), "");
    index_ = test::LoadIndex(path);
    ASSERT_TRUE(index_);
  }

  // Entry i's last page, its end counted from the entry's start.
  Result<LastPage, OggScanError> Last(int32_t i) {
    const EntryStreamPtr stream = OpenEntryStream(index_.get(), i);
    Result<LastPage, OggScanError> last = FindLastPage(*stream);
    if (last) last->end -= index_->entries[i].offset;
    return last;
  }

  // Entry i as the decoder reads it: every link's samples, and how many links.
  Result<std::string, VorbisOpenError> Decoded(int32_t i, int* links = nullptr) {
    OggVorbis_File vf;
    if (auto opened = OpenEntryVorbis(index_.get(), i, &vf); !opened) return opened.failure();
    if (links) *links = static_cast<int>(ov_streams(&vf));
    ov_pcm_seek(&vf, 0);  // from the first link of chained streams
    std::string pcm = test::ReadPcm(&vf);
    ov_clear(&vf);
    return pcm;
  }

  test::TempDir dir_;
  ArchiveIndexPtr index_;
  const std::string clip_ = test::VorbisClip(22050, 1, 0.5);
  const std::string other_ = test::VorbisClip(44100, 2, 0.3, 2);
};

// The page is found whatever follows it in the window; a page whose
// checksum fails is none, and a cut stream's last page does not end it.
TEST_F(LastPageTest, FindsTheLastWholePageFromTheEnd) {
  std::string broken = clip_;
  const size_t last_start = clip_.rfind("OggS");
  broken[broken.size() - 2] ^= 0x01;
  Make({clip_, clip_ + std::string(100000, 'x'), clip_.substr(0, clip_.size() - 300), broken,
        Pages(clip_, 2) + kMiBOfZeros, "OggS"});
  for (const int32_t whole : {0, 1}) {
    ASSERT_TRUE(Last(whole)) << whole;
    EXPECT_EQ(Last(whole)->end, static_cast<int64_t>(clip_.size())) << whole;
    EXPECT_TRUE(Last(whole)->ends_stream) << whole;
  }
  ASSERT_TRUE(Last(2));
  EXPECT_LT(Last(2)->end, static_cast<int64_t>(clip_.size()) - 300);
  EXPECT_FALSE(Last(2)->ends_stream);
  ASSERT_TRUE(Last(3));
  EXPECT_EQ(Last(3)->end, static_cast<int64_t>(last_start));
  EXPECT_FALSE(Last(3)->ends_stream);
  EXPECT_EQ(Last(4).failure(), OggScanError::kNoPage);
  EXPECT_EQ(Last(5).failure(), OggScanError::kNoPage);
}

// Ending the stream with its last page changes nothing the decoder gives:
// junk after it, chained streams (with junk between links too), a run of
// zeros longer than the window between two pages of one stream.
TEST_F(LastPageTest, EveryStreamThatEndsInTheWindowDecodesAsItWas) {
  const std::string half_mib(size_t{1} << 19, '\0');
  const std::string longer = test::VorbisClip(22050, 1, 3.0);
  const std::string head = Pages(longer, 4);
  Make({clip_, clip_ + half_mib, clip_ + other_, clip_ + half_mib + other_,
        head + kMiBOfZeros + kMiBOfZeros + longer.substr(head.size())});
  const std::string clip = Samples(test::DecodeVorbis(clip_));
  const std::string chain = clip + Samples(test::DecodeVorbis(other_));
  const std::string expected[] = {clip, clip, chain, chain, Samples(test::DecodeVorbis(longer))};
  for (int32_t i = 0; i < 5; ++i) {
    int links = 0;
    const Result<std::string, VorbisOpenError> pcm = Decoded(i, &links);
    ASSERT_TRUE(pcm) << i;
    EXPECT_TRUE(*pcm == expected[i]) << i;
    EXPECT_EQ(links, i == 2 || i == 3 ? 2 : 1) << i;
  }
}

// Damage the decoder would search quadratically is refused at once: no
// page near the end, or a run of the window's size without a page where
// the decoder looks for one (before the second link of chained streams).
TEST_F(LastPageTest, RefusesWhatHasNoPageWithinTheWindow) {
  Make({Pages(clip_, 2) + kMiBOfZeros + kMiBOfZeros, clip_ + kMiBOfZeros + kMiBOfZeros + other_,
        "text"});
  EXPECT_EQ(Decoded(0).failure(), VorbisOpenError::kNoLastPage);
  EXPECT_EQ(Decoded(1).failure(), VorbisOpenError::kPageGap);
  EXPECT_EQ(Decoded(2).failure(), VorbisOpenError::kNotOgg);
}

}  // namespace
}  // namespace kowaki
