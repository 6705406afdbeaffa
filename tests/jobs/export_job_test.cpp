// The export job through the recording window, and the files it leaves.

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "common/output_file.h"
#include "convert/wav_file.h"
#include "jobs/export_job.h"
#include "settings/output_settings.h"
#include "tests/jobs/job_fixture.h"

namespace kowaki::test {
namespace {

using Calls = std::vector<std::string>;

// `file` is a plain 16-bit WAV file of `rate` and `channels` whose header
// counts its `data_size` bytes of audio (by default, all that follow it).
void ExpectWavHeader(const std::string& file, uint32_t rate, uint16_t channels,
                     int64_t data_size = -1) {
  ASSERT_GE(file.size(), kWavHeaderSize);
  const auto size = static_cast<uint32_t>(data_size < 0 ? file.size() - kWavHeaderSize : data_size);
  const auto header = MakeWavHeader(MakePcmFormat(rate, channels, 16), size);
  EXPECT_EQ(file.substr(0, kWavHeaderSize), std::string(header.begin(), header.end()));
}

// The audio's length in 16-bit mono frames, or samples.
double Samples16(const std::string& file) {
  return static_cast<double>(file.size() - kWavHeaderSize) / 2;
}

// A file of the export's that says when it is first written to and when
// it is finished, on the job's own thread `job` (the entries made on other
// threads are written there unseen).
class WatchedFile : public ExportFile {
 public:
  WatchedFile(std::unique_ptr<ExportFile> file, std::thread::id job,
              std::function<void(const char*)> seen)
      : file_(std::move(file)), seen_(std::move(seen)), job_(job) {}
  bool Write(const void* data, size_t size) override {
    if (std::this_thread::get_id() == job_) seen_("write");
    return file_->Write(data, size);
  }
  bool Flush() override { return file_->Flush(); }
  bool CutBack(uint64_t size) override { return file_->CutBack(size); }
  bool Finish(std::span<const uint8_t> header) override {
    seen_("finish");
    return file_->Finish(header);
  }
  void Discard() override { file_->Discard(); }
  bool IsStream() const override { return file_->IsStream(); }

 private:
  std::unique_ptr<ExportFile> file_;
  std::function<void(const char*)> seen_;
  std::thread::id job_;
};

class ExportJobTest : public JobTest {
 protected:
  ExportResult Export() {
    window_.StartJob(Control::kOutput);
    state_.running = 1;
    ExportSetup setup;
    setup.settings = &settings_;
    setup.merge_limit = merge_limit_;
    if (open_file_) setup.open_file = open_file_;
    return RunExport(&state_, setup);
  }
  std::string Out(const std::string& name) { return ReadBytes(out_.File(name)); }
  // The archive of `clips`, listed and all selected, the settings stored
  // (type, rate, channels, merge) and the pickers answered with a folder
  // of the test's or a file in it.
  void Ready(const std::vector<Clip>& clips, OutputSettings settings = kDefaultOutputSettings) {
    SaveOutputSettings(settings_, settings);
    ListAndSelectAll(clips);
    window_.folder_answer = out_.path().string();
    window_.save_answer = out_.File("all.wav");
  }

