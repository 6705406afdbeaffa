#include "cli/browse/browse_window.h"

#include "jobs/listing_job.h"

namespace kowaki::cli {

BrowseWindow::Status BrowseWindow::status() const {
  std::lock_guard lock(mutex_);
  return status_;
}

void BrowseWindow::ClearMessages() {
  std::lock_guard lock(mutex_);
  status_.problem.clear();
  status_.message.clear();
}

void BrowseWindow::SetQueue(const ArchiveIndex& index, const std::vector<int32_t>& entries) {
  index_ = &index;
  list().Clear();
  list().Reserve(static_cast<int32_t>(entries.size()));
  for (const int32_t entry : entries) {
    list().rows().push_back({.name = std::string(EntryName(index.entries[entry])),
                             .entry = entry,
                             .cells = {},
                             .facts = {},
                             .selected = true});
  }
}

void BrowseWindow::SetTitle(std::string_view) {
  std::lock_guard lock(mutex_);
  status_.work.clear();
}

void BrowseWindow::SetJobTitle(std::string_view work) {
  std::lock_guard lock(mutex_);
  status_.work = work;
}

void BrowseWindow::SetProgressRange(int32_t low, int32_t high) {
  std::lock_guard lock(mutex_);
  status_.low = low;
  status_.high = high;
}

void BrowseWindow::SetProgressPosition(int32_t position) {
  std::lock_guard lock(mutex_);
  status_.position = position;
}

// The job asks for each entry as it takes it up: its length is read here,
// from the facts when they are in.
int32_t BrowseWindow::RowEntry(int32_t row) {
  const int32_t entry = TerminalWindow::RowEntry(row);
  double seconds = 0;
  if (entry >= 0 && entry < facts_.known()) {
    seconds = facts_.facts()[static_cast<size_t>(entry)].facts.seconds;
  } else if (entry >= 0) {
    seconds = ReadEntryFacts(index_, entry).facts.seconds;
  }
  std::lock_guard lock(mutex_);
  status_.seconds = seconds;
  return entry;
}

void BrowseWindow::ReportEntry(const EntryOutcome& outcome, std::string_view name) {
  if (outcome.ok) return;
  std::lock_guard lock(mutex_);
  status_.problem = NameText(name) + ": " + ProblemText(outcome);
}

// A message box's lines, and the blank ones between them, on one line.
void BrowseWindow::ShowMessage(std::string_view text, std::string_view caption) {
  std::string line = std::string(caption) + ":";
  bool gap = true;
  for (const char c : text) {
    const bool space = c == '\n' || c == ' ';
    if (!space && gap) line += ' ';
    if (!space) line += c;
    gap = space;
  }
  std::lock_guard lock(mutex_);
  status_.message = line;
}

}  // namespace kowaki::cli
