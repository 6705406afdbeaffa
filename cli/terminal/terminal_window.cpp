#include "cli/terminal/terminal_window.h"

#include "cli/arguments/global_options.h"
#include "cli/commands.h"
#include "cli/output/reasons.h"
#include "cli/output/text_output.h"
#include "cli/terminal/interrupt.h"
#include "cli/terminal/language.h"
#include "jobs/listing_job.h"
#include "settings/game_archive.h"
#include "settings/output_settings.h"
#include "text/catalogue.h"
#include "text/format_text.h"

namespace kowaki::cli {

namespace {
constexpr int kBarWidth = 24;
// Lines of entries kept by --no-clobber shown before they are only counted.
constexpr int32_t kFewKeptLines = 5;
}  // namespace

// The idle title: no line. A job's work is what the line shows.
void TerminalWindow::SetTitle(std::string_view) {
  title_.clear();
  Draw();
}

void TerminalWindow::SetJobTitle(std::string_view work) {
  title_ = work;
  Draw();
}

void TerminalWindow::SetProgressRange(int32_t low, int32_t high) {
  low_ = low;
  high_ = high;
  Draw();
}

void TerminalWindow::SetProgressPosition(int32_t position) {
  position_ = position;
  Draw();
}

void TerminalWindow::Draw() {
  if (!progress_) return;
  if (title_.empty()) {
    ClearLine();
    return;
  }
  const std::string line =
      "\r" + ProgressBar(low_, high_, position_, kBarWidth) + " " + Share() + title_ + "\x1b[K";
  PrintText(stderr, line);
  std::fflush(stderr);
  drawn_ = true;
}

std::string ProgressBar(int32_t low, int32_t high, int32_t position, int width) {
  const int64_t span = int64_t{high} - low;
  int64_t filled = span > 0 ? (int64_t{position} - low) * width / span : 0;
  filled = filled < 0 ? 0 : filled > width ? width : filled;
  std::string bar = "[";
  bar.append(static_cast<size_t>(filled), '#');
  bar.append(static_cast<size_t>(width - filled), '-');
  return bar + "]";
}

void TerminalWindow::CountBytes(const ArchiveIndex& index) {
  sizes_.assign(static_cast<size_t>(index.count), 0);
  total_bytes_ = done_bytes_ = 0;
  for (const RowList::Row& row : list_.rows()) {
    const uint64_t size = index.entries[row.entry].size;
    sizes_[static_cast<size_t>(row.entry)] = size;
    total_bytes_ += row.selected ? size : 0;
  }
  start_ = std::chrono::steady_clock::now();
}

// "42% 0:12 +0:17 ": done, time taken, time left at this pace.
std::string TerminalWindow::Share() const {
  if (total_bytes_ == 0) return {};
  const double elapsed =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  const auto clock = [](double seconds) {
    const auto whole = static_cast<long long>(seconds);
    return FormatText("%lld:%02lld", whole / 60, whole % 60);
  };
  const double share = static_cast<double>(done_bytes_) / static_cast<double>(total_bytes_);
  std::string text = FormatText("%3d%% ", static_cast<int>(share * 100)) + clock(elapsed);
  if (done_bytes_ > 0) text += " +" + clock(elapsed / share - elapsed);
  return text + "  ";
}

void TerminalWindow::ClearLine() {
  if (!drawn_) return;
  PrintText(stderr, "\r\x1b[K");
  std::fflush(stderr);
  drawn_ = false;
}

// A failed entry, or one written damaged, gets a line of its own, before
// the job's summary.
void TerminalWindow::ReportEntry(const EntryOutcome& outcome, std::string_view name) {
  if (outcome.entry >= 0 && static_cast<size_t>(outcome.entry) < sizes_.size()) {
    done_bytes_ += sizes_[static_cast<size_t>(outcome.entry)];
  }
  const EntryProblem problem = outcome.problem;
  if (problem == EntryProblem::kNone || (Quiet() && problem == EntryProblem::kKept)) return;
  if (problem == EntryProblem::kKept && !every_kept_ && kept_shown_++ >= kFewKeptLines) {
    ++kept_hidden_;
    return;
  }
  ClearLine();
  const std::string why = ProblemText(outcome);
  Complain(NameText(name) + ": " + (outcome.ok ? Say(Text::kWrittenDamaged, why) : why));
  Draw();
}

void TerminalWindow::EndKeptLines() {
  if (kept_hidden_ == 0) return;
  ClearLine();
  Complain(Say(Text::kAndMore, kept_hidden_));
  kept_hidden_ = 0;
}

void TerminalWindow::ShowMessage(std::string_view text, std::string_view caption) {
  ClearLine();
  Complain(std::string(caption) + ": " + std::string(text));
  Draw();
}

void TerminalWindow::ShowReason(std::string_view reason) {
  ClearLine();
  Complain(reason);
  Draw();
}

bool TerminalWindow::PickFolder(std::string_view, std::string* folder) {
  if (!folder_answer) return false;
  *folder = *folder_answer;
  return true;
}

bool TerminalWindow::PickSaveFile(std::string* path) {
  if (!save_answer) return false;
  *path = *save_answer;
  return true;
}

std::string TerminalWindow::NameText(std::string_view name) { return Cp932ToUtf8(name); }

std::string TerminalWindow::PathText(std::string_view path) { return PathForDisplay(path); }

std::string TerminalWindow::OutputPath(std::string_view folder, std::string_view stem,
                                       std::string_view extension) {
  return platform::PathInFolder(folder, std::string(stem) + std::string(extension));
}

bool TerminalWindow::DrawsProgress() { return !Quiet() && platform::IsTerminal(stderr); }

namespace {

// Why no archive was taken, with each place the game's record was looked for.
std::string NoGameArchiveText(const std::vector<GameSearchPlace>& looked_in) {
  std::string text = Say(Text::kNoGameArchive);
  for (const GameSearchPlace& place : looked_in) {
    text += "\n  " + PathForDisplay(place.path);
    switch (place.kind) {
      case GameSearchPlace::Kind::kRegistryKey:
        text += Say(Text::kLookedInRegistry);
        break;
      case GameSearchPlace::Kind::kWinePrefix:
        text += Say(Text::kLookedInWinePrefix);
        break;
      case GameSearchPlace::Kind::kProtonPrefixes:
        text += Say(Text::kLookedInProton, place.count);
        break;
      case GameSearchPlace::Kind::kLutrisGames:
        text += Say(Text::kLookedInLutris, place.count);
        break;
    }
  }
  return text;
}

}  // namespace

TerminalSession::TerminalSession() : window_(TerminalWindow::DrawsProgress()) {
  state_.window = &window_;
}

TerminalSession::~TerminalSession() {
  JoinWorker(&state_);
  InstallInterruptHandler(nullptr);  // the handler must not outlive `running`
}

std::optional<int> TerminalSession::Open(std::string path, std::string_view command,
                                         std::string_view wine_prefix) {
  if (auto code = Load(std::move(path), command, wine_prefix)) return code;
  Run(ListingJob);
  return std::nullopt;
}

std::optional<int> TerminalSession::Load(std::string path, std::string_view command,
                                         std::string_view wine_prefix) {
  if (!path.empty() && !wine_prefix.empty()) {
    Complain(std::string(command) + ": " + Say(Text::kArchiveOrPrefix));
    return kExitError;
  }
  if (path.empty()) {
    const GameArchive game = FindGameArchive(wine_prefix);
    if (!wine_prefix.empty() &&
        game.looked_in.front().kind == GameSearchPlace::Kind::kRegistryKey) {
      Complain(std::string(command) + ": " + Say(Text::kPrefixInRegistry));
      return kExitError;
    }
    if (game.path.empty()) {
      Complain(std::string(command) + ": " + NoGameArchiveText(game.looked_in));
      return kExitError;
    }
    path = game.path;
  }
  path_ = path;
  ArchiveLoad loaded = LoadArchiveIndex(path.c_str());
  if (!loaded) {
    Complain(CannotLoadText(path, loaded.failure()));
    return kExitError;
  }
  state_.index = std::move(*loaded);
  return std::nullopt;
}

void TerminalSession::Run(JobProcedure job) {
  InstallInterruptHandler(&state_.running);
  if (!StartWorker(&state_, std::move(job))) {
    Complain(Say(Text::kCannotStartJob));
    return;
  }
  JoinWorker(&state_);
}

}  // namespace kowaki::cli
