#include "cli/output/reasons.h"

#include <cerrno>
#include <cstring>

#include "cli/output/text_output.h"
#include "cli/terminal/language.h"
#include "text/format_text.h"
#include "text/texts.h"

namespace kowaki::cli {

namespace {

// The system's own words for an error, when it gave one.
std::string WithSystemError(std::string text, int system_error) {
  if (system_error != 0) text += std::string(": ") + std::strerror(system_error);
  return text;
}

}  // namespace

std::string ProblemText(const EntryOutcome& outcome) {
  return ProblemText(outcome.problem, outcome.system_error);
}

std::string ProblemText(EntryProblem problem, int system_error) {
  switch (problem) {
    case EntryProblem::kArchiveChanged:
      return Say("the archive was changed since it was listed",
                 "一覧の作成後にアーカイブが変更されました");
    case EntryProblem::kCutShort:
      return Say("cut short: the entry runs past the end of the archive",
                 "途中で切れています: エントリがアーカイブの末尾を越えています");
    case EntryProblem::kNotVorbis:
      return Say("not Ogg Vorbis", "Ogg Vorbis ではありません");
    case EntryProblem::kReadFailed:
      return WithSystemError(Say("cannot read the archive", "アーカイブを読み込めません"),
                             system_error);
    case EntryProblem::kCannotConvert:
      return Say("its format cannot be converted to the output's", "出力の形式に変換できません");
    case EntryProblem::kTooLarge:
      return Say("more audio than a WAV file can hold", "WAV ファイルに収まりません");
    case EntryProblem::kCannotOpenOutput:
      return WithSystemError(Say("cannot create its file", "ファイルを作成できません"),
                             system_error);
    case EntryProblem::kWriteFailed:
      return WithSystemError(Say("cannot write", "書き込めません"), system_error);
    case EntryProblem::kKept:
      return Say("skipped: its file exists (--no-clobber)",
                 "ファイルが既にあるため、そのままにしました (--no-clobber)");
    case EntryProblem::kNoPlayer:
      return Say("the sound device cannot play its format",
                 "サウンドデバイスで再生できない形式です");
    case EntryProblem::kNone:
      break;
  }
  return Say("failed", "失敗しました");
}

const char* ProblemId(EntryProblem problem) {
  switch (problem) {
    case EntryProblem::kArchiveChanged:
      return "archive_changed";
    case EntryProblem::kCutShort:
      return "cut_short";
    case EntryProblem::kNotVorbis:
      return "not_vorbis";
    case EntryProblem::kReadFailed:
      return "read_failed";
    case EntryProblem::kCannotConvert:
      return "cannot_convert";
    case EntryProblem::kTooLarge:
      return "too_large";
    case EntryProblem::kCannotOpenOutput:
      return "cannot_open_output";
    case EntryProblem::kWriteFailed:
      return "write_failed";
    case EntryProblem::kKept:
      return "exists";
    case EntryProblem::kNoPlayer:
      return "no_player";
    case EntryProblem::kNone:
      break;
  }
  return "none";
}

bool Succeeded(const Result<>& result, std::string* error) {
  if (!result) *error = result.failure().text;
  return static_cast<bool>(result);
}

std::string LoadErrorText(const ArchiveLoadError& error) {
  using Cause = ArchiveLoadError::Cause;
  const auto value = static_cast<unsigned long long>(error.value);
  switch (error.cause) {
    case Cause::kCannotOpen:
      if (error.system_error == ENOENT) return Say("there is no such file", "ファイルがありません");
      return WithSystemError(Say("it cannot be opened", "開けません"), error.system_error);
    case Cause::kFolder:
      return Say("it is a folder", "フォルダです");
    case Cause::kNotAFile:
      return Say("it is a pipe, terminal or other device, not a file",
                 "パイプや端末などのデバイスで、ファイルではありません");
    case Cause::kTooShort:
      return Say("it is too short for an archive's 16-byte header",
                 "アーカイブの 16 バイトのヘッダより短いファイルです");
    case Cause::kVersion:
      return FormatText(
          Say("its version is %llu (1 expected)", "バージョンが %llu です (1 のはず)"), value);
    case Cause::kHeaderWordTop:
      return FormatText(Say("the header word's top byte is %llu (0 expected)",
                            "ヘッダ語の最上位バイトが %llu です (0 のはず)"),
                        value);
    case Cause::kTooManyEntries:
      return FormatText(Say("it claims %llu entries (at most 1,048,576)",
                            "エントリ数が %llu です (最大 1,048,576)"),
                        value);
    case Cause::kTableOffset:
      return FormatText(
          Say("its table offset is %llu (16 expected)", "テーブルの位置が %llu です (16 のはず)"),
          value);
    case Cause::kShortTable:
      return FormatText(Say("it is shorter than its index (%llu bytes, %llu needed)",
                            "インデックスより短いファイルです (%llu バイト、%llu バイト必要)"),
                        value, static_cast<unsigned long long>(error.needed));
    case Cause::kNameUnended:
      return FormatText(Say("the name of entry %llu has no terminating zero",
                            "エントリ %llu の名前に終端の 0 がありません"),
                        value);
    case Cause::kReadError:
      return WithSystemError(Say("it cannot be read", "読み込めません"), error.system_error);
    case Cause::kNoMemory:
      return Say("there is not enough memory for its index",
                 "インデックスに使うメモリが足りません");
    case Cause::kNone:
      break;
  }
  return Say("it cannot be loaded", "読み込めません");
}

std::string CannotLoadText(const std::string& path, const ArchiveLoadError& error) {
  return FormatText(SystemText(texts::kCannotOpenArchive), PathForDisplay(path).c_str()) + "\n(" +
         LoadErrorText(error) + ")";
}

}  // namespace kowaki::cli
