// What makes a file of a work folder look like an entry's: near names,
// and the recording's name beside an entry's file.

#include "modding/work_folder.h"

#include <gtest/gtest.h>

namespace kowaki {
namespace {

TEST(WorkFolderTest, NearNamesAreSlipsOfTheSameEntry) {
  constexpr int kFar = kNearNames + 1;
  const struct {
    const char* a;
    const char* b;
    int distance;
  } cases[] = {
      {"v_003.ogg", "v_0003.ogg", 1},  // a zero left out
      {"v_00003.ogg", "v_0003.ogg", 1},
      {"V_0003.OGG", "v_0003.ogg", 0},  // case alone
      {"v-0003.og", "v_0003.ogg", 2},
      {"v_0004.ogg", "v_0003.ogg", kFar},  // another entry's number
      {"v_0030.ogg", "v_0003.ogg", kFar},
      {"notes.txt", "v_0003.ogg", kFar},
      {"v_0003.ogg.bak", "v_0003.ogg", kFar},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(NameDistance(c.a, c.b), c.distance) << c.a << " " << c.b;
    EXPECT_EQ(NameDistance(c.b, c.a), c.distance) << c.b << " " << c.a;
  }
  EXPECT_EQ(RecordingName("v_0003.ogg"), "v_0003.wav");
  EXPECT_EQ(RecordingName("sub.d/v"), "sub.d/v.wav");
  EXPECT_EQ(RecordingName(".ogg"), ".ogg.wav");
}

}  // namespace
}  // namespace kowaki
