// Builds the demo voice archive: a dozen synthetic voice clips at mixed
// rates and channel counts, some with Japanese (Shift-JIS) names, and one
// entry that is not Ogg Vorbis.
//   make_demo_archive OUT.arc

#include <cstdio>
#include <string>

#include "archive/archive_writer.h"
#include "tools/synth.h"

namespace {

struct DemoClip {
  const char* name;  // bytes as stored: ASCII or code page 932
  int rate;
  int channels;
  double seconds;
  double pitch;
};

constexpr DemoClip kClips[] = {
    {"v_0001", 22050, 1, 1.2, 220.0},
    {"v_0002", 44100, 2, 2.0, 180.0},
    {"v_0003", 8000, 1, 0.8, 260.0},
    {"v_0004", 48000, 2, 1.5, 140.0},
    {"v_0005", 11025, 1, 1.0, 300.0},
    {"v_0006", 16000, 2, 1.1, 240.0},
    {"v_0007", 32000, 1, 0.9, 200.0},
    {"v_0008", 24000, 2, 1.3, 160.0},
    {"\x82\xb1\x82\xa6\x30\x31", 44100, 1, 1.0, 330.0},          // こえ01
    {"\x82\xa0\x82\xa2\x82\xb3\x82\xc2", 22050, 2, 1.6, 250.0},  // あいさつ
    {"\xc3\xbd\xc4", 16000, 1, 0.6, 400.0},                      // ﾃｽﾄ
    {"sys_end", 48000, 1, 0.5, 120.0},
};

int Fail(const kowaki::Failure& failure) {
  std::fprintf(stderr, "make_demo_archive: %s\n", failure.text.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: make_demo_archive OUT.arc\n", stderr);
    return 2;
  }
  kowaki::ArchiveWriter writer;
  int serial = 1;
  for (const DemoClip& clip : kClips) {
    auto pcm = kowaki::synth::Voice(clip.rate, clip.channels, clip.seconds, clip.pitch);
    auto ogg = kowaki::synth::EncodeVorbis(pcm, clip.channels, clip.rate, 0.3f, serial++);
    if (ogg.empty()) return Fail(kowaki::Failure{"encoding failed"});
    if (auto added = writer.AddBytes(clip.name, std::move(ogg)); !added)
      return Fail(added.failure());
  }
  auto made = writer.AddBytes("readme", "This entry is plain text, not a voice clip.\n");
  if (made) made = writer.Write(argv[1]);
  if (!made) return Fail(made.failure());
  return 0;
}
