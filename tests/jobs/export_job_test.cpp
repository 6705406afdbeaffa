// The export job through the recording window, and the files it leaves.

#include <gtest/gtest.h>

#include <filesystem>

#include "jobs/export_job.h"
#include "common/output_file.h"
#include "tests/jobs/job_fixture.h"

namespace kowaki::test {
namespace {

using Calls = std::vector<std::string>;

uint32_t Le(const std::string& bytes, size_t at, size_t size) {
  uint32_t value = 0;
  for (size_t i = size; i-- > 0;) value = value << 8 | static_cast<uint8_t>(bytes.at(at + i));
  return value;
}

struct WavHeader {
  uint32_t riff_size, channels, rate, byte_rate, block_align, bits, data_size;
};

WavHeader HeaderOf(const std::string& file) {
  EXPECT_GE(file.size(), 44u);
  EXPECT_EQ(file.substr(0, 4), "RIFF");
  EXPECT_EQ(file.substr(8, 8), "WAVEfmt ");
  EXPECT_EQ(Le(file, 16, 4), 16u);
  EXPECT_EQ(Le(file, 20, 2), 1u);
  EXPECT_EQ(file.substr(36, 4), "data");
  return {Le(file, 4, 4), Le(file, 22, 2), Le(file, 24, 4), Le(file, 28, 4),
          Le(file, 32, 2), Le(file, 34, 2), Le(file, 40, 4)};
}

const Calls kRestore = {"title こわき", "enable 1002", "enable 1001", "enable 1004",
                        "button 1006 出力", "progress 0"};

class ExportJobTest : public JobTest {
 protected:
  ExportResult Export() {
    state_.running = 1;
    ExportSetup setup;
    setup.settings = &settings_;
    setup.merge_limit = merge_limit_;
    if (open_file_) setup.open_file = open_file_;
    return RunExport(&state_, setup);
  }
  std::string Out(const std::string& name) { return ReadBytes(out_.File(name)); }

