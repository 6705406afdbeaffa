#include "jobs/entry_problem.h"

#include <iterator>

#include "text/catalogue.h"

namespace kowaki {

namespace {

// What a problem's words take from its facts.
enum class Takes : uint8_t { kNothing, kSystemError, kDamage, kLengths };

struct ProblemRow {
  EntryProblem problem;
  const char* id;
  Text text;
  Takes takes;
};

// One row per problem, in the order of the enum.
constexpr ProblemRow kProblems[] = {
    {EntryProblem::kNone, "none", Text::kProblemFailed, Takes::kNothing},
    {EntryProblem::kNotVorbis, "not_vorbis", Text::kProblemNotVorbis, Takes::kNothing},
    {EntryProblem::kNotAudio, "not_audio", Text::kProblemNotAudio, Takes::kNothing},
    {EntryProblem::kDamaged, "damaged", Text::kProblemDamaged, Takes::kDamage},
    {EntryProblem::kNoLastPage, "no_last_page", Text::kProblemNoLastPage, Takes::kNothing},
    {EntryProblem::kPageGap, "page_gap", Text::kProblemPageGap, Takes::kNothing},
    {EntryProblem::kCutShort, "cut_short", Text::kProblemCutShort, Takes::kNothing},
    {EntryProblem::kLengthDiffers, "length_differs", Text::kProblemLengthDiffers, Takes::kLengths},
    {EntryProblem::kReadFailed, "read_failed", Text::kProblemReadFailed, Takes::kSystemError},
    {EntryProblem::kArchiveChanged, "archive_changed", Text::kProblemArchiveChanged,
     Takes::kNothing},
    {EntryProblem::kCannotConvert, "cannot_convert", Text::kProblemCannotConvert, Takes::kNothing},
    {EntryProblem::kTooLarge, "too_large", Text::kProblemTooLarge, Takes::kNothing},
    {EntryProblem::kCannotOpenOutput, "cannot_open_output", Text::kProblemCannotOpenOutput,
     Takes::kSystemError},
    {EntryProblem::kWriteFailed, "write_failed", Text::kProblemWriteFailed, Takes::kSystemError},
    {EntryProblem::kKept, "exists", Text::kProblemExists, Takes::kNothing},
    {EntryProblem::kNoDevice, "no_device", Text::kProblemNoDevice, Takes::kNothing},
    {EntryProblem::kFormatRefused, "format_refused", Text::kProblemFormatRefused, Takes::kNothing},
    {EntryProblem::kDeviceFailed, "device_failed", Text::kProblemDeviceFailed, Takes::kNothing},
    {EntryProblem::kFileMissing, "file_missing", Text::kProblemFileMissing, Takes::kNothing},
    {EntryProblem::kFileLink, "file_link", Text::kProblemFileLink, Takes::kNothing},
    {EntryProblem::kFileOutside, "file_outside", Text::kProblemFileOutside, Takes::kNothing},
    {EntryProblem::kFileUnreadable, "file_unreadable", Text::kProblemFileUnreadable,
     Takes::kSystemError},
    {EntryProblem::kOggAndWav, "ogg_and_wav", Text::kProblemOggAndWav, Takes::kNothing},
    {EntryProblem::kRecordingUnusable, "recording_unusable", Text::kProblemRecordingUnusable,
     Takes::kNothing},
    {EntryProblem::kNotUnpacked, "not_unpacked", Text::kProblemNotUnpacked, Takes::kNothing},
};

constexpr bool InEnumOrder() {
  for (size_t i = 0; i < std::size(kProblems); ++i) {
    if (static_cast<size_t>(kProblems[i].problem) != i) return false;
  }
  return std::size(kProblems) == static_cast<size_t>(EntryProblem::kNotUnpacked) + 1;
}
static_assert(InEnumOrder(), "a row for each problem, in the order of the enum");

const ProblemRow& RowOf(EntryProblem problem) { return kProblems[static_cast<size_t>(problem)]; }

}  // namespace

const char* ProblemId(EntryProblem problem) { return RowOf(problem).id; }

std::string ProblemText(EntryProblem problem, const ProblemFacts& facts) {
  const ProblemRow& row = RowOf(problem);
  switch (row.takes) {
    case Takes::kSystemError:
      return WithSystemError(Say(row.text), facts.system_error);
    case Takes::kDamage:
      return Say(row.text, facts.damage);
    case Takes::kLengths:
      return Say(row.text, static_cast<long long>(facts.decoded),
                 static_cast<long long>(facts.expected));
    case Takes::kNothing:
      break;
  }
  return Say(row.text);
}

std::vector<EntryProblem> ProblemSet::Listed() const {
  std::vector<EntryProblem> listed;
  for (const ProblemRow& row : kProblems) {
    if (Has(row.problem)) listed.push_back(row.problem);
  }
  return listed;
}

}  // namespace kowaki
