#include "archive/entry_stream.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "archive/archive_writer.h"
#include "archive/entry_vorbis.h"
#include "tests/support/files.h"
#include "tests/support/why.h"

namespace kowaki {
namespace {

std::string Pattern(size_t size, int seed) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i)
    bytes[i] = static_cast<char>((i * 31 + static_cast<size_t>(seed)) & 0xFF);
  return bytes;
}

// Three entries back to back, so that reading past one's end would show
// its neighbour's bytes.
class EntryStreamTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ArchiveWriter writer;
    for (size_t i = 0; i < data_.size(); ++i) {
      ASSERT_EQ(test::Why(writer.AddBytes("e" + std::to_string(i), data_[i])), "");
    }
    path_ = dir_.File("voice.arc");
    ASSERT_EQ(test::Why(writer.Write(path_)), "");
    index_ = test::LoadIndex(path_);
    ASSERT_TRUE(index_);
  }

  EntryStreamPtr Open(int32_t i) { return OpenEntryStream(index_.get(), i); }

  test::TempDir dir_;
  std::string path_;
  std::vector<std::string> data_ = {Pattern(10000, 1), Pattern(6, 2), Pattern(300, 3)};
  ArchiveIndexPtr index_;
};

TEST_F(EntryStreamTest, OpensOnlyEntriesOfTheIndex) {
  EXPECT_FALSE(Open(-1));
  EXPECT_FALSE(Open(3));
  EntryStreamPtr stream = Open(2);
  ASSERT_TRUE(stream);
  EXPECT_EQ(EntryTell(stream.get()), 0);
  EXPECT_EQ(stream->entry.size, 300u);
}

TEST_F(EntryStreamTest, ReadsInChunksUpToTheEntrysEnd) {
  EntryStreamPtr stream = Open(0);
  ASSERT_TRUE(stream);
  std::string got, chunk(8192, '\0');
  EXPECT_EQ(EntryRead(chunk.data(), 1, 8192, stream.get()), 8192u);
  got += chunk;
  EXPECT_EQ(EntryRead(chunk.data(), 1, 8192, stream.get()), 1808u);
  got += chunk.substr(0, 1808);
  EXPECT_EQ(EntryRead(chunk.data(), 1, 8192, stream.get()), 0u);
  EXPECT_EQ(got, data_[0]);
}

TEST_F(EntryStreamTest, ReadsWholeItemsOnly) {
  EntryStreamPtr stream = Open(1);
  ASSERT_TRUE(stream);
  char buffer[16] = {};
  EXPECT_EQ(EntryRead(buffer, 4, 4, stream.get()), 1u);
  EXPECT_EQ(std::string(buffer, 4), data_[1].substr(0, 4));
  EXPECT_EQ(EntryTell(stream.get()), 4);
  EXPECT_EQ(EntryRead(buffer, 4, 4, stream.get()), 0u);
  EXPECT_EQ(EntryRead(buffer, 1, 16, stream.get()), 2u);
  EXPECT_EQ(EntryRead(buffer, 0, 16, stream.get()), 0u);
}

TEST_F(EntryStreamTest, SeeksRelativeToTheEntry) {
  EntryStreamPtr stream = Open(2);
  ASSERT_TRUE(stream);
  void* s = stream.get();
  EXPECT_EQ(EntrySeek(s, 0, SEEK_END), 0);
  EXPECT_EQ(EntryTell(s), 300);
  EXPECT_EQ(EntrySeek(s, -10, SEEK_END), 0);
  EXPECT_EQ(EntryTell(s), 290);
  EXPECT_EQ(EntrySeek(s, -90, SEEK_CUR), 0);
  EXPECT_EQ(EntryTell(s), 200);
  EXPECT_EQ(EntrySeek(s, 50, SEEK_SET), 0);
  EXPECT_EQ(EntryTell(s), 50);
  EXPECT_EQ(EntrySeek(s, 0, 3), -1);
  EXPECT_EQ(EntrySeek(s, 10, -1), -1);
  EXPECT_EQ(EntryTell(s), 50);
  char byte;
  ASSERT_EQ(EntryRead(&byte, 1, 1, s), 1u);
  EXPECT_EQ(byte, data_[2][50]);
}

