// The unpack manifest: what it says of an archive, and its text read back.

#include "modding/manifest.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>

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

ManifestEntry Entry(ManifestEntry::Kind kind, std::string_view name, uint64_t size, uint32_t crc,
                    std::string file, std::string reason = {},
                    std::optional<ClipShape> shape = std::nullopt) {
  ManifestEntry entry;
  entry.kind = kind;
  entry.name = Field(name);
  entry.size = size;
  entry.crc = crc;
  entry.file = std::move(file);
  entry.reason = std::move(reason);
  entry.shape = shape;
  return entry;
}

using Kind = ManifestEntry::Kind;

Manifest Example() {
  Manifest manifest;
  manifest.header_word = 0xABCDEF;
  manifest.contiguous = true;
  manifest.entries = {
      Entry(Kind::kEntry, "v_0001", 1234, 0xDEADBEEF, "v_0001.ogg", "",
            ClipShape{22050, 1, 26460, 40000}),
      Entry(Kind::kShared, "a b", 0, 0, "sub/a b~1.bin"),
      Entry(Kind::kOutside, "", 99, 0, "", "starts past the end"),
      Entry(Kind::kStopped, "x", 5, 0, ""),
  };
  return manifest;
}

TEST(ManifestTest, ReadsBackWhatItWrites) {
  const Manifest manifest = Example();
  const std::string text = FormatManifest(manifest);
  for (const char* line : {"kowaki-unpack 2\n", "\nheader-word 0x00ABCDEF\n", "\nentries 4 ",
                           "\nentry 0 v_0001 1234 deadbeef 22050/1/26460/40000 v_0001.ogg\n",
                           "\nshared 1 a%20b 0 00000000 - sub/a b~1.bin\n",
                           "\noutside 2 %00 99 starts past the end\n", "\nstopped 3 x 5\n"}) {
    EXPECT_NE(text.find(line), std::string::npos) << line << text;
  }
  // As an editor on Windows may save it: a byte-order mark, CRLF, trailing blanks.
  std::string edited = "\xEF\xBB\xBF";
  for (char c : text) edited += c == '\n' ? std::string(" \r\n") : std::string(1, c);
  for (const std::string& version : {text, edited}) {
    const Result<Manifest> parsed = ParseManifest(version);
    ASSERT_TRUE(parsed) << test::Why(parsed);
    const Manifest& back = *parsed;
    EXPECT_EQ(back.header_word, manifest.header_word);
    EXPECT_TRUE(back.contiguous);
    EXPECT_TRUE(back.partial());
    ASSERT_EQ(back.entries.size(), 4u);
    for (size_t i = 0; i < 4; ++i) {
      EXPECT_EQ(back.entries[i].kind, manifest.entries[i].kind);
      EXPECT_EQ(back.entries[i].name, manifest.entries[i].name);
      EXPECT_EQ(back.entries[i].size, manifest.entries[i].size);
      EXPECT_EQ(back.entries[i].crc, manifest.entries[i].crc);
      EXPECT_EQ(back.entries[i].file, manifest.entries[i].file);
      EXPECT_EQ(back.entries[i].reason, manifest.entries[i].reason);
      EXPECT_EQ(back.entries[i].shape, manifest.entries[i].shape);
    }
  }
}

// Version 1, as kowaki-cli wrote it before: no numbers, no count; the
// header word hex after 0x, decimal otherwise.
TEST(ManifestTest, ReadsVersion1AndEitherFormOfTheHeaderWord) {
  const std::string head = "kowaki-unpack 1\nlayout rearranged\nheader-word ";
  for (const auto& [word, value] : {std::pair<const char*, uint32_t>{"100", 100},
                                    {"0x100", 256},
                                    {"0XfF", 255},
                                    {"16777215", 0xFFFFFF}}) {
    const Result<Manifest> parsed =
        ParseManifest(head + word + "\nentry v 12 0000000a v.ogg\noutside w 3 gone\n");
    ASSERT_TRUE(parsed) << word << test::Why(parsed);
    EXPECT_EQ(parsed->header_word, value) << word;
    EXPECT_EQ(parsed->version, 1);
    ASSERT_EQ(parsed->entries.size(), 2u);
    EXPECT_EQ(parsed->entries[0].file, "v.ogg");
    EXPECT_FALSE(parsed->entries[0].shape);
  }
}

