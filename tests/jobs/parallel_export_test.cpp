// The export on several threads against the export on one: the same
// files, byte for byte, the same messages, titles and progress, in every
// mode, run to its end or stopped part way.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "jobs/export_job.h"
#include "settings/output_settings.h"
#include "tests/jobs/job_fixture.h"

namespace kowaki::test {
namespace {

using Calls = std::vector<std::string>;

// What a run leaves: the files in its folder with their bytes, the window
// calls a user sees, and the counts.
struct Outcome {
  std::map<std::string, std::string> files;
  Calls seen;
  int32_t processed = 0;
  int32_t succeeded = 0;
  int32_t damaged = 0;
  bool operator==(const Outcome&) const = default;
};

class ParallelExportTest : public JobTest {
 protected:
  // Entries of every kind the export meets: rates and channel counts that
  // differ, two names that clash, chained streams in two formats, six
  // channels (which no stereo file takes), and an entry cut short by the
  // archive's end, which is written as far as it goes, damaged.
  void SetUp() override {
    std::vector<Clip> clips = {
        Voice("a", 22050, 1),
        Voice("b", 44100, 2),
        Voice("A", 8000, 1),
        {"chain", VorbisClip(22050, 1, 0.4, 1) + VorbisClip(44100, 2, 0.4, 2)},
        Voice("six", 48000, 6),
        Voice("a", 16000, 1)};
    for (int i = 0; i < 6; ++i) clips.push_back(Voice("v" + std::to_string(i), 11025, 1 + i % 2));
    clips.push_back(Voice("cut", 22050, 1, 1.0));
    MakeArchive(clips);
    const std::string archive = dir_.File("voice.arc");
    const std::string bytes = ReadBytes(archive);
    WriteBytes(archive, bytes.substr(0, bytes.size() - 400));
    state_.index = test::LoadIndex(archive);
    List();
    window_.SelectAll();
  }

  Outcome Run(int32_t threads, const OutputSettings& settings, const std::string& stop_at) {
    auto folder = std::make_unique<TempDir>();
    window_.folder_answer = folder->path().string();
    window_.save_answer = folder->File("all.wav");
    window_.OnTitle([&](const std::string& title) {
      if (!stop_at.empty() && title.ends_with(stop_at)) state_.running = 0;
    });
    SaveOutputSettings(settings_, settings);
    const size_t from = window_.calls().size();
    state_.threads = threads;
    state_.running = 1;
    ExportSetup setup;
    setup.settings = &settings_;
    const ExportResult result = RunExport(&state_, setup);
    Outcome outcome{{}, {}, result.processed, result.succeeded, result.damaged};
    for (const std::string& name : folder->List()) {
      outcome.files[name] = ReadBytes(folder->File(name));
    }
    for (size_t i = from; i < window_.calls().size(); ++i) {
      const std::string& call = window_.calls()[i];
      if (call.starts_with("title") || call.starts_with("progress") ||
          call.starts_with("message")) {
        outcome.seen.push_back(call);
      }
    }
    folders_.push_back(std::move(folder));
    return outcome;
  }

  std::vector<std::unique_ptr<TempDir>> folders_;
};

TEST_F(ParallelExportTest, FourThreadsWriteWhatOneWritesInEveryMode) {
  const OutputSettings modes[] = {
      {0, -1, -1, 0}, {1, -1, -1, 0}, {1, 22050, 1, 0}, {1, -1, -1, 1}, {1, 22050, 2, 1}};
  for (const OutputSettings& mode : modes) {
    const Outcome one = Run(1, mode, "");
    EXPECT_EQ(Run(4, mode, ""), one)
        << mode.type << " " << mode.frq << " " << mode.ch << " " << mode.merge;
    EXPECT_EQ(one.damaged, 1);  // the cut entry
    EXPECT_FALSE(one.files.empty());
  }
}

TEST_F(ParallelExportTest, AStopLeavesWhatOneThreadLeavesStoppedAtTheSameEntry) {
  for (const OutputSettings& mode : {OutputSettings{1, -1, -1, 0}, OutputSettings{1, -1, -1, 1}}) {
    for (const char* stop_at : {" 1/13", " 4/13", " 12/13"}) {
      const Outcome one = Run(1, mode, stop_at);
      EXPECT_EQ(Run(4, mode, stop_at), one) << mode.merge << stop_at;
    }
  }
}

}  // namespace
}  // namespace kowaki::test
