#pragma once
// The jobs' window in kowaki-cli browse. A job takes the entries it is
// handed (SetQueue) as the selected rows; what it shows (its work, the
// progress, its messages, the last entry that failed) is kept for the
// screen, which draws it on its own thread.

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "cli/browse/facts_loader.h"
#include "cli/terminal/terminal_window.h"

namespace kowaki::cli {

class BrowseWindow : public TerminalWindow {
 public:
  // `facts` gives the length of an entry a job takes.
  explicit BrowseWindow(const FactsLoader& facts) : TerminalWindow(false), facts_(facts) {}

  // What a job shows, as it last left it.
  struct Status {
    std::string work;  // the job's work; empty while idle
    int32_t low = 0;
    int32_t high = 100;
    int32_t position = 0;
    double seconds = 0;   // the length of the entry playing
    std::string problem;  // the last entry that failed, and why
    std::string message;  // the job's last message, on one line
  };
  Status status() const;
  // A job starts: nothing said yet.
  void ClearMessages();

  // The entries the next job takes, in this order. Not while a job runs.
  void SetQueue(const ArchiveIndex& index, const std::vector<int32_t>& entries);

  void SetTitle(std::string_view text) override;
  void SetJobTitle(std::string_view work) override;
  void SetProgressRange(int32_t low, int32_t high) override;
  void SetProgressPosition(int32_t position) override;
  int32_t RowEntry(int32_t row) override;
  void ReportEntry(const EntryOutcome& outcome, std::string_view name) override;
  void ShowMessage(std::string_view text, std::string_view caption) override;

 private:
  const FactsLoader& facts_;
  const ArchiveIndex* index_ = nullptr;
  mutable std::mutex mutex_;
  Status status_;
};

}  // namespace kowaki::cli
