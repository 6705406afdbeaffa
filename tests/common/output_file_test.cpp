#include "common/output_file.h"

#include <gtest/gtest.h>

#include "tests/support/files.h"

namespace kowaki {
namespace {

TEST(OutputFileTest, AppearsOnlyWhenCommitted) {
  test::TempDir dir;
  const std::string path = dir.File("out.bin");
  test::WriteBytes(path, "old");
  {
    OutputFile out;
    std::string error;
    ASSERT_TRUE(out.Open(path, &error)) << error;
    EXPECT_FALSE(out.is_device());
    ASSERT_TRUE(out.Write("new data", 8));
    ASSERT_TRUE(out.Write(nullptr, 0));
    ASSERT_TRUE(out.Seek(0) && out.Write("N", 1));
    EXPECT_EQ(test::ReadBytes(path), "old");  // not yet
  }
  EXPECT_EQ(test::ReadBytes(path), "old");  // dropped without a commit
  EXPECT_EQ(dir.List(), std::vector<std::string>{"out.bin"});

  OutputFile out;
  std::string error;
  ASSERT_TRUE(out.Open(path, &error));
  ASSERT_TRUE(out.Write("new data", 8) && out.Seek(0) && out.Write("N", 1) && out.Flush());
  ASSERT_TRUE(out.Commit(&error)) << error;
  EXPECT_EQ(test::ReadBytes(path), "New data");
  EXPECT_EQ(dir.List(), std::vector<std::string>{"out.bin"});
}

TEST(OutputFileTest, RefusesAFolderAndAMissingOne) {
  test::TempDir dir;
  OutputFile out;
  std::string error;
  EXPECT_FALSE(out.Open(dir.path().string(), &error));
  EXPECT_FALSE(out.Open(dir.File("no/such/folder.bin"), &error));
  EXPECT_FALSE(out.is_open());
}

TEST(OutputFileTest, WritesADeviceInPlace) {
  const std::string device = platform::KindOfPath("/dev/null") == platform::PathKind::kDevice
                                 ? "/dev/null"
                             : platform::KindOfPath("NUL") == platform::PathKind::kDevice ? "NUL"
                                                                                          : "";
  if (device.empty()) GTEST_SKIP() << "no null device";
  OutputFile out;
  std::string error;
  ASSERT_TRUE(out.Open(device, &error)) << error;
  EXPECT_TRUE(out.is_device());
  EXPECT_TRUE(out.Write("data", 4));
  EXPECT_TRUE(out.Commit(&error)) << error;
  EXPECT_EQ(platform::KindOfPath(device), platform::PathKind::kDevice);  // not replaced by a file
}

}  // namespace
}  // namespace kowaki