  TempDir out_;
  int64_t merge_limit_ = kMergeDataLimit;
  ExportFileOpener open_file_;
};

TEST_F(ExportJobTest, OggModeCopiesEachEntryUnchanged) {
  Ready({Voice("v_0", 22050, 1), Voice("v_1", 44100, 2), Voice("v_2", 8000, 1)});
  const size_t listed = window_.calls().size();
  const ExportResult result = Export();
  EXPECT_EQ(result.succeeded, 3);
  const Calls expected = {"pick folder 出力先フォルダ選択",
                          "next selected -1 0",  // the name of every output, checked first
                          "entry of 0 0",
                          "next selected 0 1",
                          "entry of 1 1",
                          "next selected 1 2",
                          "entry of 2 2",
                          "next selected 2 -1",
                          "selected count 3",
                          "progress range 0 3",
                          "next selected -1 0",
                          "entry of 0 0",
                          "title こわき : v_0 出力中 1/3",
                          "progress 0",
                          "next selected 0 1",
                          "entry of 1 1",
                          "title こわき : v_1 出力中 2/3",
                          "progress 1",
                          "next selected 1 2",
                          "entry of 2 2",
                          "title こわき : v_2 出力中 3/3",
                          "progress 2",
                          "title こわき",
                          "enable 1002",
                          "enable 1001",
                          "enable 1004",
                          "button 1006 出力",
                          "progress 0"};
  EXPECT_EQ(Calls(window_.calls().begin() + static_cast<ptrdiff_t>(listed), window_.calls().end()),
            expected);
  EXPECT_EQ(out_.List(), (std::vector<std::string>{"v_0.ogg", "v_1.ogg", "v_2.ogg"}));
  for (size_t i = 0; i < 3; ++i) EXPECT_EQ(Out("v_" + std::to_string(i) + ".ogg"), clips_[i].data);
  EXPECT_EQ(state_.running.load(), 0);
}

TEST_F(ExportJobTest, WavModeAtTheSourceFormatHoldsTheDecodedAudio) {
  Ready({Voice("mono", 22050, 1), Voice("stereo", 44100, 2)}, {1, -1, -1, 0});
  EXPECT_EQ(Export().succeeded, 2);
  EXPECT_TRUE(window_.Calls("message").empty());
  const std::string mono = Out("mono.wav"), stereo = Out("stereo.wav");
  ExpectWavHeader(mono, 22050, 1);
  ExpectWavHeader(stereo, 44100, 2);
  EXPECT_TRUE(mono.substr(kWavHeaderSize) == Decoded(0));
  EXPECT_TRUE(stereo.substr(kWavHeaderSize) == Decoded(1));
}

TEST_F(ExportJobTest, WavModeConvertsToTheStoredRateAndChannels) {
  Ready({Voice("st", 44100, 2, 1.0)}, {1, 22050, 1, 0});
  EXPECT_EQ(Export().succeeded, 1);
  ExpectWavHeader(Out("st.wav"), 22050, 1);
  // One second at 22050 Hz, give or take the resampler's edges.
  EXPECT_NEAR(Samples16(Out("st.wav")), 22050, 64);
}

TEST_F(ExportJobTest, MergeFormatIsFixedByTheFirstEntryThatOpens) {
  MakeArchive({{"bad", "not vorbis"}, Voice("m22", 22050, 1, 0.5), Voice("s44", 44100, 2, 0.5)});
  SetSettings(1, -1, -1, 1);
  window_.AddRows(3);  // rows left from an archive where entry 0 was fine
  window_.SelectAll();
  window_.save_answer = out_.File("all.wav");
  EXPECT_EQ(Export().succeeded, 2);
  EXPECT_EQ(window_.Calls("message"), Calls{"message 警告: 3 中 1 の出力に失敗しました"});
  const std::string file = Out("all.wav");
  ExpectWavHeader(file, 22050, 1);
  // The first entry as decoded, then the second converted down to it.
  const std::string first = Decoded(1);
  EXPECT_TRUE(file.substr(kWavHeaderSize, first.size()) == first);
  EXPECT_NEAR(Samples16(file) - static_cast<double>(first.size()) / 2, 0.5 * 22050, 64);
}

TEST_F(ExportJobTest, MergeWithAStoredRateTakesOnlyTheChannelsFromTheFirstEntry) {
  Ready({Voice("m", 22050, 1, 0.5), Voice("s", 44100, 2, 0.5)}, {1, 44100, -1, 1});
  EXPECT_EQ(Export().succeeded, 2);
  ExpectWavHeader(Out("all.wav"), 44100, 1);
  EXPECT_NEAR(Samples16(Out("all.wav")), 44100, 128);
}

TEST_F(ExportJobTest, AStopDuringTheSecondOfFiveCompletesItAndReportsThree) {
  Ready(Voices(5, 16000));
  window_.OnTitle([this](const std::string& title) {
    if (title.ends_with(" 2/5")) state_.running = 0;  // the stop button
  });
  EXPECT_EQ(Export().processed, 2);
  EXPECT_EQ(out_.List(), (std::vector<std::string>{"e0.ogg", "e1.ogg"}));
  EXPECT_EQ(Out("e1.ogg"), clips_[1].data);
  EXPECT_EQ(window_.Calls("message"), Calls{"message 警告: 3 を残して出力を中断しました"});
  EXPECT_TRUE(window_.Idle());
}

// While entry k of 4 is made the title names it and the progress bar
// stands at k - 1: its file is written and finished under that title. On
// several threads the title names the oldest entry not yet finished.
TEST_F(ExportJobTest, TheTitleNamesTheEntryBeingMadeBeforeItsFileIsWritten) {
  Calls seen;  // titles, and what the files saw with the progress bar's place
  const std::thread::id job = std::this_thread::get_id();
  const auto Progress = [this] {
    const Calls calls = window_.Calls("progress ");
    return *std::find_if(calls.rbegin(), calls.rend(), [](const std::string& call) {
      return !call.starts_with("progress range");
    });
  };
  window_.OnTitle([&](const std::string& title) { seen.push_back(title); });
  open_file_ = [&](const std::string& path, OutputPlace place) {
    Result<std::unique_ptr<ExportFile>> opened = OpenExportFile(path, place);
    if (!opened) return opened;
    const std::string name = std::filesystem::path(path).filename().string();
    return Result<std::unique_ptr<ExportFile>>(
        std::make_unique<WatchedFile>(std::move(*opened), job, [&, name](const char* what) {
          const std::string event = what + (" " + name) + ", " + Progress();
          if (seen.back() != event) seen.push_back(event);
        }));
  };
  for (const int32_t merge : {0, 1}) {
    for (const int32_t threads : {1, 4}) {
      Ready(Voices(4, 8000), {1, -1, -1, merge});
      state_.threads = threads;
      seen.clear();
      EXPECT_EQ(Export().succeeded, 4);
      Calls expected;
      for (int k = 1; k <= 4; ++k) {
        const std::string file = merge ? "all.wav" : "e" + std::to_string(k - 1) + ".wav";
        const std::string progress = ", progress " + std::to_string(k - 1);
        expected.push_back("こわき : e" + std::to_string(k - 1) + " 出力中 " + std::to_string(k) +
                           "/4");
        if (merge || threads == 1) expected.push_back("write " + file + progress);
        if (!merge) expected.push_back("finish " + file + progress);
      }
      if (merge) expected.push_back("finish all.wav, progress 3");
      expected.push_back("こわき");
      EXPECT_EQ(seen, expected) << merge << " " << threads;
    }
  }
}

TEST_F(ExportJobTest, AWavFileThatCannotBeCreatedEndsTheRunWithoutEndMessages) {
  Ready({Voice("a", 8000, 1), Voice("b", 8000, 1)}, {1, -1, -1, 0});
  const std::string folder = out_.File("missing");
  window_.folder_answer = folder;
  EXPECT_TRUE(Export().output_failed);
  EXPECT_EQ(window_.Calls("message"),
            Calls{"message エラー: 出力ファイルを開けませんでした\n\n  '" + folder +
                  "/a.wav'\n\n出力先を確認してください"});
  EXPECT_EQ(window_.Calls("title"),
            (Calls{"title こわき : リスト更新中 0/2", "title こわき : リスト更新中 1/2",
                   "title こわき : リスト更新中 2/2", "title こわき", "title こわき : a 出力中 1/2",
                   "title こわき"}));
  EXPECT_TRUE(window_.Idle());
}

TEST_F(ExportJobTest, AMergeFileThatCannotBeOpenedIsReportedWithItsPath) {
  Ready({Voice("a", 8000, 1)}, {1, -1, -1, 1});
  window_.save_answer = out_.path().string();  // a folder
  Export();
  EXPECT_EQ(window_.Calls("message"),
            Calls{"message エラー: 出力ファイルを開けませんでした\n\n  '" + out_.path().string() +
                  "'\n\n出力先を確認してください"});
  EXPECT_TRUE(window_.Calls("selected").empty());
  EXPECT_TRUE(window_.Idle());
}

TEST_F(ExportJobTest, TheArchiveItselfIsNeverAnOutput) {
  Ready({Voice("a", 8000, 1)}, {1, -1, -1, 1});
  const std::string archive = dir_.File("voice.arc");
  const std::string before = ReadBytes(archive);
  window_.save_answer = dir_.path().string() + "/./voice.arc";  // spelt otherwise
  EXPECT_FALSE(Export().destination);
  ASSERT_EQ(window_.Calls("message").size(), 1u);
  EXPECT_NE(window_.Calls("message")[0].find("出力ファイルを開けませんでした"), std::string::npos);
  EXPECT_EQ(ReadBytes(archive), before);
}

TEST_F(ExportJobTest, ACancelledPickerWritesNothing) {
  Ready({Voice("a", 8000, 1)});
  window_.folder_answer.reset();
  const size_t listed = window_.calls().size();
  Export();
  EXPECT_EQ(window_.calls()[listed], "pick folder 出力先フォルダ選択");
  EXPECT_TRUE(window_.Calls("selected").empty());
  EXPECT_TRUE(window_.Idle());
  EXPECT_TRUE(out_.List().empty());
}

TEST_F(ExportJobTest, TheMergeLimitStopsAfterTheEntryThatPassesIt) {
  Ready(Voices(5, 8000, 0.5), {1, -1, -1, 1});
  // Each entry decodes to 8000 bytes: the third one passes 20000.
  merge_limit_ = 20000;
  const ExportResult result = Export();
  EXPECT_EQ(result.processed, 3);
  EXPECT_EQ(result.succeeded, 3);
  EXPECT_EQ(
      window_.Calls("message"),
      (Calls{"message 警告: 出力ファイルサイズが限界を超えそうです\ne2 まで出力が終了しています\n"
             "一度に選択するファイルを減らしてください",
             "message 警告: 2 を残して出力を中断しました"}));
  const std::string file = Out("all.wav");
  EXPECT_EQ(file.size(), kWavHeaderSize + 3 * Decoded(0).size());
  ExpectWavHeader(file, 8000, 1);
}

TEST_F(ExportJobTest, RowsWithoutAnEntryFailAndTheOthersGoOn) {
  MakeArchive({Voice("a", 8000, 1), {"junk", "xxxx"}, Voice("c", 8000, 1)});
  window_.AddRows(4);  // row 3 names an entry the index does not have
  window_.SelectAll();
  window_.folder_answer = out_.path().string();
  EXPECT_EQ(Export().succeeded, 3);  // junk is copied: OGG mode does not decode
  EXPECT_EQ(window_.Calls("message"), Calls{"message 警告: 4 中 1 の出力に失敗しました"});
  EXPECT_EQ(window_.Calls("title こわき : "),
            (Calls{"title こわき : a 出力中 1/4", "title こわき : junk 出力中 2/4",
                   "title こわき : c 出力中 3/4", "title こわき :  出力中 4/4"}));
}

TEST_F(ExportJobTest, UnsafeAndClashingNamesStayInsideTheFolder) {
  Ready({Voice("../up", 8000, 1), Voice("a\\b:c", 8000, 1), Voice("CON", 8000, 1),
         Voice("Same", 8000, 1), Voice("same", 8000, 1), Voice("same", 8000, 1)});
  std::filesystem::create_directory(out_.path() / "in");
  window_.folder_answer = out_.File("in");
  EXPECT_EQ(Export().succeeded, 6);
  EXPECT_EQ(out_.List(), std::vector<std::string>{"in"});
  std::vector<std::string> names;
  for (const auto& item : std::filesystem::directory_iterator(out_.path() / "in"))
    names.push_back(item.path().filename().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"%2E.%2Fup.ogg", "%43ON.ogg", "Same.ogg",
                                             "a%5Cb%3Ac.ogg", "same~4.ogg", "same~5.ogg"}));
  EXPECT_EQ(ReadBytes(out_.File("in") + "/same~5.ogg"), clips_[5].data);
}

