#include "cli/commands/modding.h"

#include "cli/output/reasons.h"
#include "cli/output/text_output.h"
#include "cli/terminal/language.h"
#include "text/format_text.h"

namespace kowaki::cli {

ArchiveIndexPtr LoadArchiveArgument(const std::string& path) {
  ArchiveLoad loaded = LoadArchiveIndex(path.c_str());
  if (!loaded) Complain(CannotLoadText(path, loaded.failure()));
  return std::move(loaded).value_or(nullptr);
}

std::string EntryLabel(size_t i, std::string_view name) {
  return FormatText(Say("entry %lld (%s)", "エントリ %lld (%s)"), static_cast<long long>(i),
                    Cp932ToUtf8(name).c_str());
}

std::string BeingWrittenText(const std::string& path) {
  return FormatText(Say("%s is the archive being written (-o)", "%s は作成中のアーカイブです (-o)"),
                    PathForDisplay(path).c_str());
}

std::string RearrangedText() {
  return Say(
      "the original's entries did not lie one after another in table order: "
      "the same index, laid out one after another",
      "元のエントリはテーブル順に並んでいませんでした: 同じインデックスのまま、順に並べました");
}

std::string CheckText(const EntryCheck& check) {
  std::string text;
  const auto add = [&](uint8_t problem, const std::string& words) {
    if (check.problems & problem) text += (text.empty() ? "" : Say(", ", "、")) + words;
  };
  add(EntryCheck::kNotVorbis, ProblemText(EntryProblem::kNotVorbis));
  add(EntryCheck::kDamaged,
      FormatText(Say("damaged pages (%d)", "壊れたページが %d 個あります"), check.damage));
  add(EntryCheck::kCutShort, Say("cut short: the data ends before the stream does",
                                 "途中で切れています: ストリームの終わりより前にデータが尽きます"));
  add(EntryCheck::kLengthDiffers,
      FormatText(Say("decodes to %lld sample frames, its last page gives %lld",
                     "デコードすると %lld フレームですが、最後のページでは %lld フレームです"),
                 static_cast<long long>(check.decoded), static_cast<long long>(check.expected)));
  add(EntryCheck::kReadFailed, ProblemText(EntryProblem::kReadFailed, check.system_error));
  add(EntryCheck::kArchiveChanged,
      Say("the file was changed while it was read", "読み込み中にファイルが変更されました"));
  return text;
}

bool CheckClip(const std::string& path, std::string* error) {
  const ArchiveLoad file = LoadFileAsEntry(path.c_str());
  if (!file) {
    *error = PathForDisplay(path) + ": " + LoadErrorText(file.failure());
    return false;
  }
  const EntryCheck check = CheckEntry(file->get(), 0);
  if (check.ok()) return true;
  *error = PathForDisplay(path) + ": " + CheckText(check) +
           Say(" (--force takes it all the same)", " (--force を付ければそのまま使います)");
  return false;
}

}  // namespace kowaki::cli
