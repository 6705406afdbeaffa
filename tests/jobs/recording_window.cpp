#include "tests/jobs/recording_window.h"

namespace kowaki::test {

namespace {
std::string Id(Control control) { return std::to_string(static_cast<int32_t>(control)); }
}  // namespace

void RecordingWindow::SetTitle(std::string_view text) {
  calls_.push_back("title " + std::string(text));
  if (on_title_) on_title_(std::string(text));
}

void RecordingWindow::DeleteAllRows() {
  calls_.push_back("rows clear");
  list_.Clear();
}

void RecordingWindow::ReserveRows(int32_t count) {
  calls_.push_back("rows reserve " + std::to_string(count));
}

void RecordingWindow::InsertRow(int32_t row, std::string_view name, int32_t entry) {
  calls_.push_back("row " + std::to_string(row) + " " + std::string(name) + " #" + std::to_string(entry));
  list_.Insert(row, name, entry);
}

void RecordingWindow::SetCellText(int32_t row, int32_t column, std::string_view text) {
  calls_.push_back("cell " + std::to_string(row) + " " + std::to_string(column) + " " + std::string(text));
  list_.SetCell(row, column, text);
}

int32_t RecordingWindow::SelectedCount() {
  const int32_t count = list_.SelectedCount();
  calls_.push_back("selected count " + std::to_string(count));
  return count;
}

int32_t RecordingWindow::NextSelectedRow(int32_t row) {
  const int32_t next = list_.NextSelected(row);
  calls_.push_back("next selected " + std::to_string(row) + " " + std::to_string(next));
  return next;
}

int32_t RecordingWindow::RowEntry(int32_t row) {
  const int32_t entry = list_.Entry(row);
  calls_.push_back("entry of " + std::to_string(row) + " " + std::to_string(entry));
  return entry;
}

void RecordingWindow::SetProgressRange(int32_t low, int32_t high) {
  calls_.push_back("progress range " + std::to_string(low) + " " + std::to_string(high));
}

void RecordingWindow::SetProgressPosition(int32_t position) {
  calls_.push_back("progress " + std::to_string(position));
}

void RecordingWindow::EnableControl(Control control, bool enabled) {
  calls_.push_back((enabled ? "enable " : "disable ") + Id(control));
}

void RecordingWindow::SetButtonText(Control control, std::string_view text) {
  calls_.push_back("button " + Id(control) + " " + std::string(text));
}

void RecordingWindow::ShowMessage(std::string_view text, std::string_view caption) {
  calls_.push_back("message " + std::string(caption) + ": " + std::string(text));
}

bool RecordingWindow::PickFolder(std::string_view title, std::string* folder) {
  calls_.push_back("pick folder " + std::string(title));
  if (!folder_answer) return false;
  *folder = *folder_answer;
  return true;
}

bool RecordingWindow::PickSaveFile(std::string* path) {
  calls_.push_back("pick save file");
  if (!save_answer) return false;
  *path = *save_answer;
  return true;
}

std::string RecordingWindow::OutputPath(std::string_view folder, std::string_view stem,
                                        std::string_view extension) {
  return std::string(folder) + "/" + std::string(stem) + std::string(extension);
}

void RecordingWindow::AddRows(int32_t count) {
  for (int32_t i = 0; i < count; ++i) list_.Insert(i, "", i);
}

void RecordingWindow::Select(std::initializer_list<int32_t> rows) {
  for (int32_t row : rows) list_.rows().at(static_cast<size_t>(row)).selected = true;
}

void RecordingWindow::SelectAll() {
  for (RowList::Row& row : list_.rows()) row.selected = true;
}

std::vector<std::string> RecordingWindow::Calls(std::string_view prefix) const {
  std::vector<std::string> out;
  for (const std::string& call : calls_) {
    if (call.starts_with(prefix)) out.push_back(call);
  }
  return out;
}

}  // namespace kowaki::test
