#include "archive/archive_writer.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "archive/archive_index.h"
#include "tests/support/files.h"

namespace kowaki {
namespace {

TEST(ArchiveWriterTest, WhatItWritesLoadsBack) {
  test::TempDir dir;
  const std::string clip = dir.File("clip.ogg");
  test::WriteBytes(clip, "file data");
  ArchiveWriter writer;
  std::string error;
  ASSERT_TRUE(writer.AddBytes("first", "abc", &error));
  ASSERT_TRUE(writer.AddFile("\x82\xb1\x82\xa6", clip, &error)) << error;
  ASSERT_TRUE(writer.AddBytes("empty", "", &error));
  ASSERT_TRUE(writer.AddBytes("12345678", "last", &error));
  ASSERT_TRUE(writer.set_header_word(0x00123456, &error));
  const std::string path = dir.File("voice.arc");
  ASSERT_TRUE(writer.Write(path, &error)) << error;

  ArchiveIndexPtr index = test::LoadIndex(path);
  ASSERT_TRUE(index);
  EXPECT_EQ(index->header_word, 0x00123456u);
  ASSERT_EQ(index->count, 4);
  const std::string bytes = test::ReadBytes(path);
  const char* names[] = {"first", "\x82\xb1\x82\xa6", "empty", "12345678"};
  const char* data[] = {"abc", "file data", "", "last"};
  uint32_t expected_offset = 16 + 4 * 17;
  for (int i = 0; i < 4; ++i) {
    const ArchiveEntry& entry = index->entries[i];
    EXPECT_STREQ(entry.name, names[i]);
    EXPECT_EQ(entry.offset, expected_offset);
    EXPECT_EQ(bytes.substr(entry.offset, entry.size), data[i]);
    expected_offset += entry.size;
  }
  EXPECT_EQ(bytes.size(), expected_offset);
}

TEST(ArchiveWriterTest, RefusesUnusableNames) {
  ArchiveWriter writer;
  std::string error;
  EXPECT_FALSE(writer.AddBytes("", "x", &error));
  EXPECT_FALSE(writer.AddBytes("ninebytes", "x", &error));
  EXPECT_NE(error.find("8 bytes"), std::string::npos);
  EXPECT_FALSE(writer.AddBytes(std::string("a\0b", 3), "x", &error));
  EXPECT_EQ(writer.size(), 0u);
  EXPECT_FALSE(writer.set_header_word(0x01000000, &error));
}

TEST(ArchiveWriterTest, HoldsAtMostTheLargestCount) {
  ArchiveWriter writer;
  std::string error;
  for (uint32_t i = 0; i < kArchiveMaxEntries; ++i) {
    ASSERT_TRUE(writer.AddBytes("e", "", &error)) << i;
  }
  EXPECT_FALSE(writer.AddBytes("e", "", &error));
  EXPECT_NE(error.find("1048576"), std::string::npos);
  EXPECT_EQ(writer.size(), kArchiveMaxEntries);
}

TEST(ArchiveWriterTest, RefusesInputsItCannotRead) {
  test::TempDir dir;
  ArchiveWriter writer;
  std::string error;
  EXPECT_FALSE(writer.AddFile("gone", dir.File("missing.ogg"), &error));
  EXPECT_NE(error.find("missing.ogg"), std::string::npos);
  EXPECT_FALSE(writer.AddFile("dir", dir.path().string(), &error));
  EXPECT_EQ(writer.size(), 0u);
}

TEST(ArchiveWriterTest, FailureLeavesTheDestinationAsItWas) {
  test::TempDir dir;
  const std::string input = dir.File("clip.ogg");
  const std::string path = dir.File("voice.arc");
  test::WriteBytes(input, "clip");
  test::WriteBytes(path, "previous archive");
  ArchiveWriter writer;
  std::string error;
  ASSERT_TRUE(writer.AddBytes("a", std::string(100000, 'a'), &error));
  ASSERT_TRUE(writer.AddFile("clip", input, &error));
  std::remove(input.c_str());  // gone before it is copied

  EXPECT_FALSE(writer.Write(path, &error));
  EXPECT_EQ(test::ReadBytes(path), "previous archive");
  EXPECT_EQ(dir.List(), std::vector<std::string>{"voice.arc"});

  test::WriteBytes(input, "clip grew");  // changed size since it was added
  EXPECT_FALSE(writer.Write(path, &error));
  EXPECT_NE(error.find("changed"), std::string::npos);
  EXPECT_EQ(test::ReadBytes(path), "previous archive");
}

TEST(ArchiveWriterTest, ReplacesAnExistingArchive) {
  test::TempDir dir;
  const std::string path = dir.File("voice.arc");
  test::WriteBytes(path, "old");
  ArchiveWriter writer;
  std::string error;
  ASSERT_TRUE(writer.AddBytes("a", "new", &error));
  ASSERT_TRUE(writer.Write(path, &error)) << error;
  EXPECT_EQ(test::ReadBytes(path).substr(16 + 17), "new");
  EXPECT_EQ(dir.List(), std::vector<std::string>{"voice.arc"});
}

}  // namespace
}  // namespace kowaki
