// The unpack manifest: what it says of an archive, and its text read back.

#include "modding/manifest.h"

#include <gtest/gtest.h>

#include "tests/support/files.h"
#include "tests/support/why.h"
#include "text/catalogue.h"

namespace kowaki {
namespace {

using namespace std::string_view_literals;

NameField Field(std::string_view bytes) {
  NameField field{};
  std::copy(bytes.begin(), bytes.end(), field.begin());
  return field;
}

TEST(ManifestTest, EveryNameFieldReadsBackAsItsOwnBytes) {
  const std::string_view fields[] = {"v_0001",       "a b",           "%41",          "CON",
                                     "\x82\xb1\x82", "\x1b]0;\x07\n", "\xff\x00xy"sv, "",
                                     "12345678",     "\x7f%\x20"};
  for (std::string_view bytes : fields) {
    const NameField field = Field(bytes);
    const std::string text = EscapeNameField(field);
    EXPECT_EQ(text.find_first_of(" \t\r\n"), std::string::npos) << text;
    NameField back;
    ASSERT_TRUE(UnescapeNameField(text, &back)) << text;
    EXPECT_EQ(back, field) << text;
  }
  EXPECT_EQ(EscapeNameField(Field("\x82\xb1 %")), "%82%B1%20%25");
  EXPECT_EQ(EscapeNameField(Field("")), "%00");
  NameField back;
  for (std::string_view bad :
       {"", "123456789", "%4", "%G0", "a\xc3\xa9", "%00%00%00%00%00%00%00%00%00"}) {
    EXPECT_FALSE(UnescapeNameField(bad, &back)) << bad;
  }
}

// A table record with the name's bytes padded with zeros.
std::string Record(std::string_view name, uint32_t size, uint32_t offset) {
  std::string field(name);
  field.resize(kArchiveNameSize, '\0');
  return test::Record(field, size, offset);
}

TEST(ManifestTest, TellsContiguousSharedAndOutsideEntriesApart) {
  test::TempDir dir;
  // Header and 4 records take 84 bytes; then "aaaa" "bb".
  const auto image = [&](std::vector<std::string> records, std::string data) {
    std::string bytes = test::ArchiveHeader(1, 7, static_cast<uint32_t>(records.size()), 16);
    for (const std::string& record : records) bytes += record;
    test::WriteBytes(dir.File("a.arc"), bytes + data);
    return test::LoadIndex(dir.File("a.arc"));
  };
  auto index = image({Record("a", 4, 84), Record(std::string_view("b\0x", 3), 2, 88),
                      Record("z", 0, 90), Record("c", 0, 90)},
                     "aaaabb");
  ASSERT_TRUE(index);
  Manifest manifest = ManifestOf(*index);
  EXPECT_TRUE(manifest.contiguous);
  EXPECT_EQ(manifest.header_word, 7u);
  EXPECT_EQ(manifest.entries[1].name, Field(std::string_view("b\0x", 3)));
  for (const ManifestEntry& entry : manifest.entries)
    EXPECT_EQ(entry.kind, ManifestEntry::Kind::kEntry);

  // b inside a, c the same bytes as a, d reaching past the end, e after a gap.
  index = image({Record("a", 4, 101), Record("b", 2, 102), Record("c", 4, 101), Record("d", 9, 106),
                 Record("e", 1, 110)},
                "aaaa_x");
  ASSERT_TRUE(index);
  manifest = ManifestOf(*index);
  EXPECT_FALSE(manifest.contiguous);
  using Kind = ManifestEntry::Kind;
  const Kind kinds[] = {Kind::kShared, Kind::kShared, Kind::kShared, Kind::kOutside,
                        Kind::kOutside};
  for (size_t i = 0; i < 5; ++i) EXPECT_EQ(manifest.entries[i].kind, kinds[i]) << i;
  EXPECT_EQ(manifest.entries[3].reason,
            "ends at byte 115, past the end of the archive (107 bytes)");
  EXPECT_EQ(manifest.entries[4].reason,
            "starts at byte 110, past the end of the archive (107 bytes)");
}

TEST(ManifestTest, ReadsBackWhatItWrites) {
  Manifest manifest;
  manifest.header_word = 0xABCDEF;
  manifest.contiguous = true;
  manifest.entries = {
      {ManifestEntry::Kind::kEntry, Field("v_0001"), 1234, 0xDEADBEEF, "v_0001.ogg", ""},
      {ManifestEntry::Kind::kShared, Field("a b"), 0, 0, "sub/a b~1.bin", ""},
      {ManifestEntry::Kind::kOutside, Field(""), 99, 0, "", "starts past the end"},
  };
  const std::string text = FormatManifest(manifest);
  EXPECT_NE(text.find("\nentry v_0001 1234 deadbeef v_0001.ogg\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\nshared a%20b 0 00000000 sub/a b~1.bin\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\noutside %00 99 starts past the end\n"), std::string::npos) << text;
  // As an editor on Windows may save it: a byte-order mark, CRLF, trailing blanks.
  std::string edited = "\xEF\xBB\xBF";
  for (char c : text) edited += c == '\n' ? std::string(" \r\n") : std::string(1, c);
  for (const std::string& version : {text, edited}) {
    const Result<Manifest> parsed = ParseManifest(version);
    ASSERT_TRUE(parsed) << test::Why(parsed);
    const Manifest& back = *parsed;
    EXPECT_EQ(back.header_word, manifest.header_word);
    EXPECT_TRUE(back.contiguous);
    ASSERT_EQ(back.entries.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
      EXPECT_EQ(back.entries[i].kind, manifest.entries[i].kind);
      EXPECT_EQ(back.entries[i].name, manifest.entries[i].name);
      EXPECT_EQ(back.entries[i].size, manifest.entries[i].size);
      EXPECT_EQ(back.entries[i].crc, manifest.entries[i].crc);
      EXPECT_EQ(back.entries[i].file, manifest.entries[i].file);
      EXPECT_EQ(back.entries[i].reason, manifest.entries[i].reason);
    }
  }
}

TEST(ManifestTest, SaysWhichLineItCannotRead) {
  SetLanguage(Language::kEnglish);
  const std::string head = "kowaki-unpack 1\nheader-word 0x0\nlayout contiguous\n";
  const std::pair<std::string, std::string> cases[] = {
      {"", "not a manifest of kowaki-cli unpack"},
      {"kowaki-unpack 2\n", "line 1: manifest version 2; this kowaki-cli reads version 1"},
      {"# note\nhello\n", "line 2: not a manifest of kowaki-cli unpack"},
      {"kowaki-unpack 1\nlayout contiguous\n", "no header-word line"},
      {"kowaki-unpack 1\nheader-word 0x1000000\n",
       "line 2: the header word is 0x000000 to 0xFFFFFF"},
      {head + "entry v 12 0000000g v.ogg\n", "line 4: the CRC-32 is not 8 hex digits"},
      {head + "entry v 12 00000000\n", "line 4: no file named"},
      {head + "entry 123456789 1 00000000 x\n",
       "line 4: a name is 0 to 8 bytes, each %XX or printable ASCII"},
      {head + "\nentry v 4294967296 00000000 x\n",
       "line 5: the size is not a number of bytes below 4 GiB"},
      {head + "remove v\n", "line 4: unknown line"},
  };
  for (const auto& [text, message] : cases) {
    EXPECT_EQ(test::Why(ParseManifest(text)), message) << text;
  }
}

}  // namespace
}  // namespace kowaki
