#include "tests/jobs/job_fixture.h"

#include "archive/archive_writer.h"
#include "jobs/listing_job.h"
#include "settings/output_settings.h"

namespace kowaki::test {

Clip Voice(std::string name, int rate, int channels, double seconds) {
  return {std::move(name), VorbisClip(rate, channels, seconds)};
}

JobTest::~JobTest() { FreeArchiveIndex(state_.index); }

void JobTest::MakeArchive(const std::vector<Clip>& clips) {
  clips_ = clips;
  ArchiveWriter writer;
  std::string error;
  for (const Clip& clip : clips) ASSERT_TRUE(writer.AddBytes(clip.name, clip.data, &error)) << error;
  const std::string path = dir_.File("voice.arc");
  ASSERT_TRUE(writer.Write(path, &error)) << error;
  FreeArchiveIndex(state_.index);
  state_.index = LoadArchiveIndex(path.c_str());
  ASSERT_NE(state_.index, nullptr);
  state_.window = &window_;
}

void JobTest::List() {
  state_.running = 1;
  ListingJob(&state_);
}

void JobTest::SetSettings(int32_t type, int32_t frq, int32_t ch, int32_t merge) {
  SaveOutputSettings(settings_, {type, frq, ch, merge});
}

}  // namespace kowaki::test