  TempDir out_;
  int64_t merge_limit_ = kMergeDataLimit;
  ExportFileOpener open_file_;
};

TEST_F(ExportJobTest, OggModeCopiesEachEntryUnchanged) {
  MakeArchive({Voice("v_0", 22050, 1), Voice("v_1", 44100, 2), Voice("v_2", 8000, 1)});
  List();
  window_.SelectAll();
  window_.folder_answer = out_.path().string();
  const size_t listed = window_.calls().size();
  const ExportResult result = Export();
  EXPECT_EQ(result.succeeded, 3);
  const Calls expected = {
      "pick folder 出力先フォルダ選択", "selected count 3", "progress range 0 3", "next selected -1 0",
      "entry of 0 0", "title こわき : v_0 出力中 1/3", "progress 0", "next selected 0 1",
      "entry of 1 1", "title こわき : v_1 出力中 2/3", "progress 1", "next selected 1 2",
      "entry of 2 2", "title こわき : v_2 出力中 3/3", "progress 2", "next selected 2 -1",
      "title こわき", "enable 1002", "enable 1001", "enable 1004", "button 1006 出力", "progress 0"};
  EXPECT_EQ(Calls(window_.calls().begin() + static_cast<ptrdiff_t>(listed), window_.calls().end()), expected);
  EXPECT_EQ(out_.List(), (std::vector<std::string>{"v_0.ogg", "v_1.ogg", "v_2.ogg"}));
  for (size_t i = 0; i < 3; ++i) EXPECT_EQ(Out("v_" + std::to_string(i) + ".ogg"), clips_[i].data);
  EXPECT_EQ(state_.running.load(), 0);
}

TEST_F(ExportJobTest, WavModeAtTheSourceFormatHoldsTheDecodedAudio) {
  MakeArchive({Voice("mono", 22050, 1), Voice("stereo", 44100, 2)});
  SetSettings(1, -1, -1, 0);
  List();
  window_.SelectAll();
  window_.folder_answer = out_.path().string();
  EXPECT_EQ(Export().succeeded, 2);
  EXPECT_TRUE(window_.Calls("message").empty());
  for (int32_t entry = 0; entry < 2; ++entry) {
    const std::string file = Out(clips_[static_cast<size_t>(entry)].name + ".wav");
    const std::string pcm = Decoded(entry);
    const WavHeader header = HeaderOf(file);
    EXPECT_EQ(header.channels, entry == 0 ? 1u : 2u);
    EXPECT_EQ(header.rate, entry == 0 ? 22050u : 44100u);
    EXPECT_EQ(header.byte_rate, header.rate * header.channels * 2);
    EXPECT_EQ(header.block_align, header.channels * 2);
    EXPECT_EQ(header.bits, 16u);
    EXPECT_EQ(header.data_size, pcm.size());
    EXPECT_EQ(header.riff_size, pcm.size() + 36);
    EXPECT_EQ(file.size(), 44 + pcm.size());
    EXPECT_TRUE(file.substr(44) == pcm) << "entry " << entry;
  }
}

TEST_F(ExportJobTest, WavModeConvertsToTheStoredRateAndChannels) {
  MakeArchive({Voice("st", 44100, 2, 1.0)});
  SetSettings(1, 22050, 1, 0);
  List();
  window_.SelectAll();
  window_.folder_answer = out_.path().string();
  EXPECT_EQ(Export().succeeded, 1);
  const std::string file = Out("st.wav");
  const WavHeader header = HeaderOf(file);
  EXPECT_EQ(header.channels, 1u);
  EXPECT_EQ(header.rate, 22050u);
  EXPECT_EQ(header.byte_rate, 44100u);
  EXPECT_EQ(header.block_align, 2u);
  EXPECT_EQ(header.data_size, file.size() - 44);
  // One second at 22050 Hz, give or take the resampler's edges.
  EXPECT_NEAR(static_cast<double>(header.data_size) / 2, 22050, 64);
}

TEST_F(ExportJobTest, MergeFormatIsFixedByTheFirstEntryThatOpens) {
  MakeArchive({{"bad", "not vorbis"}, Voice("m22", 22050, 1, 0.5), Voice("s44", 44100, 2, 0.5)});
  SetSettings(1, -1, -1, 1);
  window_.AddRows(3);  // rows left from an archive where entry 0 was fine
  window_.SelectAll();
  window_.save_answer = out_.File("all.wav");
  const ExportResult result = Export();
  EXPECT_EQ(result.succeeded, 2);
  EXPECT_EQ(window_.Calls("message"), Calls{"message 警告: 3 中 1 の出力に失敗しました"});
  const std::string file = Out("all.wav");
  const WavHeader header = HeaderOf(file);
  EXPECT_EQ(header.channels, 1u);
  EXPECT_EQ(header.rate, 22050u);
  EXPECT_EQ(header.data_size, file.size() - 44);
  // The first entry as decoded, then the second converted down to it.
  const std::string first = Decoded(1);
  EXPECT_TRUE(file.substr(44, first.size()) == first);
  EXPECT_NEAR(static_cast<double>(header.data_size - first.size()) / 2, 0.5 * 22050, 64);
}

TEST_F(ExportJobTest, MergeWithAStoredRateTakesOnlyTheChannelsFromTheFirstEntry) {
  MakeArchive({Voice("m", 22050, 1, 0.5), Voice("s", 44100, 2, 0.5)});
  SetSettings(1, 44100, -1, 1);
  List();
  window_.SelectAll();
  window_.save_answer = out_.File("all.wav");
  EXPECT_EQ(Export().succeeded, 2);
  const WavHeader header = HeaderOf(Out("all.wav"));
  EXPECT_EQ(header.channels, 1u);
  EXPECT_EQ(header.rate, 44100u);
  EXPECT_NEAR(static_cast<double>(header.data_size) / 2, 44100, 128);
}

TEST_F(ExportJobTest, AStopDuringTheSecondOfFiveCompletesItAndReportsThree) {
  std::vector<Clip> clips;
  for (int i = 0; i < 5; ++i) clips.push_back(Voice("e" + std::to_string(i), 16000, 1));
  MakeArchive(clips);
  List();
  window_.SelectAll();
  window_.folder_answer = out_.path().string();
  window_.OnTitle([this](const std::string& title) {
    if (title.ends_with(" 2/5")) state_.running = 0;  // the stop button
  });
  const ExportResult result = Export();
  EXPECT_EQ(result.processed, 2);
  EXPECT_EQ(out_.List(), (std::vector<std::string>{"e0.ogg", "e1.ogg"}));
  EXPECT_EQ(Out("e1.ogg"), clips_[1].data);
  EXPECT_EQ(window_.Calls("message"), Calls{"message 警告: 3 を残して出力を中断しました"});
  EXPECT_EQ(Tail(6), kRestore);
}

TEST_F(ExportJobTest, AWavFileThatCannotBeCreatedEndsTheRunWithoutEndMessages) {
  MakeArchive({Voice("a", 8000, 1), Voice("b", 8000, 1)});
  SetSettings(1, -1, -1, 0);
  List();
  window_.SelectAll();
  const std::string folder = out_.File("missing");
  window_.folder_answer = folder;
  const ExportResult result = Export();
  EXPECT_TRUE(result.output_failed);
  EXPECT_EQ(window_.Calls("message"),
            Calls{"message エラー: 出力ファイルを開けませんでした\n\n  '" + folder +
                  "/a.wav'\n\n出力先を確認してください"});
  EXPECT_EQ(window_.Calls("title"), (Calls{"title こわき : リスト更新中 0/2", "title こわき : リスト更新中 1/2",
                                           "title こわき : リスト更新中 2/2", "title こわき",
                                           "title こわき : a 出力中 1/2", "title こわき"}));
  EXPECT_EQ(Tail(6), kRestore);
}

TEST_F(ExportJobTest, AMergeFileThatCannotBeOpenedIsReportedWithItsPath) {
  MakeArchive({Voice("a", 8000, 1)});
  SetSettings(1, -1, -1, 1);
  List();
  window_.SelectAll();
  window_.save_answer = out_.path().string();  // a folder
  Export();
  EXPECT_EQ(window_.Calls("message"),
            Calls{"message エラー: 出力ファイルを開けませんでした\n\n  '" + out_.path().string() +
                  "'\n\n出力先を確認してください"});
  EXPECT_TRUE(window_.Calls("selected").empty());
  EXPECT_EQ(Tail(6), kRestore);
}

TEST_F(ExportJobTest, ACancelledPickerWritesNothing) {
  MakeArchive({Voice("a", 8000, 1)});
  List();
  window_.SelectAll();
  const size_t listed = window_.calls().size();
  Export();
  Calls expected = {"pick folder 出力先フォルダ選択"};
  expected.insert(expected.end(), kRestore.begin(), kRestore.end());
  EXPECT_EQ(Calls(window_.calls().begin() + static_cast<ptrdiff_t>(listed), window_.calls().end()), expected);
  EXPECT_TRUE(out_.List().empty());
}

TEST_F(ExportJobTest, TheMergeLimitStopsAfterTheEntryThatPassesIt) {
  std::vector<Clip> clips;
  for (int i = 0; i < 5; ++i) clips.push_back(Voice("e" + std::to_string(i), 8000, 1, 0.5));
  MakeArchive(clips);
  SetSettings(1, -1, -1, 1);
  List();
  window_.SelectAll();
  window_.save_answer = out_.File("all.wav");
  // Each entry decodes to 8000 bytes: the third one passes 20000.
  merge_limit_ = 20000;
  const ExportResult result = Export();
  EXPECT_EQ(result.processed, 3);
  EXPECT_EQ(result.succeeded, 3);
  EXPECT_EQ(window_.Calls("message"),
            (Calls{"message 警告: 出力ファイルサイズが限界を超えそうです\ne2 まで出力が終了しています\n"
                   "一度に選択するファイルを減らしてください",
                   "message 警告: 2 を残して出力を中断しました"}));
  const std::string file = Out("all.wav");
  EXPECT_EQ(HeaderOf(file).data_size, 3 * Decoded(0).size());
  EXPECT_EQ(file.size(), 44 + 3 * Decoded(0).size());
}

TEST_F(ExportJobTest, RowsWithoutAnEntryFailAndTheOthersGoOn) {
  MakeArchive({Voice("a", 8000, 1), {"junk", "xxxx"}, Voice("c", 8000, 1)});
  window_.AddRows(4);  // row 3 names an entry the index does not have
  window_.SelectAll();
  window_.folder_answer = out_.path().string();
  const ExportResult result = Export();
  EXPECT_EQ(result.succeeded, 3);  // junk is copied: OGG mode does not decode
  EXPECT_EQ(window_.Calls("message"), Calls{"message 警告: 4 中 1 の出力に失敗しました"});
  EXPECT_EQ(window_.Calls("title こわき : "), (Calls{"title こわき : a 出力中 1/4", "title こわき : junk 出力中 2/4",
                                                   "title こわき : c 出力中 3/4", "title こわき :  出力中 4/4"}));
}

TEST_F(ExportJobTest, UnsafeAndClashingNamesStayInsideTheFolder) {
  MakeArchive({Voice("../up", 8000, 1), Voice("a\\b:c", 8000, 1), Voice("CON", 8000, 1),
               Voice("Same", 8000, 1), Voice("same", 8000, 1), Voice("same", 8000, 1)});
  List();
  window_.SelectAll();
  std::filesystem::create_directory(out_.path() / "in");
  window_.folder_answer = out_.File("in");
  EXPECT_EQ(Export().succeeded, 6);
  EXPECT_EQ(out_.List(), std::vector<std::string>{"in"});
  std::vector<std::string> names;
  for (const auto& item : std::filesystem::directory_iterator(out_.path() / "in")) names.push_back(item.path().filename().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"%2E.%2Fup.ogg", "%43ON.ogg", "Same.ogg", "a%5Cb%3Ac.ogg",
                                             "same~4.ogg", "same~5.ogg"}));
  EXPECT_EQ(ReadBytes(out_.File("in") + "/same~5.ogg"), clips_[5].data);
}

