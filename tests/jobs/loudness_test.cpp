// Loudness normalisation: the gain for a target under a ceiling, and the
// export's files measured again by libebur128 here.

#include <ebur128.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <limits>

#include "archive/archive_writer.h"
#include "common/little_endian.h"
#include "convert/wav_file.h"
#include "jobs/export_job.h"
#include "jobs/loudness.h"
#include "settings/output_settings.h"
#include "tests/jobs/job_fixture.h"
#include "tests/support/why.h"
#include "tools/synth.h"

namespace kowaki::test {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(GainForTest, ReachesTheTargetUnlessTheCeilingOrFullScaleStandsInTheWay) {
  const LoudnessTarget target{.integrated = -16, .true_peak = -1};
  // Quiet with room: up by the whole difference; loud: down, never limited.
  LoudnessGain gain = GainFor({.integrated = -30, .true_peak = -20, .peak = -21}, target);
  EXPECT_DOUBLE_EQ(gain.gain, 14);
  EXPECT_FALSE(gain.limited);
  gain = GainFor({.integrated = -8, .true_peak = 0.5, .peak = -0.1}, target);
  EXPECT_DOUBLE_EQ(gain.gain, -8);
  EXPECT_FALSE(gain.limited);
  // The true peak would pass the ceiling: the gain stops just under it.
  gain = GainFor({.integrated = -30, .true_peak = -6, .peak = -7}, target);
  EXPECT_DOUBLE_EQ(gain.gain, 4.95);
  EXPECT_TRUE(gain.limited);
  // A ceiling above full scale still keeps the decoded audio under it.
  gain = GainFor({.integrated = -30, .true_peak = -6, .peak = -3},
                 {.integrated = -16, .true_peak = 0});
  EXPECT_DOUBLE_EQ(gain.gain, 2.95);
  EXPECT_TRUE(gain.limited);
  // Silence has no loudness to bring anywhere.
  gain = GainFor({.integrated = -kInf, .true_peak = -kInf, .peak = -kInf}, target);
  EXPECT_DOUBLE_EQ(gain.gain, 0);
  EXPECT_FALSE(gain.limited);
}

// A voice clip at `level` (linear) of the synthetic voice's own.
Clip VoiceAt(std::string name, int rate, int channels, double level) {
  std::vector<int16_t> pcm = synth::Voice(rate, channels, 1.5, 180.0);
  for (int16_t& sample : pcm) sample = static_cast<int16_t>(std::lround(sample * level));
  return {std::move(name), synth::EncodeVorbis(pcm, channels, rate)};
}

// Surround entries are measured in Vorbis's channel order: the voice alone
// in the centre (channel 1 of 6) weighs as in a mono entry, alone in the
// left surround (channel 3) 1.5 dB more, and the LFE (channel 5) not at all.
TEST(MeasureEntryTest, SurroundChannelsWeighByTheirRoles) {
  const std::vector<int16_t> voice = synth::Voice(48000, 1, 1.5, 180.0);
  ArchiveWriter writer;
  ASSERT_EQ(Why(writer.AddBytes("mono", synth::EncodeVorbis(voice, 1, 48000))), "");
  for (const int channel : {1, 3, 5}) {
    std::vector<int16_t> six(voice.size() * 6, 0);
    for (size_t i = 0; i < voice.size(); ++i) six[i * 6 + static_cast<size_t>(channel)] = voice[i];
    ASSERT_EQ(
        Why(writer.AddBytes("six" + std::to_string(channel), synth::EncodeVorbis(six, 6, 48000))),
        "");
  }
  TempDir dir;
  ASSERT_EQ(Why(writer.Write(dir.File("voice.arc"))), "");
  const ArchiveIndexPtr index = LoadIndex(dir.File("voice.arc"));
  ASSERT_TRUE(index);
  const auto loudness = [&](int32_t entry) {
    const auto measured =
        MeasureEntry(index.get(), entry, [](const PcmFormat& source) { return source; });
    return measured ? measured->loudness.integrated : std::nan("");
  };
  const double mono = loudness(0);
  ASSERT_TRUE(std::isfinite(mono));
  EXPECT_NEAR(loudness(1), mono, 0.3);
  EXPECT_NEAR(loudness(2), mono + 1.5, 0.3);
  EXPECT_EQ(loudness(3), -kInf);
}

struct Measured {
  double integrated = 0;
  double true_peak = 0;  // dBTP
  int16_t highest = 0;   // the largest sample magnitude
};

// A WAV file measured as an independent reader would: its header's format.
Measured MeasureWav(const std::string& file) {
  const auto* bytes = reinterpret_cast<const uint8_t*>(file.data());
  const uint16_t channels = ReadLe16(bytes + 22);
  const uint32_t rate = ReadLe32(bytes + 24);
  const uint32_t size = ReadLe32(bytes + 40);
  std::vector<int16_t> samples(size / 2);
  for (size_t i = 0; i < samples.size(); ++i) {
    samples[i] = static_cast<int16_t>(ReadLe16(bytes + kWavHeaderSize + 2 * i));
  }
  ebur128_state* meter = ebur128_init(channels, rate, EBUR128_MODE_I | EBUR128_MODE_TRUE_PEAK);
  ebur128_add_frames_short(meter, samples.data(), samples.size() / channels);
  Measured measured;
  ebur128_loudness_global(meter, &measured.integrated);
  double peak = 0;
  for (uint16_t c = 0; c < channels; ++c) {
    double channel_peak = 0;
    ebur128_true_peak(meter, c, &channel_peak);
    peak = std::max(peak, channel_peak);
  }
  ebur128_destroy(&meter);
  measured.true_peak = 20 * std::log10(peak);
  for (const int16_t sample : samples) {
    measured.highest = std::max<int16_t>(measured.highest, static_cast<int16_t>(std::abs(sample)));
  }
  return measured;
}

class LoudnessExportTest : public JobTest {
 protected:
  ExportResult Export(const std::string& into, bool merge, LoudnessTarget target, bool album) {
    ExportSetup setup = ReadyExport(kOutputTypeWav, 48000, 2, merge, into);
    setup.loudness = target;
    setup.loudness_album = album;
    return RunExport(&state_, setup);
  }

