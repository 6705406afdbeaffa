// The export job's FLAC files, decoded by libFLAC against the WAV export of
// the same entries, and the silence --gap puts between merged entries.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "common/little_endian.h"
#include "convert/wav_file.h"
#include "jobs/export_job.h"
#include "settings/output_settings.h"
#include "tests/convert/flac_test_util.h"
#include "tests/jobs/job_fixture.h"

namespace kowaki::test {
namespace {

class FlacExportTest : public JobTest {
 protected:
  // The selected rows exported with the type and merge given, at the
  // source's format, into `into` (a folder of files named eN, or the merge
  // file's name).
  ExportResult Export(int32_t type, bool merge, const std::string& into, bool flac = true) {
    ExportSetup setup = ReadyExport(type, -1, -1, merge, into);
    setup.flac = flac;
    setup.album = "voice.arc";
    setup.markers = true;
    setup.gap_seconds = gap_;
    setup.flac_level = level_;
    // Files named by number: an entry's name bytes make no path every
    // system's tests can read back.
    setup.file_name = [](std::string_view, int32_t entry, int32_t) {
      return "e" + std::to_string(entry);
    };
    return RunExport(&state_, setup);
  }
  // A WAV file's data, as its header counts it.
  static std::string WavData(const std::string& file) {
    const uint32_t size = ReadLe32(reinterpret_cast<const uint8_t*>(file.data()) + 40);
    return file.substr(kWavHeaderSize, size);
  }
  // 16-bit frames with their channels picked in `order`.
  static std::string Reordered(const std::string& pcm, const std::vector<size_t>& order) {
    std::string out;
    for (size_t at = 0; at < pcm.size(); at += 2 * order.size()) {
      for (const size_t channel : order) out += pcm.substr(at + 2 * channel, 2);
    }
    return out;
  }

  TempDir out_;
  double gap_ = 0;
  int32_t level_ = kFlacDefaultLevel;
};

// An entry's FLAC file decodes to its WAV file's samples, MD5 and all, at
// every compression level (surround in FLAC's channel order: FL FR C LFE BL
// BR from Vorbis's FL C FR BL BR LFE), and names it, in UTF-8, with its
// number and archive.
TEST_F(FlacExportTest, FilesHoldTheWavExportsSamplesAndNameTheirEntry) {
  ListAndSelectAll(
      {Voice("mono", 22050, 1), Voice("\x82\xa0\x82\xa2", 44100, 2), Voice("six", 48000, 6)});
  std::filesystem::create_directories(out_.File("wav"));
  ASSERT_EQ(Export(kOutputTypeWav, false, out_.File("wav")).succeeded, 3);
  std::map<int32_t, uintmax_t> sizes;
  for (const int32_t level : {kFlacDefaultLevel, 0, kFlacMaxLevel}) {
    level_ = level;
    const std::string folder = out_.File("flac" + std::to_string(level));
    std::filesystem::create_directories(folder);
    ASSERT_EQ(Export(kOutputTypeFlac, false, folder).succeeded, 3);
    for (const auto& file : std::filesystem::directory_iterator(folder)) {
      sizes[level] += file.file_size();
    }
  }
  EXPECT_LT(sizes[kFlacMaxLevel], sizes[0]);
  const struct {
    const char* title;
    uint32_t rate, channels;
    std::vector<size_t> order;
  } files[] = {
      {"mono", 22050, 1, {0}}, {"あい", 44100, 2, {0, 1}}, {"six", 48000, 6, {0, 2, 1, 5, 3, 4}}};
  for (const auto& [level, size] : sizes) {
    for (size_t i = 0; i < std::size(files); ++i) {
      SCOPED_TRACE(std::string(files[i].title) + " at level " + std::to_string(level));
      const std::string stem = "/e" + std::to_string(i);
      const DecodedFlac flac =
          DecodeFlac(ReadBytes(out_.File("flac" + std::to_string(level)) + stem + ".flac"));
      EXPECT_TRUE(flac.ok);
      EXPECT_EQ(flac.rate, files[i].rate);
      EXPECT_EQ(flac.channels, files[i].channels);
      EXPECT_TRUE(flac.pcm ==
                  Reordered(WavData(ReadBytes(out_.File("wav") + stem + ".wav")), files[i].order));
      EXPECT_EQ(flac.comments,
                (std::vector<std::string>{std::string("TITLE=") + files[i].title,
                                          "TRACKNUMBER=" + std::to_string(i), "ALBUM=voice.arc"}));
    }
  }
}

// The window's dialog offers two types and shows a stored 2 as WAV: so it writes.
TEST_F(FlacExportTest, TheWindowWritesAStoredFlacTypeAsWav) {
  ListAndSelectAll({Voice("a", 22050, 1)});
  ASSERT_EQ(Export(kOutputTypeFlac, false, out_.path().string(), false).succeeded, 1);
  EXPECT_EQ(out_.List(), std::vector<std::string>{"e0.wav"});
}

// Entries of 0.3 s at 22050 Hz with 0.123 s between them: 2712 frames of
// silence each time (2712.15 rounded), the markers where the audio
// starts. A failed entry in the middle leaves no silence of its own, and
// the cue sheet room kept for it is padding. Merged on one thread or two,
// the FLAC file is the same.
TEST_F(FlacExportTest, MergesHoldTheEntriesWithTheGapBetweenThem) {
  ListAndSelectAll(
      {Voice("a", 22050, 1), Voice("b", 22050, 1), {"bad", "not vorbis"}, Voice("c", 22050, 1)});
  gap_ = 0.123;
  const uint64_t gap = 2712;
  std::string expected;
  std::vector<uint64_t> starts;
  for (int32_t entry : {0, 1, 3}) {
    if (!expected.empty()) expected.append(gap * 2, '\0');
    starts.push_back(expected.size() / 2);
    expected += Decoded(entry);
  }
  ASSERT_EQ(Export(kOutputTypeWav, true, out_.File("all.wav")).succeeded, 3);
  const std::string wav = ReadBytes(out_.File("all.wav"));
  EXPECT_TRUE(WavData(wav) == expected);
  EXPECT_EQ(expected.size() / 2 - gap * 2,
            (Decoded(0).size() + Decoded(1).size() + Decoded(3).size()) / 2);  // exactly (n-1) gaps
  std::vector<CuePoint> cues;
  for (size_t i = 0; i < starts.size(); ++i) {
    cues.push_back({static_cast<uint32_t>(starts[i]), std::string(1, "abc"[i])});
  }
  const auto chunks = MakeCueChunks(cues);
  EXPECT_TRUE(wav.substr(kWavHeaderSize + expected.size()) ==
              std::string(chunks.begin(), chunks.end()));

  std::string single;
  for (int32_t threads : {1, 2}) {
    SCOPED_TRACE(threads);
    state_.threads = threads;
    ASSERT_EQ(Export(kOutputTypeFlac, true, out_.File("all.flac")).succeeded, 3);
    const std::string file = ReadBytes(out_.File("all.flac"));
    const DecodedFlac flac = DecodeFlac(file);
    EXPECT_TRUE(flac.ok);
    EXPECT_TRUE(flac.pcm == expected);
    EXPECT_EQ(flac.comments, std::vector<std::string>{"ALBUM=voice.arc"});
    std::vector<uint64_t> tracks = starts;
    tracks.push_back(expected.size() / 2);
    EXPECT_EQ(flac.track_offsets, tracks);
    if (threads == 1) single = file;
    EXPECT_TRUE(file == single);
  }
}

}  // namespace
}  // namespace kowaki::test