TEST_F(ExportJobTest, ChainedStreamsAreEachConvertedToTheFilesFormat) {
  Ready({{"chain", VorbisClip(22050, 1, 0.5, 1) + VorbisClip(44100, 2, 0.5, 2)}}, {1, -1, -1, 0});
  EXPECT_EQ(Export().succeeded, 1);
  const std::string file = Out("chain.wav");
  ExpectWavHeader(file, 22050, 1);
  // Half a second as it was, then half a second converted down to it.
  EXPECT_NEAR(Samples16(file), 22050, 64);
  const std::string first = Decoded(0).substr(0, 11025 * 2);
  EXPECT_TRUE(file.substr(kWavHeaderSize, first.size()) == first);
}

TEST_F(ExportJobTest, MoreThanTwoChannelsAreKeptOrMixedDown) {
  Ready({Voice("six", 48000, 6)}, {1, -1, -1, 0});
  EXPECT_EQ(Export().succeeded, 1);
  ExpectWavHeader(Out("six.wav"), 48000, 6);
  EXPECT_TRUE(Out("six.wav").substr(kWavHeaderSize) == Decoded(0));

  // To stereo and mono they are mixed down: each output frame from one
  // source frame.
  for (const uint16_t channels : {uint16_t{2}, uint16_t{1}}) {
    SetSettings(1, -1, channels, 0);
    EXPECT_EQ(Export().succeeded, 1);
    ExpectWavHeader(Out("six.wav"), 48000, channels);
    EXPECT_EQ((Out("six.wav").size() - kWavHeaderSize) / channels, Decoded(0).size() / 6);
  }
}

