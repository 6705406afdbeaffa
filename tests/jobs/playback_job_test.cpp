// The playback job through the recording window, playing on the
// simulated device: titles, progress, stops, failures and what reaches
// the device.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "jobs/playback_job.h"
#include "tests/audio/simulated_wave_out.h"
#include "tests/jobs/job_fixture.h"

namespace kowaki::test {
namespace {

using Calls = std::vector<std::string>;

// The formats of the devices opened, as rate/channels/block align.
Calls Formats(SimulatedWaveOut& device) {
  Calls formats;
  for (const PcmFormat& f : device.Opened()) {
    formats.push_back(std::to_string(f.samples_per_sec) + "/" + std::to_string(f.channels) + "/" +
                      std::to_string(f.block_align));
  }
  return formats;
}

class PlaybackJobTest : public JobTest {
 protected:
  PlaybackResult Play(SimulatedWaveOut& device, PlaybackControl* control = nullptr) {
    started_at_ = window_.calls().size();
    window_.StartJob(Control::kPlay);
    state_.running = 1;
    PlaybackSetup setup;
    setup.make_player = device.Players();
    setup.control = control;
    return RunPlayback(&state_, setup);
  }
  PlaybackResult Play() { return Play(device_); }
  // The progress positions the job set, and its ranges.
  std::vector<int64_t> Progress() const {
    std::vector<int64_t> positions;
    for (const std::string& call : JobCalls()) {
      if (call.starts_with("progress ") && !call.starts_with("progress range")) {
        positions.push_back(std::stoll(call.substr(9)));
      }
    }
    return positions;
  }
  Calls Titles() const { return Only("title "); }
  Calls Ranges() const { return Only("progress range"); }
  Calls Only(std::string_view prefix) const {
    Calls only;
    for (const std::string& call : JobCalls()) {
      if (call.starts_with(prefix)) only.push_back(call);
    }
    return only;
  }
  // The calls since the job started.
  Calls JobCalls() const {
    return Calls(window_.calls().begin() + static_cast<ptrdiff_t>(started_at_),
                 window_.calls().end());
  }

  SimulatedWaveOut device_{{.finish_at_once = true}};
  size_t started_at_ = 0;
};

TEST_F(PlaybackJobTest, ThreeEntriesPlayInListOrderWithoutAMessage) {
  ListAndSelectAll({Voice("a22", 22050, 1), Voice("b44", 44100, 2), Voice("c08", 8000, 1)});
  const PlaybackResult result = Play();
  EXPECT_EQ(result.selected, 3);
  EXPECT_EQ(result.started, 3);
  EXPECT_EQ(result.played, 3);
  EXPECT_TRUE(window_.Calls("message").empty());
  EXPECT_TRUE(device_.Played() == Decoded(0) + Decoded(1) + Decoded(2));
  EXPECT_EQ(Formats(device_), (Calls{"22050/1/2", "44100/2/4", "8000/1/2"}));
  EXPECT_EQ(device_.Closes(), 3);

  const Calls calls = JobCalls();
  const Calls start = {"selected count 3", "next selected -1 0", "entry of 0 0",
                       "title こわき : a22 再生中 1/3", "progress range 0 6615"};
  EXPECT_EQ(Calls(calls.begin(), calls.begin() + 5), start);
  EXPECT_EQ(window_.Calls("title"),
            (Calls{"title こわき : リスト更新中 0/3", "title こわき : リスト更新中 1/3",
                   "title こわき : リスト更新中 2/3", "title こわき : リスト更新中 3/3",
                   "title こわき", "title こわき : a22 再生中 1/3", "title こわき : b44 再生中 2/3",
                   "title こわき : c08 再生中 3/3", "title こわき"}));
  EXPECT_EQ(Tail(6), (Calls{"next selected 2 -1", "title こわき", "enable 1002", "enable 1001",
                            "button 1004 再生", "enable 1006"}));
  EXPECT_EQ(state_.running.load(), 0);
}

TEST_F(PlaybackJobTest, TheProgressBarFollowsThePositionAndReturnsToZero) {
  ListAndSelectAll({Voice("long", 22050, 2, 1.0)});
  Play();
  EXPECT_EQ(Ranges(), Calls{"progress range 0 22050"});
  // Every block is played as it is written: the bar follows the blocks
  // decoded, up to the whole length, and goes back to 0.
  const std::vector<int64_t> progress = Progress();
  ASSERT_GE(progress.size(), 3u);
  EXPECT_GT(progress[0], 0);
  EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end() - 1));
  EXPECT_EQ(std::adjacent_find(progress.begin(), progress.end() - 1),
            progress.end() - 1);  // each block moves it
  EXPECT_EQ(progress[progress.size() - 2], 22050);
  EXPECT_EQ(progress.back(), 0);
}

