#include "archive/archive_index.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "tests/support/files.h"

namespace kowaki {
namespace {

using test::ArchiveHeader;
using test::Record;
using Cause = ArchiveLoadError::Cause;

class ArchiveIndexTest : public ::testing::Test {
 protected:
  ArchiveLoad Load(std::string_view bytes) {
    const std::string path = dir_.File("voice.arc");
    test::WriteBytes(path, bytes);
    return LoadArchiveIndex(path.c_str());
  }
  test::TempDir dir_;
};

TEST_F(ArchiveIndexTest, LoadsEveryFieldInFileOrder) {
  std::string bytes = ArchiveHeader(1, 0x00ABCDEF, 3, 16);
  bytes += Record("first", 10, 67);
  bytes += Record("\x82\xb1\x82\xa6\x30\x31", 0, 77);   // code page 932 bytes kept as they are
  bytes += Record("eightchr", 0xFFFFFFFF, 0xFFFFFFF0);  // beyond the file: still loads
  bytes += std::string(10, 'x');
  std::string path = dir_.File("voice.arc");
  test::WriteBytes(path, bytes);

  const ArchiveIndexPtr index = test::LoadIndex(path);
  ASSERT_TRUE(index);
  // A copy of its own of the path.
  const std::string original = path;
  path.assign(path.size(), 'z');
  EXPECT_EQ(std::string(index->path), original);
  EXPECT_EQ(index->header_word, 0x00ABCDEFu);
  ASSERT_EQ(index->count, 3);
  EXPECT_STREQ(index->entries[0].name, "first");
  EXPECT_EQ(index->entries[0].size, 10u);
  EXPECT_EQ(index->entries[0].offset, 67u);
  EXPECT_STREQ(index->entries[1].name, "\x82\xb1\x82\xa6\x30\x31");
  EXPECT_STREQ(index->entries[2].name, "eightchr");
  EXPECT_EQ(index->entries[2].size, 0xFFFFFFFFu);
  EXPECT_EQ(index->entries[2].offset, 0xFFFFFFF0u);
}

TEST_F(ArchiveIndexTest, NameBytesAfterTheZeroAreKept) {
  // The name field is copied whole; only its ninth byte must be zero.
  const ArchiveLoad index =
      Load(ArchiveHeader(1, 0, 1, 16) + Record(std::string("ab\0cdefg\0", 9), 1, 2));
  ASSERT_TRUE(index);
  EXPECT_EQ(std::memcmp((*index)->entries[0].name, "ab\0cdefg\0", 9), 0);
}

TEST_F(ArchiveIndexTest, RejectsBadHeaders) {
  const std::string table = Record("a", 1, 33);
  struct Case {
    const char* what;
    std::string bytes;
    Cause cause;
    uint64_t value;
  } cases[] = {
      {"empty file", "", Cause::kTooShort, 0},
      {"15-byte file", ArchiveHeader(1, 0, 0, 16).substr(0, 15), Cause::kTooShort, 0},
      {"version 0", ArchiveHeader(0, 0, 1, 16) + table, Cause::kVersion, 0},
      {"version 2", ArchiveHeader(2, 0x01000000, 1, 17) + table, Cause::kVersion, 2},
      {"byte 7 set", ArchiveHeader(1, 0x01000000, 1, 16) + table, Cause::kHeaderWordTop, 1},
      {"count above the limit", ArchiveHeader(1, 0, 0x100001, 17) + table, Cause::kTooManyEntries,
       0x100001},
      {"count with its top bit set", ArchiveHeader(1, 0, 0x80000001, 16) + table,
       Cause::kTooManyEntries, 0x80000001},
      {"table at 17", ArchiveHeader(1, 0, 1, 17) + "x" + table, Cause::kTableOffset, 17},
      {"table at 0", ArchiveHeader(1, 0, 1, 0) + table, Cause::kTableOffset, 0},
  };
  for (const Case& c : cases) {
    const ArchiveLoad loaded = Load(c.bytes);
    ASSERT_FALSE(loaded) << c.what;
    EXPECT_EQ(loaded.failure().cause, c.cause) << c.what;
    EXPECT_EQ(loaded.failure().value, c.value) << c.what;
  }
  // The other three bytes of the header word are free; no entries at all is fine.
  EXPECT_TRUE(Load(ArchiveHeader(1, 0x00FFFFFF, 1, 16) + table));
  const ArchiveLoad empty = Load(ArchiveHeader(1, 0, 0, 16));
  ASSERT_TRUE(empty);
  EXPECT_EQ((*empty)->count, 0);
}

TEST_F(ArchiveIndexTest, NineByteNameAnywhereRejectsTheArchive) {
  for (int bad : {0, 1, 4}) {
    std::string bytes = ArchiveHeader(1, 0, 5, 16);
    for (int i = 0; i < 5; ++i) {
      bytes += Record(i == bad ? "ninebytes" : "ok", 1, 0);
    }
    const ArchiveLoad loaded = Load(bytes);
    ASSERT_FALSE(loaded) << "bad record " << bad;
    EXPECT_EQ(loaded.failure().cause, Cause::kNameUnended);
    EXPECT_EQ(loaded.failure().value, static_cast<uint64_t>(bad));
  }
}

TEST_F(ArchiveIndexTest, RejectsTableCutShort) {
  std::string bytes = ArchiveHeader(1, 0, 3, 16) + Record("a", 1, 0) + Record("b", 1, 0);
  const ArchiveLoad cut = Load(bytes + Record("c", 1, 0).substr(0, 16));
  ASSERT_FALSE(cut);
  EXPECT_EQ(cut.failure().cause, Cause::kShortTable);
  EXPECT_EQ(cut.failure().value, 16u + 2 * 17 + 16);
  EXPECT_EQ(cut.failure().needed, 16u + 3 * 17);
  EXPECT_FALSE(Load(bytes));
  EXPECT_TRUE(Load(bytes + Record("c", 1, 0)));
}

TEST_F(ArchiveIndexTest, RejectsWhatCannotBeOpened) {
  const ArchiveLoad missing = LoadArchiveIndex(dir_.File("missing.arc").c_str());
  ASSERT_FALSE(missing);
  EXPECT_EQ(missing.failure().cause, Cause::kCannotOpen);
  EXPECT_EQ(missing.failure().system_error, ENOENT);
  const ArchiveLoad folder = LoadArchiveIndex(dir_.path().string().c_str());
  ASSERT_FALSE(folder);
  EXPECT_EQ(folder.failure().cause, Cause::kFolder);
  EXPECT_FALSE(LoadArchiveIndex(nullptr));
}

TEST_F(ArchiveIndexTest, LargestCountLoadsAndOneMoreDoesNot) {
  constexpr uint32_t kMax = 0x100000;
  std::string table;
  table.reserve(size_t{kMax} * 17);
  for (uint32_t i = 0; i < kMax; ++i) {
    char name[9] = {};
    std::snprintf(name, sizeof name, "%07x", i);
    table += Record(std::string_view(name, 8), i, ~i);
  }
  const ArchiveLoad loaded = Load(ArchiveHeader(1, 0, kMax, 16) + table);
  ASSERT_TRUE(loaded);
  const ArchiveIndex* index = loaded->get();
  ASSERT_EQ(index->count, static_cast<int32_t>(kMax));
  // Widening in place must not have disturbed any record.
  for (uint32_t i = 0; i < kMax; ++i) {
    char name[9] = {};
    std::snprintf(name, sizeof name, "%07x", i);
    const ArchiveEntry& entry = index->entries[i];
    if (std::strcmp(entry.name, name) != 0 || entry.size != i || entry.offset != ~i) {
      ADD_FAILURE() << "record " << i << " is " << entry.name << " " << entry.size << " "
                    << entry.offset;
      break;
    }
  }
  EXPECT_FALSE(Load(ArchiveHeader(1, 0, kMax + 1, 16) + table + Record("x", 0, 0)));
}

}  // namespace
}  // namespace kowaki