TEST_F(ExportJobTest, ChainedStreamsAreEachConvertedToTheFilesFormat) {
  MakeArchive({{"chain", VorbisClip(22050, 1, 0.5, 1) + VorbisClip(44100, 2, 0.5, 2)}});
  SetSettings(1, -1, -1, 0);
  List();
  window_.SelectAll();
  window_.folder_answer = out_.path().string();
  EXPECT_EQ(Export().succeeded, 1);
  const std::string file = Out("chain.wav");
  const WavHeader header = HeaderOf(file);
  EXPECT_EQ(header.channels, 1u);
  EXPECT_EQ(header.rate, 22050u);
  // Half a second as it was, then half a second converted down to it.
  EXPECT_NEAR(static_cast<double>(header.data_size) / 2, 22050, 64);
  const std::string first = Decoded(0).substr(0, 11025 * 2);
  EXPECT_TRUE(file.substr(44, first.size()) == first);
}

TEST_F(ExportJobTest, MoreThanTwoChannelsAreWrittenAtTheSourceCountOnly) {
  MakeArchive({Voice("six", 48000, 6)});
  SetSettings(1, -1, -1, 0);
  List();
  window_.SelectAll();
  window_.folder_answer = out_.path().string();
  EXPECT_EQ(Export().succeeded, 1);
  EXPECT_EQ(HeaderOf(Out("six.wav")).channels, 6u);
  EXPECT_TRUE(Out("six.wav").substr(44) == Decoded(0));

  // To stereo there is no way: the entry fails and leaves no mislabelled file.
  std::filesystem::remove(out_.File("six.wav"));
  SetSettings(1, -1, 2, 0);
  EXPECT_EQ(Export().succeeded, 0);
  EXPECT_TRUE(out_.List().empty());
}

