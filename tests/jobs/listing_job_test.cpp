// The listing job through the recording window: what it does to the
// window, in order, and what the rows hold.

#include <gtest/gtest.h>

#include "jobs/listing_job.h"
#include "tests/jobs/job_fixture.h"

namespace kowaki::test {
namespace {

using Calls = std::vector<std::string>;

TEST(FormatSizeTest, ChoosesTheUnitByStrictComparisonAndTruncates) {
  EXPECT_EQ(FormatSize(0), "0");
  EXPECT_EQ(FormatSize(1024), "1024");
  EXPECT_EQ(FormatSize(1025), "1.00 K");
  EXPECT_EQ(FormatSize(1535), "1.49 K");
  EXPECT_EQ(FormatSize(2047), "1.99 K");
  EXPECT_EQ(FormatSize(1048576), "1024.00 K");
  EXPECT_EQ(FormatSize(1048577), "1.00 M");
  EXPECT_EQ(FormatSize(1073741824), "1024.00 M");
  EXPECT_EQ(FormatSize(1610612736), "1.50 G");
  // Two gibibytes and more.
  EXPECT_EQ(FormatSize(2147483647u), "1.99 G");
  EXPECT_EQ(FormatSize(2147483648u), "2.00 G");
  EXPECT_EQ(FormatSize(4294967295u), "3.99 G");
}

class ListingJobTest : public JobTest {};

TEST_F(ListingJobTest, SkipsAnEntryThatIsNotVorbisAndKeepsEntryNumbers) {
  MakeArchive({Voice("v_0", 22050, 1),
               Voice("v_1", 44100, 2),
               {"junk", std::string(3000, 'x')},
               Voice("v_3", 8000, 1, 1.0)});
  List();
  const std::string size0 = FormatSize(static_cast<uint32_t>(clips_[0].data.size()));
  const std::string size1 = FormatSize(static_cast<uint32_t>(clips_[1].data.size()));
  const std::string size3 = FormatSize(static_cast<uint32_t>(clips_[3].data.size()));
  const Calls expected = {
      "progress range 0 4", "title こわき : リスト更新中 0/4", "rows clear", "rows reserve 4",
      "row 0 v_0 #0", "cell 0 1 " + size0, "cell 0 2 0.30", "cell 0 3 1", "cell 0 4 22050",
      "progress 0", "title こわき : リスト更新中 1/4", "row 1 v_1 #1", "cell 1 1 " + size1,
      "cell 1 2 0.30", "cell 1 3 2", "cell 1 4 44100", "progress 1",
      "title こわき : リスト更新中 2/4",
      // entry 2 changes nothing on the screen
      "row 2 v_3 #3", "cell 2 1 " + size3, "cell 2 2 1.00", "cell 2 3 1", "cell 2 4 8000",
      "progress 3", "title こわき : リスト更新中 4/4", "progress range 0 100", "progress 0",
      "title こわき", "enable 1001", "enable 1004", "enable 1006"};
  EXPECT_EQ(window_.calls(), expected);
  EXPECT_EQ(state_.running.load(), 0);
  ASSERT_EQ(window_.rows().size(), 3u);
  EXPECT_EQ(window_.rows()[2].entry, 3);
}

TEST_F(ListingJobTest, EmptyArchiveEmptiesTheListAndRestoresTheWindow) {
  MakeArchive({});
  window_.InsertRow(0, "old", 7);  // a previous archive's row
  List();
  const Calls expected = {"row 0 old #7", "progress range 0 0", "title こわき : リスト更新中 0/0",
                          "rows clear",   "rows reserve 0",     "progress range 0 100",
                          "progress 0",   "title こわき",       "enable 1001",
                          "enable 1004",  "enable 1006"};
  EXPECT_EQ(window_.calls(), expected);
  EXPECT_TRUE(window_.rows().empty());
}

TEST_F(ListingJobTest, AStopEndsTheListingBeforeTheNextEntryAndKeepsItsRows) {
  MakeArchive({Voice("a", 8000, 1), Voice("b", 8000, 1), Voice("c", 8000, 1)});
  window_.OnTitle([this](const std::string& title) {
    if (title.ends_with(" 2/3")) state_.running = 0;
  });
  List();
  EXPECT_EQ(window_.rows().size(), 2u);
  const Calls tail(window_.calls().end() - 6, window_.calls().end());
  EXPECT_EQ(tail, (Calls{"progress range 0 100", "progress 0", "title こわき", "enable 1001",
                         "enable 1004", "enable 1006"}));
  EXPECT_EQ(state_.running.load(), 0);
}

TEST_F(ListingJobTest, RunsOnAWorkerAndClearsRunningLast) {
  MakeArchive({Voice("a", 8000, 1), Voice("b", 16000, 2)});
  ASSERT_TRUE(StartWorker(&state_, ListingJob));
  JoinWorker(&state_);
  EXPECT_TRUE(WorkerEnded(state_));
  EXPECT_EQ(state_.running.load(), 0);
  EXPECT_EQ(window_.rows().size(), 2u);
}

TEST_F(ListingJobTest, ChainedStreamsShowTheirFirstLinkAndWholeLength) {
  MakeArchive({{"chain", VorbisClip(22050, 1, 0.5, 1) + VorbisClip(44100, 2, 0.5, 2)}});
  List();
  ASSERT_EQ(window_.rows().size(), 1u);
  EXPECT_EQ(window_.rows()[0].cells[2], "1.00");
  EXPECT_EQ(window_.rows()[0].cells[3], "1");
  EXPECT_EQ(window_.rows()[0].cells[4], "22050");
}

TEST_F(ListingJobTest, EntriesOfMoreThanTwoChannelsAreListed) {
  MakeArchive({Voice("six", 48000, 6)});
  List();
  ASSERT_EQ(window_.rows().size(), 1u);
  EXPECT_EQ(window_.rows()[0].cells[3], "6");
}

// Listed on several threads, the window sees exactly what one thread
// shows it, whether the listing runs to its end or is stopped part way.
TEST_F(ListingJobTest, EveryThreadCountGivesTheWindowTheSameCalls) {
  std::vector<Clip> clips = Voices(12, 8000, 0.2);
  clips[3] = {"junk", std::string(500, 'x')};
  clips[7] = {"empty", ""};
  MakeArchive(clips);
  for (const char* stop_at : {"", " 1/12", " 5/12", " 11/12"}) {
    std::vector<Calls> logs;
    for (int32_t threads : {1, 4}) {
      window_ = RecordingWindow{};
      state_.threads = threads;
      window_.OnTitle([&](const std::string& title) {
        if (*stop_at && title.ends_with(stop_at)) state_.running = 0;
      });
      List();
      logs.push_back(window_.calls());
    }
    EXPECT_EQ(logs[0], logs[1]) << "stopped at" << stop_at;
  }
}

}  // namespace
}  // namespace kowaki::test