// The run reads the archive it listed. Written to in place during the
// run, the entries still to come fail with that reason and leave no file;
// another file renamed into its place changes nothing.
TEST_F(ExportJobTest, AnArchiveWrittenToDuringTheRunFailsTheEntriesStillToCome) {
  Ready(Voices(3, 8000));
  const std::string archive = dir_.File("voice.arc");
  // The first entry is finished before the second's title; the second is read after.
  window_.OnTitle([&](const std::string& title) {
    if (title.ends_with(" 2/3")) {
      std::FILE* file = std::fopen(archive.c_str(), "ab");
      std::fputc('!', file);
      std::fclose(file);
    }
  });
  const ExportResult result = Export();
  EXPECT_EQ(result.succeeded, 1);
  EXPECT_EQ(out_.List(), std::vector<std::string>{"e0.ogg"});
  EXPECT_EQ(result.entries[1].problem, EntryProblem::kArchiveChanged);
  EXPECT_EQ(result.entries[2].problem, EntryProblem::kArchiveChanged);
}

TEST_F(ExportJobTest, AnArchiveReplacedDuringTheRunIsStillTheOneRead) {
  Ready(Voices(3, 8000), {1, -1, -1, 0});
  const std::string archive = dir_.File("voice.arc");
  const std::string first = Decoded(0), last = Decoded(2);
  window_.OnTitle([&](const std::string& title) {
    if (!title.ends_with(" 2/3")) return;
    // Windows refuses to replace a file held open; elsewhere it is replaced.
    WriteBytes(archive + ".new", ReadBytes(archive).substr(0, 100));
    std::rename((archive + ".new").c_str(), archive.c_str());
  });
  EXPECT_EQ(Export().succeeded, 3);
  EXPECT_TRUE(Out("e0.wav").substr(kWavHeaderSize) == first);
  EXPECT_TRUE(Out("e2.wav").substr(kWavHeaderSize) == last);
}