TEST_F(EntryStreamTest, PositionsOutsideTheEntryNeverReadPastItsEnd) {
  EntryStreamPtr stream = Open(1);
  ASSERT_TRUE(stream);
  char buffer[64];
  EntrySeek(stream.get(), 5, SEEK_END);
  EXPECT_EQ(EntryRead(buffer, 1, sizeof buffer, stream.get()), 0u);
  // Before the entry's start: the bytes up to its end, no further.
  EntrySeek(stream.get(), -4, SEEK_SET);
  EXPECT_EQ(EntryRead(buffer, 1, sizeof buffer, stream.get()), 10u);
}

TEST_F(EntryStreamTest, StreamsAreIndependent) {
  EntryStreamPtr a = Open(0), b = Open(2), c = Open(0);
  ASSERT_TRUE(a && b && c);
  std::string got_a, got_b;
  char buffer[100];
  for (int round = 0; round < 3; ++round) {
    got_a.append(buffer, EntryRead(buffer, 1, 100, a.get()));
    got_b.append(buffer, EntryRead(buffer, 1, 100, b.get()));
  }
  EXPECT_EQ(got_a, data_[0].substr(0, 300));
  EXPECT_EQ(got_b, data_[2]);
  EXPECT_EQ(EntryTell(c.get()), 0);
}

TEST_F(EntryStreamTest, OutlivesItsIndex) {
  EntryStreamPtr stream = Open(2);
  ASSERT_TRUE(stream);
  index_.reset();
  std::string buffer(300, '\0');
  EXPECT_EQ(EntryRead(buffer.data(), 1, 300, stream.get()), 300u);
  EXPECT_EQ(buffer, data_[2]);
}

// The index holds the archive it loaded: another file put in its place is
// not read at the old offsets, and a change in place is seen.
TEST_F(EntryStreamTest, StreamsReadTheArchiveThatWasLoaded) {
  const std::string other = path_ + ".new";
  test::WriteBytes(other, std::string(4096, 'x'));
  // Windows refuses to replace a file held open; elsewhere it is replaced.
  std::rename(other.c_str(), path_.c_str());
  EntryStreamPtr stream = Open(2);
  ASSERT_TRUE(stream);
  std::string buffer(300, '\0');
  EXPECT_EQ(EntryRead(buffer.data(), 1, 300, stream.get()), 300u);
  EXPECT_EQ(buffer, data_[2]);
  EXPECT_TRUE(ArchiveUnchanged(index_.get()));
}

TEST_F(EntryStreamTest, AnArchiveWrittenInPlaceIsSeenToHaveChanged) {
  ASSERT_TRUE(ArchiveUnchanged(index_.get()));
  std::FILE* file = std::fopen(path_.c_str(), "ab");
  ASSERT_TRUE(file);
  std::fputc('!', file);
  std::fclose(file);
  EXPECT_FALSE(ArchiveUnchanged(index_.get()));
}

// Reads are served from what the stream read ahead; whatever the order of
// seeks and reads, and of reads by position, the bytes are the entry's,
// never its neighbour's.
TEST(EntryStreamReadAheadTest, AnyOrderOfReadsGivesTheEntrysBytes) {
  const std::string big = Pattern(3 * kReadAhead + 123, 7), after = Pattern(5000, 9);
  ArchiveWriter writer;
  ASSERT_EQ(test::Why(writer.AddBytes("big", big)), "");
  ASSERT_EQ(test::Why(writer.AddBytes("after", after)), "");
  test::TempDir dir;
  const std::string path = dir.File("voice.arc");
  ASSERT_EQ(test::Why(writer.Write(path)), "");
  ArchiveIndexPtr index = test::LoadIndex(path);
  ASSERT_TRUE(index);
  EntryStreamPtr stream = OpenEntryStream(index.get(), 0);
  ASSERT_TRUE(stream);

  uint32_t seed = 12345;
  const auto next = [&seed](size_t below) {
    seed = seed * 1664525u + 1013904223u;
    return static_cast<size_t>(seed >> 8) % below;
  };
  std::string buffer(kReadAhead + 500, '\0');
  for (int step = 0; step < 2000; ++step) {
    const size_t at = next(big.size() + 10);
    // Sizes around the read-ahead's, small ones most often.
    const size_t size = step % 7 == 0 ? next(buffer.size()) + 1 : next(4096) + 1;
    const size_t expected = at < big.size() ? std::min(size, big.size() - at) : 0;
    if (step % 3 == 0) {
      const int64_t got = EntryReadAt(*stream, stream->entry.offset + static_cast<int64_t>(at),
                                      buffer.data(), size);
      ASSERT_EQ(got, static_cast<int64_t>(expected)) << "step " << step;
    } else {
      ASSERT_EQ(EntrySeek(stream.get(), static_cast<int64_t>(at), SEEK_SET), 0);
      ASSERT_EQ(EntryRead(buffer.data(), 1, size, stream.get()), expected) << "step " << step;
      ASSERT_EQ(EntryTell(stream.get()), static_cast<long>(at + expected));
    }
    ASSERT_EQ(buffer.substr(0, expected), big.substr(std::min(at, big.size()), expected))
        << "step " << step << ": " << size << " bytes at " << at;
  }
}

