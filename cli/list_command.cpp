// kowaki-cli list [ARCHIVE] [--json]: the archive's playable entries as the
// window lists them: name, size, seconds, channels, rate, and the entry
// number each row stands for.

#include <cstdio>
#include <string>

#include "cli/args.h"
#include "cli/commands.h"
#include "cli/interrupt.h"
#include "cli/terminal_window.h"
#include "cli/text_output.h"
#include "jobs/output_names.h"
#include "jobs/texts.h"

namespace kowaki::cli {

namespace {

constexpr char kUsage[] =
    "usage: kowaki-cli list [ARCHIVE] [--json] [-j N]\n"
    "  -j, --jobs N: entries opened on N threads at once (default: one per hardware thread)\n";

// Columns on a terminal: code page 932's double-byte characters and most
// of what is not ASCII take two cells, half-width katakana one.
size_t DisplayWidth(std::string_view utf8) {
  size_t width = 0;
  for (size_t i = 0; i < utf8.size();) {
    const char32_t c = NextCodePoint(utf8, &i);
    width += (c < 0x1100 || (c >= 0xFF61 && c <= 0xFF9F)) ? 1 : 2;
  }
  return width;
}

std::string Padded(const std::string& text, size_t width, bool right) {
  const size_t used = DisplayWidth(text);
  const std::string pad(used < width ? width - used : 0, ' ');
  return right ? pad + text : text + pad;
}

void PrintTable(const RowList& list) {
  size_t name_width = 8;
  for (const RowList::Row& row : list.rows())
    name_width = std::max(name_width, DisplayWidth(Cp932ToUtf8(row.name)));
  // Each column as wide as its title or its widest text.
  const size_t widths[] = {name_width, 10, 9, 8, 6};
  std::string out = "entry  " + Padded(texts::kColumnTitles[0], widths[0], false);
  for (size_t c = 1; c < 5; ++c) out += "  " + Padded(texts::kColumnTitles[c], widths[c], true);
  out += "\n";
  for (const RowList::Row& row : list.rows()) {
    out += Padded(std::to_string(row.entry), 5, true) + "  " +
           Padded(Cp932ToUtf8(row.name), widths[0], false);
    for (size_t c = 1; c < 5; ++c) out += "  " + Padded(row.cells[c], widths[c], true);
    out += "\n";
    if (out.size() > (1 << 16)) {
      PrintText(stdout, out);
      out.clear();
    }
  }
  PrintText(stdout, out);
}

void PrintJson(const std::string& path, const RowList& list, const ArchiveIndex& index) {
  std::string out = "{\"path\": " + JsonString(PathForDisplay(path)) + ", \"rows\": [";
  bool first = true;
  for (const RowList::Row& row : list.rows()) {
    out += first ? "" : ", ";
    first = false;
    const uint32_t size = index.entries[row.entry].size;
    out += "{\"entry\": " + std::to_string(row.entry) +
           ", \"name\": " + JsonString(Cp932ToUtf8(row.name)) + ", \"name_hex\": \"" +
           HexBytes(row.name) + "\", \"size\": " + std::to_string(size) +
           ", \"size_text\": " + JsonString(row.cells[1]) +
           ", \"seconds\": " + JsonString(row.cells[2]) +
           ", \"channels\": " + std::to_string(row.facts.channels) +
           ", \"rate\": " + std::to_string(row.facts.rate) + "}";
    if (out.size() > (1 << 16)) {
      std::fwrite(out.data(), 1, out.size(), stdout);
      out.clear();
    }
  }
  out += "]}\n";
  std::fwrite(out.data(), 1, out.size(), stdout);
}

}  // namespace

int RunList(Arguments args) {
  ParsedArgs parsed;
  std::string error;
  long long jobs = 0;
  if (!parsed.Parse(args, {"jobs"}, {"json"}, &error, {{'j', "jobs"}}) ||
      !parsed.Integer("jobs", 1, kMaxJobs, 0, &jobs, &error) || parsed.positional().size() > 1) {
    PrintText(stderr, "kowaki-cli list: " +
                          (error.empty() ? std::string("give at most one archive") : error) + "\n" +
                          kUsage);
    return kExitError;
  }
  TerminalSession session;
  session.state().threads = static_cast<int32_t>(jobs);
  if (auto code = session.Open(parsed.positional().empty() ? "" : parsed.positional()[0], "list")) {
    if (*code != kExitIncomplete) return *code;
  }
  const RowList& list = session.window().list();
  if (parsed.Has("json")) {
    PrintJson(session.path(), list, *session.state().index);
  } else {
    PrintTable(list);
  }
  return Interrupted() ? kExitIncomplete : kExitOk;
}

}  // namespace kowaki::cli
