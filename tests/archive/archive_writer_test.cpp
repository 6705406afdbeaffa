#include "archive/archive_writer.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "archive/archive_index.h"
#include "tests/support/files.h"
#include "tests/support/why.h"
#include "text/catalogue.h"

namespace kowaki {
namespace {

TEST(ArchiveWriterTest, WhatItWritesLoadsBack) {
  test::TempDir dir;
  const std::string clip = dir.File("clip.ogg");
  test::WriteBytes(clip, "file data");
  ArchiveWriter writer;
  ASSERT_EQ(test::Why(writer.AddBytes("first", "abc")), "");
  ASSERT_EQ(test::Why(writer.AddFile("\x82\xb1\x82\xa6", clip)), "");
  ASSERT_EQ(test::Why(writer.AddBytes("empty", "")), "");
  ASSERT_EQ(test::Why(writer.AddBytes("12345678", "last")), "");
  ASSERT_EQ(test::Why(writer.set_header_word(0x00123456)), "");
  const std::string path = dir.File("voice.arc");
  ASSERT_EQ(test::Why(writer.Write(path)), "");

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
  SetLanguage(Language::kEnglish);
  ArchiveWriter writer;
  EXPECT_EQ(test::Why(writer.AddBytes("", "x")), "an entry name must be 1 to 8 bytes long, not 0");
  EXPECT_EQ(test::Why(writer.AddBytes("ninebytes", "x")),
            "an entry name must be 1 to 8 bytes long, not 9");
  EXPECT_EQ(test::Why(writer.AddBytes(std::string("a\0b", 3), "x")),
            "an entry name cannot contain a zero byte");
  EXPECT_EQ(writer.size(), 0u);
  EXPECT_EQ(test::Why(writer.set_header_word(0x01000000)), "the header word's top byte must be 0");
}

TEST(ArchiveWriterTest, HoldsAtMostTheLargestCount) {
  SetLanguage(Language::kEnglish);
  ArchiveWriter writer;
  for (uint32_t i = 0; i < kArchiveMaxEntries; ++i) {
    ASSERT_EQ(test::Why(writer.AddBytes("e", "")), "") << i;
  }
  EXPECT_EQ(test::Why(writer.AddBytes("e", "")), "an archive holds at most 1048576 entries");
  EXPECT_EQ(writer.size(), kArchiveMaxEntries);
}

TEST(ArchiveWriterTest, RefusesInputsItCannotRead) {
  SetLanguage(Language::kEnglish);
  test::TempDir dir;
  ArchiveWriter writer;
  EXPECT_EQ(test::Why(writer.AddFile("gone", dir.File("missing.ogg"))),
            "cannot read " + dir.File("missing.ogg"));
  EXPECT_FALSE(writer.AddFile("dir", dir.path().string()));
  EXPECT_EQ(writer.size(), 0u);
}

TEST(ArchiveWriterTest, FailureLeavesTheDestinationAsItWas) {
  SetLanguage(Language::kEnglish);
  test::TempDir dir;
  const std::string input = dir.File("clip.ogg");
  const std::string path = dir.File("voice.arc");
  test::WriteBytes(input, "clip");
  test::WriteBytes(path, "previous archive");
  ArchiveWriter writer;
  ASSERT_EQ(test::Why(writer.AddBytes("a", std::string(100000, 'a'))), "");
  ASSERT_EQ(test::Why(writer.AddFile("clip", input)), "");
  std::remove(input.c_str());  // gone before it is copied

  EXPECT_FALSE(writer.Write(path));
  EXPECT_EQ(test::ReadBytes(path), "previous archive");
  EXPECT_EQ(dir.List(), std::vector<std::string>{"voice.arc"});

  test::WriteBytes(input, "clip grew");  // changed size since it was added
  EXPECT_EQ(test::Why(writer.Write(path)), input + " changed while it was being packed");
  EXPECT_EQ(test::ReadBytes(path), "previous archive");
}

TEST(ArchiveWriterTest, ReplacesAnExistingArchive) {
  test::TempDir dir;
  const std::string path = dir.File("voice.arc");
  test::WriteBytes(path, "old");
  ArchiveWriter writer;
  ASSERT_EQ(test::Why(writer.AddBytes("a", "new")), "");
  ASSERT_EQ(test::Why(writer.Write(path)), "");
  EXPECT_EQ(test::ReadBytes(path).substr(16 + 17), "new");
  EXPECT_EQ(dir.List(), std::vector<std::string>{"voice.arc"});
}

}  // namespace
}  // namespace kowaki