TEST_F(PlaybackJobTest, AStopDuringTheSecondOfFiveCutsItOffAndReportsThree) {
  ListAndSelectAll(Voices(5, 8000));
  window_.OnTitle([this](const std::string& title) {
    if (title.ends_with(" 2/5")) state_.running = 0;  // the stop button
  });
  const PlaybackResult result = Play();
  EXPECT_EQ(result.started, 2);
  EXPECT_EQ(result.played, 2);
  EXPECT_EQ(window_.Calls("message"), Calls{"message 警告: 3 を残して再生を中断しました"});
  // One block of the second entry, then the sound is cut off.
  const std::string played = device_.Played();
  const std::string first = Decoded(0);
  const std::string second = Decoded(1);
  EXPECT_TRUE(played.starts_with(first));
  EXPECT_GT(played.size(), first.size());
  EXPECT_LE(played.size(), first.size() + 2048 * 2);
  EXPECT_TRUE(second.starts_with(played.substr(first.size())));
  EXPECT_EQ(device_.Opened().size(), 2u);
  EXPECT_FALSE(device_.Open());
  EXPECT_TRUE(window_.Idle());
  EXPECT_EQ(state_.running.load(), 0);
}

TEST_F(PlaybackJobTest, AStopDuringTheLastEntryBringsNoMessage) {
  ListAndSelectAll(Voices(3, 8000));
  window_.OnTitle([this](const std::string& title) {
    if (title.ends_with(" 3/3")) state_.running = 0;
  });
  const PlaybackResult result = Play();
  EXPECT_EQ(result.started, 3);
  EXPECT_EQ(result.played, 3);
  EXPECT_TRUE(window_.Calls("message").empty());
  EXPECT_TRUE(window_.Idle());
}

TEST_F(PlaybackJobTest, WithoutASoundDeviceEveryEntryFails) {
  ListAndSelectAll(Voices(3, 8000));
  SimulatedWaveOut absent({.present = false});
  const PlaybackResult result = Play(absent);
  EXPECT_EQ(result.started, 3);
  EXPECT_EQ(result.played, 0);
  EXPECT_EQ(window_.Calls("message"), Calls{"message 警告: 3 中 3 の再生に失敗しました"});
  EXPECT_TRUE(Ranges().empty());
  EXPECT_EQ(Titles(), (Calls{"title こわき : e0 再生中 1/3", "title こわき : e1 再生中 2/3",
                             "title こわき : e2 再生中 3/3", "title こわき"}));
  EXPECT_TRUE(window_.Idle());
}

// No device, a format the device refuses and an entry that is no Ogg
// Vorbis are each their own reason.
TEST_F(PlaybackJobTest, AnEntryThatDoesNotPlaySaysWhy) {
  MakeArchive({Voice("a", 8000, 1), {"junk", "not audio"}});
  window_.AddRows(2);  // rows left from an archive where entry 1 was fine
  window_.SelectAll();
  SimulatedWaveOut absent({.present = false});
  SimulatedWaveOut refusing({.takes_formats = false});
  const std::pair<SimulatedWaveOut*, EntryProblem> cases[] = {
      {&absent, EntryProblem::kNoDevice}, {&refusing, EntryProblem::kFormatRefused}};
  for (const auto& [device, problem] : cases) {
    const PlaybackResult result = Play(*device);
    ASSERT_EQ(result.entries.size(), 2u);
    EXPECT_EQ(result.entries[0].problem, problem);
    EXPECT_EQ(result.entries[1].problem, EntryProblem::kNotAudio);
  }
}

TEST_F(PlaybackJobTest, EntriesThatDoNotOpenFailAndTheOthersPlay) {
  MakeArchive({Voice("a", 8000, 1), {"junk", "not vorbis"}, Voice("c", 8000, 1)});
  window_.AddRows(4);  // rows left from another archive; row 3 names no entry
  window_.Select({1, 2, 3});
  const PlaybackResult result = Play();
  EXPECT_EQ(result.played, 1);
  EXPECT_EQ(window_.Calls("message"), Calls{"message 警告: 3 中 2 の再生に失敗しました"});
  EXPECT_EQ(Titles(), (Calls{"title こわき : junk 再生中 1/3", "title こわき : c 再生中 2/3",
                             "title こわき :  再生中 3/3", "title こわき"}));
  EXPECT_TRUE(device_.Played() == Decoded(2));
}

