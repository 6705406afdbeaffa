#include "tests/jobs/recording_window.h"

#include "text/catalogue.h"

namespace kowaki::test {

namespace {
std::string Text(std::string_view text) { return std::string(text); }
std::string Text(int32_t number) { return std::to_string(number); }
std::string Text(Control control) { return std::to_string(static_cast<int32_t>(control)); }
}  // namespace

// One line: the words joined with spaces.
template <typename... Words>
void RecordingWindow::Log(std::string_view what, const Words&... words) {
  std::string line(what);
  ((line += " " + Text(words)), ...);
  calls_.push_back(line);
}

void RecordingWindow::SetTitle(std::string_view text) {
  Log("title", text);
  title_ = text;
  if (on_title_) on_title_(std::string(text));
}

void RecordingWindow::DeleteAllRows() {
  Log("rows clear");
  list_.Clear();
}

void RecordingWindow::ReserveRows(int32_t count) { Log("rows reserve", count); }

void RecordingWindow::InsertRow(int32_t row, std::string_view name, int32_t entry) {
  Log("row", row, name, "#" + std::to_string(entry));
  list_.Insert(row, name, entry);
}

void RecordingWindow::SetCellText(int32_t row, int32_t column, std::string_view text) {
  Log("cell", row, column, text);
  list_.SetCell(row, column, text);
}

int32_t RecordingWindow::SelectedCount() {
  const int32_t count = list_.SelectedCount();
  Log("selected count", count);
  return count;
}

int32_t RecordingWindow::NextSelectedRow(int32_t row) {
  const int32_t next = list_.NextSelected(row);
  Log("next selected", row, next);
  return next;
}

int32_t RecordingWindow::RowEntry(int32_t row) {
  const int32_t entry = list_.Entry(row);
  Log("entry of", row, entry);
  return entry;
}

void RecordingWindow::SetProgressRange(int32_t low, int32_t high) {
  Log("progress range", low, high);
}
void RecordingWindow::SetProgressPosition(int32_t position) {
  Log("progress", position);
  progress_ = position;
}
void RecordingWindow::EnableControl(Control control, bool enabled) {
  Log(enabled ? "enable" : "disable", control);
  enabled_[control] = enabled;
}
void RecordingWindow::SetButtonText(Control control, std::string_view text) {
  Log("button", control, text);
  button_text_[control] = text;
}

void RecordingWindow::ShowMessage(std::string_view text, std::string_view caption) {
  Log("message", Text(caption) + ": " + Text(text));
}

bool RecordingWindow::PickFolder(std::string_view title, std::string* folder) {
  Log("pick folder", title);
  if (folder_answer) *folder = *folder_answer;
  return folder_answer.has_value();
}

bool RecordingWindow::PickSaveFile(std::string* path) {
  Log("pick save file");
  if (save_answer) *path = *save_answer;
  return save_answer.has_value();
}

std::string RecordingWindow::OutputPath(std::string_view folder, std::string_view stem,
                                        std::string_view extension) {
  return Text(folder) + "/" + Text(stem) + Text(extension);
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

void RecordingWindow::StartJob(Control button) {
  for (const Control control :
       {Control::kList, Control::kBrowse, Control::kPlay, Control::kOutput}) {
    enabled_[control] = control == button;
  }
  button_text_[button] = Say(Text::kButtonStop);
}

bool RecordingWindow::Idle() const {
  const auto enabled = [this](Control control) {
    const auto it = enabled_.find(control);
    return it == enabled_.end() || it->second;
  };
  const auto text = [this](Control control, std::string_view idle) {
    const auto it = button_text_.find(control);
    return it == button_text_.end() || it->second == idle;
  };
  return title_ == Say(Text::kTitle) && enabled(Control::kList) && enabled(Control::kBrowse) &&
         enabled(Control::kPlay) && enabled(Control::kOutput) &&
         text(Control::kPlay, Say(Text::kButtonPlay)) &&
         text(Control::kOutput, Say(Text::kButtonOutput)) && progress_ == 0;
}

std::vector<std::string> RecordingWindow::Calls(std::string_view prefix) const {
  std::vector<std::string> out;
  for (const std::string& call : calls_) {
    if (call.starts_with(prefix)) out.push_back(call);
  }
  return out;
}

}  // namespace kowaki::test
