// kowaki-cli index ARCHIVE [--json]: the raw index, without decoding.

#include <cstdio>
#include <string>

#include "archive/archive_index.h"
#include "cli/arguments/args.h"
#include "cli/arguments/help.h"
#include "cli/commands.h"
#include "cli/output/json_output.h"
#include "cli/output/reasons.h"
#include "cli/output/text_output.h"
#include "cli/terminal/language.h"
#include "text/catalogue.h"
#include "text/format_text.h"

namespace kowaki::cli {

namespace {

void PrintJson(const ArchiveIndex& index) {
  Json head;
  head["path"] = PathForDisplay(index.path);
  head["header_word"] = index.header_word;
  head["count"] = index.count;
  JsonListPrinter printer(head, "entries");
  for (int32_t i = 0; i < index.count; ++i) {
    const ArchiveEntry& entry = index.entries[i];
    Json record = EntryRecord(i, EntryName(entry));
    record["size"] = entry.size;
    record["offset"] = entry.offset;
    printer.Add(record);
  }
  printer.Finish();
}

void PrintTable(const ArchiveIndex& index) {
  std::string out = "entry  " + Padded(Say(Text::kColumnName), 8, false) + "  " +
                    Padded(Say(Text::kColumnSize), 10, true) + " " +
                    Padded(Say(Text::kColumnOffset), 11, true) + "\n";
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
  if (const Result<> parsing = parsed.Parse(args, {}, {"json"}); !parsing) {
    return BadArguments("index", parsing.failure().text);
  }
  if (parsed.positional().size() != 1) return BadArguments("index", Say(Text::kArgGiveOneArchive));
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
