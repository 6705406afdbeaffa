#pragma once
// The terminal as the jobs' window: the list kept in memory, the title and
// progress bar drawn as one line on stderr when it is a terminal (nothing
// otherwise), messages printed to stderr, and the pickers answered by the
// command line.

#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "jobs/app_state.h"
#include "jobs/job_window.h"
#include "jobs/row_list.h"

namespace kowaki::cli {

class TerminalWindow : public JobWindow {
 public:
  // `progress`: draw the progress line (stderr is a terminal).
  explicit TerminalWindow(bool progress) : progress_(progress) {}
  // Whether a window here draws the progress line: on a terminal, not quiet.
  static bool DrawsProgress();

  void SetTitle(std::string_view text) override;
  void SetJobTitle(std::string_view work) override;
  void DeleteAllRows() override { list_.Clear(); }
  void ReserveRows(int32_t count) override { list_.Reserve(count); }
  void InsertRow(int32_t row, std::string_view name, int32_t entry) override {
    list_.Insert(row, name, entry);
  }
  void SetCellText(int32_t row, int32_t column, std::string_view text) override {
    list_.SetCell(row, column, text);
  }
  void SetRowFacts(int32_t row, const RowFacts& facts) override { list_.SetFacts(row, facts); }
  int32_t SelectedCount() override { return list_.SelectedCount(); }
  int32_t NextSelectedRow(int32_t row) override { return list_.NextSelected(row); }
  int32_t RowEntry(int32_t row) override { return list_.Entry(row); }
  void SetProgressRange(int32_t low, int32_t high) override;
  void SetProgressPosition(int32_t position) override;
  void EnableControl(Control, bool) override {}
  void SetButtonText(Control, std::string_view) override {}
  void ReportEntry(const EntryOutcome& outcome, std::string_view name) override;
  void ShowMessage(std::string_view text, std::string_view caption) override;
  void ShowReason(std::string_view reason) override;
  bool PickFolder(std::string_view title, std::string* folder) override;
  bool PickSaveFile(std::string* path) override;
  std::string NameText(std::string_view name) override;
  std::string PathText(std::string_view path) override;
  std::string OutputPath(std::string_view folder, std::string_view stem,
                         std::string_view extension) override;

  RowList& list() { return list_; }
  // Every entry kept by --no-clobber gets its line; otherwise the first
  // few, and EndKeptLines counts the rest.
  void ShowEveryKept(bool every) { every_kept_ = every; }
  void EndKeptLines();
  // From here the progress line also shows the run's share done, by the
  // bytes of the selected rows' entries, with the time taken and left.
  void CountBytes(const ArchiveIndex& index);
  // What the pickers answer; nothing: the user cancels.
  std::optional<std::string> folder_answer;
  std::optional<std::string> save_answer;

 private:
  void Draw();
  void ClearLine();
  std::string Share() const;

  bool progress_;
  RowList list_;
  std::string title_;
  int32_t low_ = 0;
  int32_t high_ = 100;
  int32_t position_ = 0;
  bool drawn_ = false;
  bool every_kept_ = false;
  int32_t kept_shown_ = 0;
  int32_t kept_hidden_ = 0;
  std::vector<uint64_t> sizes_;  // by entry, for CountBytes
  uint64_t total_bytes_ = 0;
  uint64_t done_bytes_ = 0;
  std::chrono::steady_clock::time_point start_;
};

// "[######------]": a bar of `width` cells filled as far as `position`
// stands from `low` to `high`.
std::string ProgressBar(int32_t low, int32_t high, int32_t position, int width);

// An archive loaded and listed as the window does it, for the commands
// that work on its rows.
class TerminalSession {
 public:
  TerminalSession();
  ~TerminalSession();
  TerminalSession(const TerminalSession&) = delete;
  TerminalSession& operator=(const TerminalSession&) = delete;

  // Loads `path` (empty: the game's archive, looked for in `wine_prefix`
  // when given) and lists it. An exit code when it cannot be loaded, after
  // saying why; nothing once listed, whole or up to a stop (Interrupted()).
  std::optional<int> Open(std::string path, std::string_view command,
                          std::string_view wine_prefix = {});
  // The same without the listing: the index alone.
  std::optional<int> Load(std::string path, std::string_view command,
                          std::string_view wine_prefix = {});
  // Runs `job` on a worker, Ctrl-C being the stop button; returns when it ended.
  void Run(JobProcedure job);

  TerminalWindow& window() { return window_; }
  AppState& state() { return state_; }
  const std::string& path() const { return path_; }

 private:
  TerminalWindow window_;
  AppState state_;
  std::string path_;
};

// Platform layer.
namespace platform {
bool IsTerminal(std::FILE* stream);
// Creates `path` and the folders above it that are missing; true when it is a folder.
bool MakeFolders(const std::string& path);
// `folder`, a separator, and `name` (code page 932 bytes) as the file
// name the user sees listed in that folder.
std::string PathInFolder(std::string_view folder, std::string_view name);
}  // namespace platform

}  // namespace kowaki::cli
