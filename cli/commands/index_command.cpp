// kowaki-cli index ARCHIVE [--json]: the raw index, without decoding.

#include <cstdio>
#include <string>

#include "archive/archive_index.h"
#include "cli/arguments/args.h"
#include "cli/arguments/help.h"
#include "cli/commands.h"
#include "cli/output/reasons.h"
#include "cli/output/text_output.h"
#include "cli/terminal/language.h"
#include "text/format_text.h"
#include "text/texts.h"

namespace kowaki::cli {

namespace {

void PrintJson(const ArchiveIndex& index) {
  std::string out = "{\"path\": " + JsonString(PathForDisplay(index.path)) +
                    ", \"header_word\": " + std::to_string(index.header_word) +
                    ", \"count\": " + std::to_string(index.count) + ", \"entries\": [";
  for (int32_t i = 0; i < index.count; ++i) {
    const ArchiveEntry& entry = index.entries[i];
    const std::string_view name = EntryName(entry);
    out += i ? ", " : "";
    out += "{\"entry\": " + std::to_string(i) + ", \"name\": " + JsonString(Cp932ToUtf8(name)) +
           ", \"name_hex\": \"" + HexBytes(name) + "\", \"size\": " + std::to_string(entry.size) +
           ", \"offset\": " + std::to_string(entry.offset) + "}";
    if (out.size() > (1 << 16)) {
      std::fwrite(out.data(), 1, out.size(), stdout);
      out.clear();
    }
  }
  out += "]}\n";
  std::fwrite(out.data(), 1, out.size(), stdout);
}

void PrintTable(const ArchiveIndex& index) {
  std::string out = "entry  " + Padded(SystemText(texts::kColumnTitles[0]), 8, false) + "  " +
                    Padded(SystemText(texts::kColumnTitles[1]), 10, true) + " " +
                    Padded(Say("offset", "オフセット"), 11, true) + "\n";
  char line[96];
  for (int32_t i = 0; i < index.count; ++i) {
    const ArchiveEntry& entry = index.entries[i];
    std::snprintf(line, sizeof line, "%5d  ", i);
    out += line;
    out += Padded(Cp932ToUtf8(EntryName(entry)), 8, false);
    std::snprintf(line, sizeof line, "  %10u %11u\n", entry.size, entry.offset);
    out += line;
    if (out.size() > (1 << 16)) {
      PrintText(stdout, out);
      out.clear();
    }
  }
  PrintText(stdout, out);
}

}  // namespace

int RunIndex(Arguments args) {
  ParsedArgs parsed;
  std::string error;
  if (!parsed.Parse(args, {}, {"json"}, &error) || parsed.positional().size() != 1) {
    return BadArguments("index", error.empty() ? "give one archive" : error);
  }
  const std::string& path = parsed.positional()[0];
  const ArchiveLoad index = LoadArchiveIndex(path.c_str());
  if (!index) {
    Complain(CannotLoadText(path, index.failure()));
    return kExitError;
  }
  if (parsed.Has("json")) {
    PrintJson(**index);
  } else {
    PrintTable(**index);
  }
  return kExitOk;
}

}  // namespace kowaki::cli
