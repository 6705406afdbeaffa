// kowaki-cli play [ARCHIVE] [--json] [ENTRY...]
// Lists the archive as the window does, selects the rows the ENTRY
// arguments name (all when none) and plays them one after another on the
// default sound device. The progress line shows the entry, its place in
// the run and the time played of its length; Ctrl-C is the stop button.

#include <chrono>
#include <string>
#include <vector>

#include "cli/arguments/args.h"
#include "cli/arguments/help.h"
#include "cli/commands.h"
#include "cli/commands/entry_selection.h"
#include "cli/output/run_report.h"
#include "cli/output/text_output.h"
#include "cli/terminal/interrupt.h"
#include "cli/terminal/language.h"
#include "cli/terminal/terminal_window.h"
#include "jobs/playback_job.h"
#include "text/catalogue.h"
#include "text/format_text.h"

namespace kowaki::cli {

namespace {

// The terminal window with the time played and the entry's length after
// the work the title names.
class PlayWindow : public TerminalWindow {
 public:
  using TerminalWindow::TerminalWindow;

  void SetJobTitle(std::string_view work) override {
    work_ = work;
    ShowWork();
  }
  int32_t RowEntry(int32_t row) override {
    const int32_t entry = TerminalWindow::RowEntry(row);
    seconds_ = entry >= 0 ? list().rows()[static_cast<size_t>(row)].facts.seconds : 0;
    return entry;
  }
  void SetProgressRange(int32_t low, int32_t high) override {
    frames_ = high;
    TerminalWindow::SetProgressRange(low, high);
  }
  void SetProgressPosition(int32_t position) override {
    position_ = position;
    if (!work_.empty()) ShowWork();
    TerminalWindow::SetProgressPosition(position);
  }
  void SetTitle(std::string_view text) override {
    work_.clear();
    TerminalWindow::SetTitle(text);
  }

 private:
  void ShowWork() {
    if (frames_ <= 0) {
      TerminalWindow::SetJobTitle(work_);
      return;
    }
    const double played = seconds_ * position_ / frames_;
    TerminalWindow::SetJobTitle(work_ + FormatText("  %.1f/%.1f s", played, seconds_));
  }

  std::string work_;
  double seconds_ = 0;  // the entry's length
  int32_t frames_ = 0;  // the same in frames, the progress bar's range
  int32_t position_ = 0;
};

}  // namespace

int RunPlay(Arguments args) {
  ParsedArgs parsed;
  if (const Result<> parsing = parsed.Parse(args, {"wineprefix"}, {"json"}); !parsing) {
    return BadArguments("play", parsing.failure().text);
  }
  std::vector<std::string> entries = parsed.positional();
  const std::string archive = TakeArchive(&entries);

  TerminalSession session;
  if (auto code = session.Open(archive, "play", parsed.Value("wineprefix").value_or("")))
    return *code;
  const bool stopped = Interrupted();  // while listing: the rows not listed may be named
  PlayWindow window(TerminalWindow::DrawsProgress());
  window.list() = session.window().list();
  const Result<> selected = SelectRows(window.list(), entries);
  if (!selected && !stopped) return BadArguments("play", selected.failure().text);
  if (!stopped && window.SelectedCount() == 0) {
    window.ShowMessage(Say(Text::kNothingToPlay), Say(Text::kCaptionWarning));
    return kExitError;
  }
  PlaybackResult result;
  const auto start = std::chrono::steady_clock::now();
  if (stopped) {
    result.selected = EndBeforeJob(window, Text::kPlayFailed, Text::kPlayStopped);
  } else {
    window.CountBytes(*session.state().index);
    session.state().window = &window;
    session.Run([&](AppState* state) { result = RunPlayback(state, PlaybackSetup{}); });
  }
  const RunReport report{.command = "play",
                         .archive = session.path(),
                         .index = session.state().index.get(),
                         .list = &window.list(),
                         .selected = result.selected,
                         .entries = &result.entries,
                         .succeeded = result.played,
                         .interrupted = Interrupted(),
                         .elapsed = std::chrono::steady_clock::now() - start,
                         .output = {}};
  return EndRun(report, parsed.Has("json"));
}

}  // namespace kowaki::cli