TEST_F(PlaybackJobTest, AStopIsSeenWhileTheLastBuffersPlayOut) {
  ListAndSelectAll(Voices(1, 8000, 0.5));
  SimulatedWaveOut device;  // buffers never finish
  PlaybackSetup setup;
  setup.make_player = device.Players();
  started_at_ = window_.calls().size();
  ASSERT_TRUE(StartWorker(&state_, [&setup](AppState* state) { RunPlayback(state, setup); }));
  // Two buffers queued; the drain waits 100 ms at a time.
  while (device.Queued() < 2) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  std::this_thread::sleep_for(std::chrono::milliseconds(250));
  EXPECT_FALSE(WorkerEnded(state_));
  state_.running = 0;
  JoinWorker(&state_);
  EXPECT_EQ(device.Resets(), 1);  // cut off
  EXPECT_EQ(device.Queued(), 0u);
  EXPECT_TRUE(device.Played().empty());
  EXPECT_GE(Progress().size(), 4u);  // two blocks, a drain wait or more, the end
  EXPECT_TRUE(window_.Calls("message").empty());
  EXPECT_TRUE(window_.Idle());
}

TEST_F(PlaybackJobTest, EntriesOfMoreThanTwoChannelsPlayWhole) {
  ListAndSelectAll({Voice("six", 48000, 6, 0.5)});
  EXPECT_EQ(Play().played, 1);
  EXPECT_EQ(Formats(device_), Calls{"48000/6/12"});
  EXPECT_TRUE(device_.Played() == Decoded(0));
}

TEST_F(PlaybackJobTest, ChainedStreamsPlayEachLinkInItsOwnFormat) {
  ListAndSelectAll({{"chain", VorbisClip(44100, 2, 0.5, 1) + VorbisClip(22050, 1, 0.5, 2)}});
  EXPECT_EQ(Play().played, 1);
  EXPECT_EQ(Formats(device_), (Calls{"44100/2/4", "22050/1/2"}));
  EXPECT_TRUE(device_.Played() == Decoded(0));
  // The bar goes on from where the first link ended to the whole length.
  const std::vector<int64_t> progress = Progress();
  EXPECT_EQ(Ranges(), Calls{"progress range 0 33075"});
  EXPECT_EQ(progress[progress.size() - 2], 33075);
  EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end() - 1));
}

// 16-bit samples at half their level, as a volume of 50 makes them.
std::string AtHalf(std::string pcm) {
  for (size_t at = 0; at + 1 < pcm.size(); at += 2) {
    const auto sample = static_cast<int16_t>(static_cast<uint8_t>(pcm[at]) |
                                             static_cast<uint8_t>(pcm[at + 1]) << 8);
    const auto half = static_cast<uint16_t>(sample / 2);
    pcm[at] = static_cast<char>(half & 0xFF);
    pcm[at + 1] = static_cast<char>(half >> 8);
  }
  return pcm;
}

TEST_F(PlaybackJobTest, AControlSeeksTurnsTheVolumeDownAndSkipsToTheNextEntry) {
  ListAndSelectAll(Voices(2, 8000, 0.5));
  PlaybackControl control;
  control.seek_ms = 250;  // to frame 2000 of 4000
  control.volume = 50;
  window_.OnTitle([&control](const std::string& title) {
    if (title.ends_with(" 2/2")) control.next = true;
  });
  const PlaybackResult result = Play(device_, &control);
  EXPECT_EQ(result.played, 2);
  EXPECT_TRUE(device_.Played() == AtHalf(Decoded(0).substr(2000 * 2)));
  EXPECT_EQ(Progress().front(), 2000);  // the bar follows the seek at once
  EXPECT_EQ(device_.Opened().size(), 2u);
  EXPECT_FALSE(control.next);
  EXPECT_TRUE(window_.Calls("message").empty());
  EXPECT_TRUE(window_.Idle());
}

TEST_F(PlaybackJobTest, APauseHoldsTheSoundAtTheDeviceUntilItIsLifted) {
  ListAndSelectAll(Voices(1, 8000, 0.5));
  PlaybackControl control;
  control.paused = true;
  PlaybackSetup setup;
  setup.make_player = device_.Players();
  setup.control = &control;
  ASSERT_TRUE(StartWorker(&state_, [&setup](AppState* state) { RunPlayback(state, setup); }));
  while (device_.Pauses() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_TRUE(device_.Paused());
  EXPECT_TRUE(device_.Played().empty());
  EXPECT_FALSE(WorkerEnded(state_));
  control.paused = false;
  JoinWorker(&state_);
  EXPECT_TRUE(device_.Played() == Decoded(0));
  EXPECT_EQ(device_.Pauses(), 1);
}

}  // namespace
}  // namespace kowaki::test