// A file that takes `room` bytes and refuses the rest, and remembers how
// it was finished.
struct ShortFile : ExportFile {
  struct Log {
    std::string data;
    std::string header;
    bool finished = false;
  };
  ShortFile(Log* log, size_t room) : log_(log), room_(room) {}
  bool Write(const void* data, size_t size) override {
    if (log_->data.size() + size > room_) return false;
    log_->data.append(static_cast<const char*>(data), size);
    return true;
  }
  bool Flush() override { return true; }
  bool Finish(std::span<const uint8_t> header) override {
    log_->header.assign(header.begin(), header.end());
    log_->finished = true;
    return true;
  }
  void Discard() override {}
  Log* log_;
  size_t room_;
};

TEST_F(ExportJobTest, AFailedWriteFailsTheEntryAndTheHeaderIsStillPatched) {
  MakeArchive({Voice("a", 8000, 1, 0.5), Voice("b", 8000, 1, 0.5)});
  SetSettings(1, -1, -1, 1);
  List();
  window_.SelectAll();
  window_.save_answer = "merged.wav";
  ShortFile::Log log;
  // Room for the header, the first entry and a little of the second.
  const size_t first = Decoded(0).size();
  open_file_ = [&](const std::string&) { return std::make_unique<ShortFile>(&log, 44 + first + 100); };
  const ExportResult result = Export();
  EXPECT_EQ(result.succeeded, 1);
  EXPECT_EQ(window_.Calls("message"), Calls{"message 警告: 2 中 1 の出力に失敗しました"});
  ASSERT_TRUE(log.finished);
  const WavHeader header = HeaderOf(log.header);
  EXPECT_EQ(header.data_size, log.data.size() - 44);
  EXPECT_EQ(header.riff_size, log.data.size() - 8);
}

