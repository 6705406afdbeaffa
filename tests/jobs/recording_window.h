#pragma once
// The window as a test sees it: every call a job makes is recorded as one
// line, in order; the list keeps its rows so a test can select them; the
// pickers give the answers the test set.

#include <functional>
#include <initializer_list>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "jobs/job_window.h"
#include "jobs/row_list.h"

namespace kowaki::test {

class RecordingWindow : public JobWindow {
 public:
  void SetTitle(std::string_view text) override;
  void DeleteAllRows() override;
  void ReserveRows(int32_t count) override;
  void InsertRow(int32_t row, std::string_view name, int32_t entry) override;
  void SetCellText(int32_t row, int32_t column, std::string_view text) override;
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
  std::string NameText(std::string_view name) override { return std::string(name); }
  std::string PathText(std::string_view path) override { return std::string(path); }
  std::string OutputPath(std::string_view folder, std::string_view stem,
                         std::string_view extension) override;

  // Rows as a listing left them, for an export to select from.
  void AddRows(int32_t count);
  void Select(std::initializer_list<int32_t> rows);
  void SelectAll();
  // Sets the controls as a face does when it starts a job under `button`
  // (Play or Output): the others disabled, the button reading 中断.
  void StartJob(Control button);
  // Whether the window is as between jobs: its own title, every control
  // enabled, Play and Output with their own texts, the progress bar at 0.
  bool Idle() const;
  // Called at each SetTitle, e.g. to press the stop button mid-run.
  void OnTitle(std::function<void(const std::string&)> hook) { on_title_ = std::move(hook); }

  std::optional<std::string> folder_answer;
  std::optional<std::string> save_answer;

  const std::vector<std::string>& calls() const { return calls_; }
  // The recorded lines that start with `prefix`, in order.
  std::vector<std::string> Calls(std::string_view prefix) const;
  const std::vector<RowList::Row>& rows() const { return list_.rows(); }

 private:
  template <typename... Words>
  void Log(std::string_view what, const Words&... words);

  std::vector<std::string> calls_;
  RowList list_;
  // What the calls left on the window.
  std::string title_ = "こわき";
  std::map<Control, bool> enabled_;
  std::map<Control, std::string> button_text_;
  int32_t progress_ = 0;
  std::function<void(const std::string&)> on_title_;
};

}  // namespace kowaki::test
