// kowaki-cli verify ARCHIVE [--json] [--strict] [-j N]: every entry decoded
// to its end; each that the game could not play whole is named, with exit
// code 1 when there is any. An entry of no Ogg data at all is not audio
// (the archive keeps other files too): named, and a failure only with
// --strict. Ctrl-C stops between entries.

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

// What a run found, entry by entry in index order.
struct Verified {
  int32_t checked = 0;
  int32_t not_whole = 0;  // failed, or not audio
  int32_t not_audio = 0;
  bool interrupted = false;
  std::vector<FailedEntry> failures;
};

// Each entry with a problem is named on stderr as it is taken up; one that
// is not audio only when it fails or nobody asked for quiet.
void Take(const ArchiveIndex& index, int32_t i, const EntryCheck& check, bool strict,
          Verified* verified) {
  ++verified->checked;
  if (check.ok()) return;
  ++verified->not_whole;
  const bool not_audio = check.problems.Has(EntryProblem::kNotAudio);
  verified->not_audio += not_audio ? 1 : 0;
  const bool fails = strict || !not_audio;
  const std::string line =
      EntryLabel(static_cast<size_t>(i), EntryName(index.entries[i])) + ": " + CheckText(check);
  if (fails) {
    Complain(line);
    verified->failures.push_back({i, check});
  } else {
    Report(line);
  }
}

void PrintJson(const std::string& path, const ArchiveIndex& index, const Verified& verified) {
  Json head;
  head["path"] = PathForDisplay(path);
  head["count"] = index.count;
  head["checked"] = verified.checked;
  head["failed"] = verified.failures.size();
  head["not_audio"] = verified.not_audio;
  head["interrupted"] = verified.interrupted;
  JsonListPrinter printer(head, "failures");
  for (const auto& [i, check] : verified.failures) {
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

// "12 of 13 entries decode whole, 1 not audio, 7 left"
std::string SummaryLine(const ArchiveIndex& index, const Verified& verified) {
  std::string line =
      Say(Text::kDecodedWhole, verified.checked - verified.not_whole, verified.checked);
  if (verified.not_audio > 0) line += Say(Text::kNotAudioCount, verified.not_audio);
  if (verified.checked < index.count)
    line += Say(Text::kSummaryLeft, index.count - verified.checked);
  return line;
}

}  // namespace

int RunVerify(Arguments args) {
  ParsedArgs parsed;
  if (const Result<> parsing = parsed.Parse(args, {"jobs"}, {"json", "strict"}, {{'j', "jobs"}});
      !parsing) {
    return BadArguments("verify", parsing.failure().text);
  }
  const Result<long long> jobs = parsed.Integer("jobs", 1, kMaxJobs, 0);
  if (!jobs) return BadArguments("verify", jobs.failure().text);
  if (parsed.positional().size() != 1) return BadArguments("verify", Say(Text::kArgGiveOneArchive));
  const std::string& path = parsed.positional()[0];
  const ArchiveIndexPtr index = LoadArchiveArgument(path);
  if (!index) return kExitError;
  Verified verified;
  {
    const StopButton stop;
    OrderedWork<EntryCheck> work;
    work.count = index->count;
    work.threads = *jobs ? static_cast<int32_t>(*jobs)
                         : static_cast<int32_t>(std::max(1u, std::thread::hardware_concurrency()));
    work.keep_going = [&stop] { return !stop.pressed(); };
    work.work = [&](int32_t i) { return CheckEntry(index.get(), i); };
    work.commit = [&](int32_t i, EntryCheck& check) {
      Take(*index, i, check, parsed.Has("strict"), &verified);
      return true;
    };
    RunOrdered(work);
    verified.interrupted = stop.pressed();
  }
  if (verified.interrupted) Complain(Say(Text::kInterrupted));
  Report(SummaryLine(*index, verified));
  if (parsed.Has("json")) PrintJson(path, *index, verified);
  if (verified.interrupted) return kExitInterrupted;
  return verified.failures.empty() ? kExitOk : kExitIncomplete;
}

}  // namespace kowaki::cli