TEST_F(ExportJobTest, AFileWhoseHeaderCannotBeWrittenIsNotKept) {
  MakeArchive({Voice("a", 8000, 1), Voice("b", 8000, 1)});
  SetSettings(1, -1, -1, 1);
  List();
  window_.SelectAll();
  window_.save_answer = "merged.wav";
  ShortFile::Log log;
  open_file_ = [&](const std::string&) { return std::make_unique<ShortFile>(&log, 10); };
  EXPECT_EQ(Export().succeeded, 0);
  EXPECT_EQ(window_.Calls("message"), Calls{"message 警告: 2 中 2 の出力に失敗しました"});
  EXPECT_FALSE(log.finished);  // discarded
  EXPECT_TRUE(log.data.empty());
}

TEST_F(ExportJobTest, AFullDeviceFailsTheEntries) {
  if (platform::KindOfPath("/dev/full") != platform::PathKind::kDevice) GTEST_SKIP() << "no /dev/full here";
  MakeArchive({Voice("a", 8000, 1, 1.0), Voice("b", 8000, 1, 1.0)});
  SetSettings(1, -1, -1, 1);
  List();
  window_.SelectAll();
  window_.save_answer = "/dev/full";
  EXPECT_EQ(Export().succeeded, 0);
  EXPECT_EQ(window_.Calls("message"), Calls{"message 警告: 2 中 2 の出力に失敗しました"});
  EXPECT_EQ(platform::KindOfPath("/dev/full"), platform::PathKind::kDevice);  // still the device
}

}  // namespace
}  // namespace kowaki::test
