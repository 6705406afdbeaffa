// kowaki-cli verify ARCHIVE [--json] [-j N]: every entry decoded to its
// end; each that the game could not play whole is reported, with exit
// code 1 when there is any.

#include <cstdio>
#include <string>
#include <thread>

#include "cli/arguments/args.h"
#include "cli/arguments/help.h"
#include "cli/commands.h"
#include "cli/commands/modding.h"
#include "cli/output/text_output.h"
#include "cli/terminal/language.h"
#include "jobs/ordered_work.h"
#include "modding/entry_check.h"
#include "text/format_text.h"

namespace kowaki::cli {

namespace {

// The problems as words for scripts.
std::string ProblemsJson(uint8_t problems) {
  constexpr std::pair<uint8_t, const char*> kWords[] = {
      {EntryCheck::kNotVorbis, "not-vorbis"},   {EntryCheck::kDamaged, "damaged"},
      {EntryCheck::kCutShort, "cut-short"},     {EntryCheck::kLengthDiffers, "length-differs"},
      {EntryCheck::kReadFailed, "read-failed"}, {EntryCheck::kArchiveChanged, "archive-changed"},
  };
  std::string out = "[";
  for (const auto& [problem, word] : kWords) {
    if (problems & problem) out += std::string(out.size() > 1 ? ", " : "") + "\"" + word + "\"";
  }
  return out + "]";
}

std::string FailureJson(const ArchiveIndex& index, int32_t i, const EntryCheck& check) {
  const std::string_view name = EntryName(index.entries[i]);
  return "{\"entry\": " + std::to_string(i) + ", \"name\": " + JsonString(Cp932ToUtf8(name)) +
         ", \"name_hex\": \"" + HexBytes(name) +
         "\", \"problems\": " + ProblemsJson(check.problems) +
         ", \"text\": " + JsonString(CheckText(check)) +
         ", \"decoded\": " + std::to_string(check.decoded) +
         ", \"expected\": " + std::to_string(check.expected) + "}";
}

}  // namespace

int RunVerify(Arguments args) {
  ParsedArgs parsed;
  std::string error;
  long long jobs = 0;
  if (!parsed.Parse(args, {"jobs"}, {"json"}, &error, {{'j', "jobs"}}) ||
      !parsed.Integer("jobs", 1, kMaxJobs, 0, &jobs, &error) || parsed.positional().size() != 1) {
    return BadArguments("verify", error.empty() ? "give one archive" : error);
  }
  const std::string& path = parsed.positional()[0];
  const ArchiveIndexPtr index = LoadArchiveArgument(path);
  if (!index) return kExitError;
  const bool json = parsed.Has("json");
  std::string failures;
  int32_t failed = 0;
  OrderedWork<EntryCheck> work;
  work.count = index->count;
  work.threads = jobs ? static_cast<int32_t>(jobs)
                      : static_cast<int32_t>(std::max(1u, std::thread::hardware_concurrency()));
  work.work = [&](int32_t i) { return CheckEntry(index.get(), i); };
  work.commit = [&](int32_t i, EntryCheck& check) {
    if (check.ok()) return true;
    failures += json ? std::string(failed ? ", " : "") + FailureJson(*index, i, check)
                     : EntryLabel(static_cast<size_t>(i), EntryName(index->entries[i])) + ": " +
                           CheckText(check) + "\n";
    ++failed;
    return true;
  };
  RunOrdered(work);
  if (json) {
    PrintText(stdout, "{\"path\": " + JsonString(PathForDisplay(path)) + ", \"count\": " +
                          std::to_string(index->count) + ", \"failed\": " + std::to_string(failed) +
                          ", \"failures\": [" + failures + "]}\n");
  } else {
    PrintText(stdout, failures + FormatText(Say("%d of %d entries decode whole\n",
                                                "最後までデコードできたエントリ: %d/%d\n"),
                                            index->count - failed, index->count));
  }
  return failed ? kExitIncomplete : kExitOk;
}

}  // namespace kowaki::cli