// An entry cut short, whether its stored bytes end before its last page or
// the archive's end cuts it, is written as far as it goes in every mode,
// and said to be damaged.
TEST_F(ExportJobTest, AnEntryCutShortIsWrittenAsFarAsItGoesAndSaysSo) {
  const std::string clip = VorbisClip(8000, 1, 1.0);
  MakeArchive({Voice("a", 8000, 1), {"b", clip.substr(0, clip.size() - 300)}, {"c", clip}});
  const std::string archive = dir_.File("voice.arc");
  const std::string bytes = ReadBytes(archive);
  WriteBytes(archive, bytes.substr(0, bytes.size() - 300));
  state_.index = test::LoadIndex(archive);
  List();
  window_.SelectAll();
  window_.folder_answer = out_.path().string();
  window_.save_answer = out_.File("all.wav");
  const std::string b = Decoded(1);
  ASSERT_EQ(Decoded(2), b);
  for (const OutputSettings& settings :
       {OutputSettings{0, -1, -1, 0}, {1, -1, -1, 0}, {1, -1, -1, 1}}) {
    SaveOutputSettings(settings_, settings);
    const ExportResult result = Export();
    EXPECT_EQ(result.succeeded, 3);
    EXPECT_EQ(result.damaged, 2);
    EXPECT_EQ(result.entries[0].problem, EntryProblem::kNone);
    for (const int entry : {1, 2}) {
      EXPECT_TRUE(result.entries[entry].ok);
      EXPECT_EQ(result.entries[entry].problem, EntryProblem::kCutShort);
    }
  }
  EXPECT_TRUE(Out("b.ogg") == clip.substr(0, clip.size() - 300));
  EXPECT_TRUE(Out("c.ogg") == clip.substr(0, clip.size() - 300));
  EXPECT_TRUE(Out("c.wav").substr(kWavHeaderSize) == b);
  EXPECT_TRUE(Out("all.wav").substr(kWavHeaderSize) == Decoded(0) + b + b);
}

