// kowaki-cli verify ARCHIVE [--json] [-j N]: every entry decoded to its
// end; each that the game could not play whole is reported, with exit
// code 1 when there is any.

#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "cli/arguments/args.h"
#include "cli/arguments/help.h"
#include "cli/commands.h"
#include "cli/commands/modding.h"
#include "cli/output/json_output.h"
#include "cli/output/text_output.h"
#include "cli/terminal/language.h"
#include "jobs/ordered_work.h"
#include "modding/entry_check.h"
#include "text/catalogue.h"
#include "text/format_text.h"

namespace kowaki::cli {

namespace {

// An entry that does not decode whole, and what is wrong with it.
struct FailedEntry {
  int32_t entry;
  EntryCheck check;
};

void PrintJson(const std::string& path, const ArchiveIndex& index,
               const std::vector<FailedEntry>& failures) {
  Json head;
  head["path"] = PathForDisplay(path);
  head["count"] = index.count;
  head["failed"] = failures.size();
  JsonListPrinter printer(head, "failures");
  for (const auto& [i, check] : failures) {
    Json record = EntryRecord(i, EntryName(index.entries[i]));
    Json& problems = record["problems"] = Json::array();
    for (const EntryProblem problem : check.problems.Listed())
      problems.push_back(ProblemId(problem));
    record["text"] = CheckText(check);
    record["decoded"] = check.facts.decoded;
    record["expected"] = check.facts.expected;
    printer.Add(record);
  }
  printer.Finish();
}

void PrintTable(const ArchiveIndex& index, const std::vector<FailedEntry>& failures) {
  std::string out;
  for (const auto& [i, check] : failures) {
    out += EntryLabel(static_cast<size_t>(i), EntryName(index.entries[i])) + ": " +
           CheckText(check) + "\n";
  }
  const auto failed = static_cast<int32_t>(failures.size());
  PrintText(stdout, out + Say(Text::kDecodedWhole, index.count - failed, index.count) + "\n");
}

}  // namespace

int RunVerify(Arguments args) {
  ParsedArgs parsed;
  if (const Result<> parsing = parsed.Parse(args, {"jobs"}, {"json"}, {{'j', "jobs"}}); !parsing) {
    return BadArguments("verify", parsing.failure().text);
  }
  const Result<long long> jobs = parsed.Integer("jobs", 1, kMaxJobs, 0);
  if (!jobs) return BadArguments("verify", jobs.failure().text);
  if (parsed.positional().size() != 1) return BadArguments("verify", Say(Text::kArgGiveOneArchive));
  const std::string& path = parsed.positional()[0];
  const ArchiveIndexPtr index = LoadArchiveArgument(path);
  if (!index) return kExitError;
  std::vector<FailedEntry> failures;
  OrderedWork<EntryCheck> work;
  work.count = index->count;
  work.threads = *jobs ? static_cast<int32_t>(*jobs)
                       : static_cast<int32_t>(std::max(1u, std::thread::hardware_concurrency()));
  work.work = [&](int32_t i) { return CheckEntry(index.get(), i); };
  work.commit = [&](int32_t i, EntryCheck& check) {
    if (!check.ok()) failures.push_back({i, check});
    return true;
  };
  RunOrdered(work);
  if (parsed.Has("json")) {
    PrintJson(path, *index, failures);
  } else {
    PrintTable(*index, failures);
  }
  return failures.empty() ? kExitOk : kExitIncomplete;
}

}  // namespace kowaki::cli
