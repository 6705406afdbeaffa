#include "app/win32_job_window.h"

#include <commctrl.h>
#include <commdlg.h>
#include <objbase.h>
#include <shlobj.h>

#include <string>
#include <utility>

#include "app/file_dialogs.h"
#include "app/message_box.h"
#include "app/wide_text.h"
#include "res/resource.h"
#include "text/catalogue.h"

namespace kowaki {

// The seam names the controls by their resource ids.
static_assert(static_cast<int>(Control::kPath) == IDC_PATH &&
              static_cast<int>(Control::kBrowse) == IDC_BROWSE &&
              static_cast<int>(Control::kList) == IDC_LIST &&
              static_cast<int>(Control::kProgress) == IDC_PROGRESS &&
              static_cast<int>(Control::kPlay) == IDC_PLAY &&
              static_cast<int>(Control::kSettings) == IDC_SETTINGS &&
              static_cast<int>(Control::kOutput) == IDC_OUTPUT);

namespace {

// Posted by a worker when rows begin to wait: the window's thread inserts
// them when the timer next fires, with whatever joined them meanwhile.
constexpr UINT kRowsWaiting = WM_APP + 1;
// Sent by a worker that needs the waiting rows in the list before it goes on.
constexpr UINT kInsertNow = WM_APP + 2;
constexpr UINT_PTR kBatchTimer = 1;
constexpr UINT kBatchMilliseconds = 33;  // about 30 times a second

void SetItemText(HWND list, int32_t row, int32_t column, std::wstring& text) {
  LVITEMW item = {};
  item.iSubItem = column;
  item.pszText = text.data();
  SendMessageW(list, LVM_SETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

}  // namespace

LRESULT Win32JobWindow::SendToList(UINT message, WPARAM wparam, LPARAM lparam) {
  return SendDlgItemMessageW(dialog_, IDC_LIST, message, wparam, lparam);
}

LRESULT Win32JobWindow::SendToProgress(UINT message, WPARAM wparam, LPARAM lparam) {
  return SendDlgItemMessageW(dialog_, IDC_PROGRESS, message, wparam, lparam);
}

bool Win32JobWindow::HandleMessage(UINT message, WPARAM wparam) {
  switch (message) {
    case kRowsWaiting:
      SetTimer(dialog_, kBatchTimer, kBatchMilliseconds, nullptr);
      return true;
    case WM_TIMER:
      if (wparam != kBatchTimer) return false;
      KillTimer(dialog_, kBatchTimer);
      InsertWaiting();
      return true;
    case kInsertNow:
      InsertWaiting();
      return true;
    default:
      return false;
  }
}

void Win32JobWindow::HandOver() {
  {
    std::lock_guard lock(guard_);
    if (batch_.rows.empty()) return;
  }
  SendMessageW(dialog_, kInsertNow, 0, 0);
}

// The list neither redraws nor updates its scroll bar per row; the title
// and progress show the last the worker set.
void Win32JobWindow::InsertWaiting() {
  Batch batch;
  int32_t row = 0;
  {
    std::lock_guard lock(guard_);
    batch = std::exchange(batch_, {});
    row = first_row_;
    first_row_ += static_cast<int32_t>(batch.rows.size());
    woken_ = false;
  }
  if (batch.rows.empty()) return;
  HWND list = GetDlgItem(dialog_, IDC_LIST);
  SendMessageW(list, WM_SETREDRAW, FALSE, 0);
  for (WaitingRow& waiting : batch.rows) {
    LVITEMW item = {};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = row;
    item.pszText = waiting.cells[0].data();
    item.lParam = waiting.entry;
    SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    for (int32_t column = 1; column < 5; ++column) {
      if (!waiting.cells[column].empty()) SetItemText(list, row, column, waiting.cells[column]);
    }
    ++row;
  }
  SendMessageW(list, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list, nullptr, FALSE);
  if (batch.position) SendToProgress(PBM_SETPOS, static_cast<WPARAM>(*batch.position), 0);
  if (batch.title) SetWindowTextW(dialog_, batch.title->c_str());
}

Win32JobWindow::WaitingRow* Win32JobWindow::Waiting(int32_t row) {
  const int32_t at = row - first_row_;
  return at >= 0 && at < static_cast<int32_t>(batch_.rows.size())
             ? &batch_.rows[static_cast<size_t>(at)]
             : nullptr;
}

template <typename Store>
bool Win32JobWindow::KeepWithRows(Store store) {
  std::lock_guard lock(guard_);
  if (batch_.rows.empty()) return false;
  store(batch_);
  return true;
}

void Win32JobWindow::SetTitle(std::string_view text) {
  std::wstring wide = Wide(text);
  if (!KeepWithRows([&](Batch& batch) { batch.title = wide; }))
    SetWindowTextW(dialog_, wide.c_str());
}

void Win32JobWindow::DeleteAllRows() {
  HandOver();
  SendToList(LVM_DELETEALLITEMS, 0, 0);
  std::lock_guard lock(guard_);
  first_row_ = 0;
  facts_.clear();
}

void Win32JobWindow::ReserveRows(int32_t count) {
  HandOver();
  SendToList(LVM_SETITEMCOUNT, static_cast<WPARAM>(count), 0);
}

// A row after the last joins the batch; one anywhere else goes in at once.
void Win32JobWindow::InsertRow(int32_t row, std::string_view name, int32_t entry) {
  WaitingRow waiting{{Wide(NameText(name))}, entry};
  std::unique_lock lock(guard_);
  if (row == first_row_ + static_cast<int32_t>(batch_.rows.size())) {
    batch_.rows.push_back(std::move(waiting));
    const bool wake = !std::exchange(woken_, true);
    lock.unlock();
    if (wake) PostMessageW(dialog_, kRowsWaiting, 0, 0);
    return;
  }
  lock.unlock();
  HandOver();
  LVITEMW item = {};
  item.mask = LVIF_TEXT | LVIF_PARAM;
  item.iItem = row;
  item.pszText = waiting.cells[0].data();
  item.lParam = entry;
  SendToList(LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
  lock.lock();
  ++first_row_;
}

void Win32JobWindow::SetCellText(int32_t row, int32_t column, std::string_view text) {
  std::wstring wide = Wide(text);
  {
    std::lock_guard lock(guard_);
    WaitingRow* waiting = Waiting(row);
    if (waiting && column >= 0 && column < 5) {
      waiting->cells[static_cast<size_t>(column)] = std::move(wide);
      return;
    }
  }
  HandOver();
  SetItemText(GetDlgItem(dialog_, IDC_LIST), row, column, wide);
}

void Win32JobWindow::SetRowFacts(int32_t row, const RowFacts& facts) {
  int32_t entry = -1;
  {
    std::lock_guard lock(guard_);
    if (const WaitingRow* waiting = Waiting(row)) entry = waiting->entry;
  }
  if (entry < 0) entry = RowEntry(row);
  if (entry < 0) return;
  if (facts_.size() <= static_cast<size_t>(entry)) facts_.resize(static_cast<size_t>(entry) + 1);
  facts_[static_cast<size_t>(entry)] = facts;
}

RowFacts Win32JobWindow::FactsOf(int32_t entry) const {
  return entry >= 0 && static_cast<size_t>(entry) < facts_.size()
             ? facts_[static_cast<size_t>(entry)]
             : RowFacts{};
}

int32_t Win32JobWindow::SelectedCount() {
  HandOver();
  return static_cast<int32_t>(SendToList(LVM_GETSELECTEDCOUNT, 0, 0));
}

int32_t Win32JobWindow::NextSelectedRow(int32_t row) {
  HandOver();
  return static_cast<int32_t>(
      SendToList(LVM_GETNEXTITEM, static_cast<WPARAM>(row), MAKELPARAM(LVNI_SELECTED, 0)));
}

int32_t Win32JobWindow::RowEntry(int32_t row) {
  HandOver();
  LVITEMW item = {};
  item.mask = LVIF_PARAM;
  item.iItem = row;
  item.lParam = -1;
  SendToList(LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
  return static_cast<int32_t>(item.lParam);
}

void Win32JobWindow::SetProgressRange(int32_t low, int32_t high) {
  HandOver();
  SendToProgress(PBM_SETRANGE32, static_cast<WPARAM>(low), static_cast<LPARAM>(high));
}

void Win32JobWindow::SetProgressPosition(int32_t position) {
  if (!KeepWithRows([&](Batch& batch) { batch.position = position; }))
    SendToProgress(PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

void Win32JobWindow::EnableControl(Control control, bool enabled) {
  HandOver();
  EnableWindow(GetDlgItem(dialog_, static_cast<int>(control)), enabled ? TRUE : FALSE);
}

void Win32JobWindow::SetButtonText(Control control, std::string_view text) {
  HandOver();
  SetDlgItemTextW(dialog_, static_cast<int>(control), Wide(text).c_str());
}

void Win32JobWindow::ShowMessage(std::string_view text, std::string_view caption) {
  HandOver();
  ShowMessageBox(dialog_, text, caption);
}

bool Win32JobWindow::PickFolder(std::string_view title, std::string* folder) {
  HandOver();
  const std::wstring wide_title = Wide(title);
  BROWSEINFOW info = {};
  info.hwndOwner = dialog_;
  info.lpszTitle = wide_title.c_str();
  info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
  LPITEMIDLIST chosen = SHBrowseForFolderW(&info);
  if (!chosen) return false;
  wchar_t path[MAX_PATH] = {};
  const bool ok = SHGetPathFromIDListW(chosen, path) != FALSE;
  CoTaskMemFree(chosen);
  if (ok) *folder = Utf8(path);
  return ok;
}

bool Win32JobWindow::PickSaveFile(std::string* path) {
  HandOver();
  const std::wstring filter =
      FileDialogFilter({Say(Text::kWavFilesFilter), "*.wav", Say(Text::kAllFilesFilter), "*.*"});
  wchar_t name[kPathBufferSize] = {};
  OPENFILENAMEW dialog = FileDialogRecord(dialog_, filter, name, OFN_NOCHANGEDIR);
  dialog.nFilterIndex = 1;
  if (!GetSaveFileNameW(&dialog)) return false;
  *path = Utf8(name);
  return true;
}

// Names look as a Japanese system's ANSI functions show them, on any
// system; paths are UTF-8 already.
std::string Win32JobWindow::NameText(std::string_view name) { return win32::Cp932Text(name); }

std::string Win32JobWindow::PathText(std::string_view path) { return std::string(path); }

// The file gets the name a Japanese system gives those bytes, whatever
// this system's code page.
std::string Win32JobWindow::OutputPath(std::string_view folder, std::string_view stem,
                                       std::string_view extension) {
  std::string path(folder);
  path += '\\';
  path += NameText(stem);
  path += extension;
  return path;
}

}  // namespace kowaki