TEST_F(ExportJobTest, AnEntryThatFailsAsWavLeavesAnEarlierFileAsItWas) {
  MakeArchive({Voice("a", 8000, 1), {"junk", "not a clip at all"}});
  window_.AddRows(2);  // a row for junk too, as a list of another archive might have
  window_.SelectAll();
  window_.folder_answer = out_.path().string();
  SetSettings(1, -1, -1, 0);
  WriteBytes(out_.File("junk.wav"), "earlier");
  const ExportResult result = Export();
  EXPECT_EQ(result.succeeded, 1);
  EXPECT_EQ(result.entries[1].problem, EntryProblem::kNotAudio);
  EXPECT_EQ(Out("junk.wav"), "earlier");
}

// A file that takes `room` bytes and refuses the rest, as a disk that
// fills up, and remembers how it was finished.
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
  bool CutBack(uint64_t size) override {
    log_->data.resize(static_cast<size_t>(size));
    return true;
  }
  bool Finish(std::span<const uint8_t> header) override {
    log_->header.assign(header.begin(), header.end());
    log_->finished = true;
    return true;
  }
  void Discard() override {}
  Log* log_;
  size_t room_;
};

TEST_F(ExportJobTest, AMergeFileThatFillsUpKeepsTheEntriesWrittenWhole) {
  Ready({Voice("a", 8000, 1, 0.5), Voice("b", 8000, 1, 0.5), Voice("c", 8000, 1, 0.5)},
        {1, -1, -1, 1});
  ShortFile::Log log;
  // Room for the header, the first entry and a little of the second.
  const size_t first = Decoded(0).size();
  open_file_ = [&](const std::string&, OutputPlace) {
    return std::unique_ptr<ExportFile>(std::make_unique<ShortFile>(&log, 44 + first + 100));
  };
  const ExportResult result = Export();
  EXPECT_EQ(result.succeeded, 1);
  EXPECT_EQ(result.processed, 2);
  EXPECT_EQ(
      window_.Calls("message"),
      (Calls{"message エラー: 出力ファイルに書き込めなくなりました\na まで出力が終了しています\n"
             "出力先の空き容量を確認してください",
             "message 警告: 2 中 1 の出力に失敗しました",
             "message 警告: 1 を残して出力を中断しました"}));
  ASSERT_TRUE(log.finished);
  EXPECT_TRUE(log.data.substr(kWavHeaderSize) == Decoded(0));
  ExpectWavHeader(log.header, 8000, 1, static_cast<int64_t>(first));
  EXPECT_EQ(result.entries[1].problem, EntryProblem::kWriteFailed);
}

TEST_F(ExportJobTest, AMergeFileWhoseHeaderCannotBeWrittenIsNotKept) {
  Ready({Voice("a", 8000, 1), Voice("b", 8000, 1)}, {1, -1, -1, 1});
  ShortFile::Log log;
  open_file_ = [&](const std::string&, OutputPlace) {
    return std::unique_ptr<ExportFile>(std::make_unique<ShortFile>(&log, 10));
  };
  EXPECT_EQ(Export().succeeded, 0);
  EXPECT_EQ(window_.Calls("message"),
            (Calls{"message エラー: 出力ファイルに書き込めなくなりました\n"
                   "出力先の空き容量を確認してください",
                   "message 警告: 1 中 1 の出力に失敗しました",
                   "message 警告: 1 を残して出力を中断しました"}));
  EXPECT_FALSE(log.finished);  // discarded
  EXPECT_TRUE(log.data.empty());
}

TEST_F(ExportJobTest, AFullDeviceFailsTheEntries) {
  if (platform::KindOfPath("/dev/full") != platform::PathKind::kDevice)
    GTEST_SKIP() << "no /dev/full here";
  Ready({Voice("a", 8000, 1, 1.0), Voice("b", 8000, 1, 1.0)}, {1, -1, -1, 1});
  window_.save_answer = "/dev/full";
  EXPECT_EQ(Export().succeeded, 0);
  EXPECT_EQ(window_.Calls("message").size(), 3u);
  EXPECT_EQ(platform::KindOfPath("/dev/full"), platform::PathKind::kDevice);  // still the device
}

}  // namespace
}  // namespace kowaki::test
