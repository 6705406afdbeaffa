#pragma once
// The jobs' window seam over the real main dialog: every call becomes a
// synchronous message to its control, carried out by the window's thread.
// Texts arrive in UTF-8 and go to the wide interfaces in UTF-16.

#include <windows.h>

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

 private:
  LRESULT SendToList(UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT SendToProgress(UINT message, WPARAM wparam, LPARAM lparam);

  HWND dialog_;
  std::vector<RowFacts> facts_;  // by entry number
};

}  // namespace kowaki