// A damaged index may claim more bytes than the archive holds; the stream
// ends where the file does, so the decoder does not scan gigabytes of
// nothing for its last page.
TEST(EntryStreamDamageTest, EntriesEndAtTheEndOfTheFile) {
  test::TempDir dir;
  const std::string clip = test::VorbisClip(8000, 1, 0.3);
  std::string bytes = test::ArchiveHeader(1, 0, 2, 16);
  const uint32_t data_offset = 16 + 2 * 17;
  bytes += test::Record("clip", 0xFFFFFFF0u, data_offset);
  bytes += test::Record("beyond", 100, 0x7FFFFFFF);
  bytes += clip;
  const std::string path = dir.File("voice.arc");
  test::WriteBytes(path, bytes);
  ArchiveIndexPtr index = test::LoadIndex(path);
  ASSERT_TRUE(index);

  EntryStreamPtr stream = OpenEntryStream(index.get(), 0);
  ASSERT_TRUE(stream);
  EntrySeek(stream.get(), 0, SEEK_END);
  EXPECT_EQ(EntryTell(stream.get()), static_cast<long>(clip.size()));
  stream = OpenEntryStream(index.get(), 1);
  ASSERT_TRUE(stream);
  EntrySeek(stream.get(), 0, SEEK_END);
  EXPECT_EQ(EntryTell(stream.get()), 0);
  char buffer[16];
  EXPECT_EQ(EntryRead(buffer, 1, sizeof buffer, stream.get()), 0u);

  OggVorbis_File vf;
  ASSERT_TRUE(OpenEntryVorbis(index.get(), 0, &vf));
  EXPECT_EQ(ov_pcm_total(&vf, -1), 2400);
  ov_clear(&vf);
  EXPECT_FALSE(OpenEntryVorbis(index.get(), 1, &vf));
}

TEST(EntryVorbisTest, DecodesEntriesAndRefusesTheRest) {
  test::TempDir dir;
  ArchiveWriter writer;
  const std::string clip = test::VorbisClip(22050, 2, 0.5);
  ASSERT_FALSE(clip.empty());
  ASSERT_EQ(test::Why(writer.AddBytes("text", "not a clip")), "");
  ASSERT_EQ(test::Why(writer.AddBytes("clip", clip)), "");
  ASSERT_EQ(test::Why(writer.AddBytes("cut", clip.substr(0, 40))), "");
  const std::string path = dir.File("voice.arc");
  ASSERT_EQ(test::Why(writer.Write(path)), "");
  ArchiveIndexPtr index = test::LoadIndex(path);
  ASSERT_TRUE(index);

  OggVorbis_File vf;
  EXPECT_EQ(OpenEntryVorbis(index.get(), 0, &vf).failure(), VorbisOpenError::kNotOgg);
  EXPECT_EQ(OpenEntryVorbis(index.get(), 2, &vf).failure(), VorbisOpenError::kNoLastPage);
  EXPECT_EQ(OpenEntryVorbis(index.get(), 3, &vf).failure(), VorbisOpenError::kNoStream);
  ASSERT_TRUE(OpenEntryVorbis(index.get(), 1, &vf));
  vorbis_info* info = ov_info(&vf, -1);
  EXPECT_EQ(info->channels, 2);
  EXPECT_EQ(info->rate, 22050);
  EXPECT_EQ(ov_pcm_total(&vf, -1), 11025);
  long total = 0, n;
  char pcm[8192];
  int section;
  while ((n = ov_read(&vf, pcm, sizeof pcm, 0, 2, 1, &section)) > 0) total += n;
  EXPECT_EQ(n, 0);
  EXPECT_EQ(total, 11025 * 4);
  ov_clear(&vf);
}

}  // namespace
}  // namespace kowaki
