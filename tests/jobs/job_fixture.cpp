#include "tests/jobs/job_fixture.h"

#include <algorithm>

#include "archive/archive_writer.h"
#include "archive/entry_vorbis.h"
#include "jobs/listing_job.h"
#include "settings/output_settings.h"
#include "tests/support/why.h"

namespace kowaki::test {

Clip Voice(std::string name, int rate, int channels, double seconds) {
  return {std::move(name), VorbisClip(rate, channels, seconds)};
}

std::vector<Clip> Voices(int count, int rate, double seconds) {
  std::vector<Clip> clips;
  for (int i = 0; i < count; ++i) clips.push_back(Voice("e" + std::to_string(i), rate, 1, seconds));
  return clips;
}

ExportSetup JobTest::ReadyExport(int32_t type, int32_t frq, int32_t ch, bool merge,
                                 const std::string& into) {
  SetSettings(type, frq, ch, merge ? 1 : 0);
  window_.folder_answer = into;
  window_.save_answer = into;
  window_.StartJob(Control::kOutput);
  state_.running = 1;
  ExportSetup setup;
  setup.settings = &settings_;
  return setup;
}

void JobTest::MakeArchive(const std::vector<Clip>& clips) {
  clips_ = clips;
  ArchiveWriter writer;
  for (const Clip& clip : clips) ASSERT_EQ(test::Why(writer.AddBytes(clip.name, clip.data)), "");
  const std::string path = dir_.File("voice.arc");
  // Closed first: Windows replaces no file that is open.
  state_.index.reset();
  ASSERT_EQ(test::Why(writer.Write(path)), "");
  state_.index = test::LoadIndex(path);
  ASSERT_TRUE(state_.index);
  state_.window = &window_;
}

void JobTest::List() {
  state_.running = 1;
  ListingJob(&state_);
}

void JobTest::ListAndSelectAll(const std::vector<Clip>& clips) {
  MakeArchive(clips);
  List();
  window_.SelectAll();
}

void JobTest::SetSettings(int32_t type, int32_t frq, int32_t ch, int32_t merge) {
  SaveOutputSettings(settings_, {type, frq, ch, merge});
}

std::string JobTest::Decoded(int32_t entry) {
  OggVorbis_File vf;
  EXPECT_TRUE(OpenEntryVorbis(state_.index.get(), entry, &vf));
  ov_pcm_seek(&vf, 0);  // from the first link of chained streams
  std::string pcm = ReadPcm(&vf);
  ov_clear(&vf);
  return pcm;
}

std::vector<std::string> JobTest::Tail(size_t n) const {
  const auto& calls = window_.calls();
  return std::vector<std::string>(calls.end() - static_cast<ptrdiff_t>(std::min(n, calls.size())),
                                  calls.end());
}

}  // namespace kowaki::test
