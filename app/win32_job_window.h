#pragma once
// The jobs' window seam over the real main dialog, carried out by the
// window's thread. Rows a worker adds wait in a batch that the window's
// thread inserts at most ~30 times a second, with the title and progress
// they bring; every other call first hands over what waits, then becomes a
// synchronous message to its control, so the window sees the calls in the
// order the job made them. Texts arrive in UTF-8 and go to the wide
// interfaces in UTF-16.

#include <windows.h>

#include <array>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "jobs/job_window.h"

namespace kowaki {

class Win32JobWindow final : public JobWindow {
 public:
  explicit Win32JobWindow(HWND dialog) : dialog_(dialog) {}

  void SetTitle(std::string_view text) override;
  void DeleteAllRows() override;
  void ReserveRows(int32_t count) override;
  void InsertRow(int32_t row, std::string_view name, int32_t entry) override;
  void SetCellText(int32_t row, int32_t column, std::string_view text) override;
  void SetRowFacts(int32_t row, const RowFacts& facts) override;
  int32_t SelectedCount() override;
  int32_t NextSelectedRow(int32_t row) override;
  int32_t RowEntry(int32_t row) override;
  void SetProgressRange(int32_t low, int32_t high) override;
  void SetProgressPosition(int32_t position) override;
  void EnableControl(Control control, bool enabled) override;
  void SetButtonText(Control control, std::string_view text) override;
  void ShowMessage(std::string_view text, std::string_view caption) override;
  bool PickFolder(std::string_view title, std::string* folder) override;
  bool PickSaveFile(std::string* path) override;
  std::string NameText(std::string_view name) override;
  std::string PathText(std::string_view path) override;
  std::string OutputPath(std::string_view folder, std::string_view stem,
                         std::string_view extension) override;

  // The numbers behind entry `entry`'s row, for sorting; read them only
  // while no job runs.
  RowFacts FactsOf(int32_t entry) const;

  // The dialog procedure passes every message here first; true when it
  // was the batch's (its wake-up or its timer), which is then carried out.
  bool HandleMessage(UINT message, WPARAM wparam);

 private:
  struct WaitingRow {
    std::array<std::wstring, 5> cells;  // the name, then columns 1 to 4
    int32_t entry;
  };
  // What a worker left for the window's thread. Rows from `first_row` on.
  struct Batch {
    std::vector<WaitingRow> rows;
    std::optional<std::wstring> title;
    std::optional<int32_t> position;
  };

  LRESULT SendToList(UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT SendToProgress(UINT message, WPARAM wparam, LPARAM lparam);
  // Has the window's thread insert what waits, and returns once it has.
  void HandOver();
  // On the window's thread: inserts the waiting rows, then sets the title
  // and progress they brought.
  void InsertWaiting();
  // While rows wait, has `store` put a title or position in the batch, to
  // be set after them; false when none wait.
  template <typename Store>
  bool KeepWithRows(Store store);
  // The waiting row `row` of the list, or null when it is in the list or
  // beyond; `guard_` held.
  WaitingRow* Waiting(int32_t row);

  HWND dialog_;
  std::vector<RowFacts> facts_;  // by entry number
  std::mutex guard_;             // over what follows
  Batch batch_;
  int32_t first_row_ = 0;  // the rows the list holds, which the batch's follow
  bool woken_ = false;     // the window's thread was told of the batch
};

}  // namespace kowaki