  TempDir out_;
};

// Each file, converted to 48 kHz stereo, measures at the target (the quiet
// one and the loud one alike), under the ceiling, measured first on every
// core as the progress says. A target the ceiling forbids stops at it,
// without clipping.
TEST_F(LoudnessExportTest, EachEntryReachesTheTargetUnderTheCeiling) {
  state_.threads = 2;
  ListAndSelectAll({VoiceAt("quiet", 22050, 1, 0.1), VoiceAt("loud", 44100, 2, 0.9)});
  ExportResult result = Export(out_.path().string(), false, {-23, -1}, false);
  ASSERT_EQ(result.succeeded, 2);
  const std::vector<std::string>& calls = window_.calls();
  const auto measuring = std::ranges::find(calls, "title こわき : ラウドネス測定中 2/2");
  ASSERT_NE(measuring, calls.end());
  EXPECT_NE(std::find(measuring, calls.end(), "title こわき : quiet 出力中 1/2"), calls.end());
  for (const char* name : {"quiet", "loud"}) {
    SCOPED_TRACE(name);
    const Measured measured = MeasureWav(ReadBytes(out_.File(std::string(name) + ".wav")));
    EXPECT_NEAR(measured.integrated, -23, 1);
    EXPECT_LE(measured.true_peak, -1);
  }
  EXPECT_GT(result.entries[0].loudness->gain, 10);
  EXPECT_LT(result.entries[1].loudness->gain, 0);

  result = Export(out_.path().string(), false, {-5, -1}, false);
  ASSERT_EQ(result.succeeded, 2);
  for (const EntryOutcome& outcome : result.entries) {
    SCOPED_TRACE(outcome.path);
    EXPECT_TRUE(outcome.loudness->limited);
    const Measured measured = MeasureWav(ReadBytes(outcome.path));
    EXPECT_LT(measured.integrated, -6);
    EXPECT_LE(measured.true_peak, -1);
    EXPECT_NEAR(measured.true_peak, -1, 0.3);
    EXPECT_LT(measured.highest, 32767);
  }
}

// Album: one gain for all, so the entries keep their levels against each
// other, and the merge file measures at the target as a whole; track mode
// brings each entry of the merge to the target on its own.
TEST_F(LoudnessExportTest, AlbumModeGivesAllEntriesOneGain) {
  ListAndSelectAll({VoiceAt("a", 22050, 1, 0.1), VoiceAt("b", 22050, 1, 0.4)});
  std::filesystem::create_directories(out_.File("own"));
  std::filesystem::create_directories(out_.File("album"));
  ASSERT_EQ(Export(out_.File("own"), false, {-23, -1}, false).succeeded, 2);
  const ExportResult album = Export(out_.File("album"), false, {-23, -1}, true);
  ASSERT_EQ(album.succeeded, 2);
  EXPECT_EQ(album.entries[0].loudness->gain, album.entries[1].loudness->gain);
  const double before =
      album.entries[1].loudness->integrated - album.entries[0].loudness->integrated;
  EXPECT_NEAR(before, 20 * std::log10(4.0), 0.5);
  const double after = MeasureWav(ReadBytes(out_.File("album/b.wav"))).integrated -
                       MeasureWav(ReadBytes(out_.File("album/a.wav"))).integrated;
  EXPECT_NEAR(after, before, 0.1);

  ASSERT_EQ(Export(out_.File("album.wav"), true, {-16, -1}, true).succeeded, 2);
  EXPECT_NEAR(MeasureWav(ReadBytes(out_.File("album.wav"))).integrated, -16, 1);
  ASSERT_EQ(Export(out_.File("each.wav"), true, {-16, -1}, false).succeeded, 2);
  const std::string each = ReadBytes(out_.File("each.wav"));
  const size_t half = (each.size() - kWavHeaderSize) / 2 / 4 * 4;
  const std::string header = each.substr(0, kWavHeaderSize);
  for (const size_t start : {size_t{0}, half}) {
    std::string part = header + each.substr(kWavHeaderSize + start, half);
    WriteLe32(reinterpret_cast<uint8_t*>(part.data()) + 40, static_cast<uint32_t>(half));
    EXPECT_NEAR(MeasureWav(part).integrated, -16, 1);
  }
}

}  // namespace
}  // namespace kowaki::test