TEST(ManifestTest, SaysWhichLineItCannotRead) {
  SetLanguage(Language::kEnglish);
  const std::string head = "kowaki-unpack 1\nheader-word 0x0\nlayout contiguous\n";
  const std::string head2 = "kowaki-unpack 2\nheader-word 0\nlayout contiguous\n";
  const std::pair<std::string, std::string> cases[] = {
      {"", "not a manifest of kowaki-cli unpack"},
      {"kowaki-unpack 3\n", "line 1: manifest version 3; this kowaki-cli reads version 2"},
      {"# note\nhello\n", "line 2: not a manifest of kowaki-cli unpack"},
      {"kowaki-unpack 1\nlayout contiguous\n", "no header-word line"},
      {"kowaki-unpack 1\nheader-word 16777216\n",
       "line 2: the header word is 0x000000 to 0xFFFFFF"},
      {head + "entry v 12 0000000g v.ogg\n", "line 4: the CRC-32 is not 8 hex digits"},
      {head + "entry v 12 00000000\n", "line 4: no file named"},
      {head + "entry 123456789 1 00000000 x\n",
       "line 4: a name is 0 to 8 bytes, each %XX or printable ASCII"},
      {head + "\nentry v 4294967296 00000000 x\n",
       "line 5: the size is not a number of bytes below 4 GiB"},
      {head + "remove v\n", "line 4: unknown line"},
      {head + "stopped v 1\n", "line 4: unknown line"},
      {head2 + "entry 0 v 1 00000000 - v.ogg\n", "line 4: no entries line before the entry lines"},
      {head2 + "entries 1\n", "line 4: the entries line is a count and a checksum of 8 hex digits"},
      {head2 + "entries 1 0\nentry v 1 00000000 - v.ogg\n", "line 5: no entry number"},
      {head2 + "entries 1 0\nentry 0 v 1 00000000 44100/2 v.ogg\n",
       "line 5: the audio is RATE/CHANNELS/FRAMES/BITRATE or -"},
      {head2 + "entries 1 0\n", "the line of entry 0, the last, is missing (1 entries recorded)"},
  };
  for (const auto& [text, message] : cases) {
    EXPECT_EQ(test::Why(ParseManifest(text)), message) << text;
  }
}

// A manifest's entry lines as unpack wrote them: a line lost, repeated,
// moved or renamed is named; what describes the data may be edited.
TEST(ManifestTest, RefusesEntryLinesLostRepeatedMovedOrRenamed) {
  SetLanguage(Language::kEnglish);
  Manifest manifest = Example();
  manifest.entries.push_back(Entry(Kind::kEntry, "v_0005", 4, 1, "v_0005.ogg"));
  const std::string text = FormatManifest(manifest);
  std::vector<std::string> lines;
  for (size_t at = 0; at < text.size();) {
    const size_t end = text.find('\n', at);
    lines.push_back(text.substr(at, end - at + 1));
    at = end + 1;
  }
  // The lines of entries 0 to 4 are the last five, 8 to 12 counting from 1.
  const size_t first = lines.size() - 5;
  const auto edited = [&](const std::function<void(std::vector<std::string>&)>& edit) {
    std::vector<std::string> copy = lines;
    edit(copy);
    std::string joined;
    for (const std::string& line : copy) joined += line;
    return test::Why(ParseManifest(joined));
  };
  using Lines = std::vector<std::string>;
  EXPECT_EQ(edited([&](Lines& l) { l.erase(l.begin() + first + 1); }),
            "line 9: entry 1 is missing before this line (entry 2): a line lost or moved");
  EXPECT_EQ(edited([&](Lines& l) { l.insert(l.begin() + first + 1, l[first + 1]); }),
            "line 10: entry 1 again, as on line 9: a line repeated or moved");
  EXPECT_EQ(edited([&](Lines& l) { std::swap(l[first + 2], l[first + 3]); }),
            "line 10: entry 2 is missing before this line (entry 3): a line lost or moved");
  EXPECT_EQ(edited([&](Lines& l) { l.pop_back(); }),
            "the line of entry 4, the last, is missing (5 entries recorded)");
  EXPECT_EQ(edited([&](Lines& l) { l.resize(l.size() - 2); }),
            "the lines of entries 3 to 4 are missing at the end (5 entries recorded)");
  EXPECT_EQ(edited([&](Lines& l) { l.push_back("entry 5 v_0006 1 00000000 - v_0006.ogg\n"); }),
            "line 13: entry 5, but the manifest records 5 entries");
  EXPECT_EQ(edited([&](Lines& l) { l[first + 4].replace(8, 6, "v_0050"); }),
            "the entry names are not those unpack wrote (their checksum differs)");
  // A new file, size or CRC; an entry outside the archive given a file.
  EXPECT_EQ(edited([&](Lines& l) {
              l[first + 4] = "entry 4 v_0005 9 0000ffff - new/v_0005.ogg\n";
              l[first + 2] = "entry 2 %00 99 00000000 - empty.bin\n";
            }),
            "");
}
}  // namespace
}  // namespace kowaki
