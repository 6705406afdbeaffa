#include "app/win32_job_window.h"

#include <commctrl.h>
#include <commdlg.h>
#include <objbase.h>
#include <shlobj.h>

#include <string>

#include "app/file_dialogs.h"
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

LRESULT Win32JobWindow::SendToList(UINT message, WPARAM wparam, LPARAM lparam) {
  return SendDlgItemMessageW(dialog_, IDC_LIST, message, wparam, lparam);
}

LRESULT Win32JobWindow::SendToProgress(UINT message, WPARAM wparam, LPARAM lparam) {
  return SendDlgItemMessageW(dialog_, IDC_PROGRESS, message, wparam, lparam);
}

void Win32JobWindow::SetTitle(std::string_view text) {
  SetWindowTextW(dialog_, Wide(text).c_str());
}

void Win32JobWindow::DeleteAllRows() {
  SendToList(LVM_DELETEALLITEMS, 0, 0);
  facts_.clear();
}

void Win32JobWindow::ReserveRows(int32_t count) {
  SendToList(LVM_SETITEMCOUNT, static_cast<WPARAM>(count), 0);
}

void Win32JobWindow::InsertRow(int32_t row, std::string_view name, int32_t entry) {
  std::wstring text = Wide(NameText(name));
  LVITEMW item = {};
  item.mask = LVIF_TEXT | LVIF_PARAM;
  item.iItem = row;
  item.pszText = text.data();
  item.lParam = entry;
  SendToList(LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
}

void Win32JobWindow::SetCellText(int32_t row, int32_t column, std::string_view text) {
  std::wstring wide = Wide(text);
  LVITEMW item = {};
  item.iSubItem = column;
  item.pszText = wide.data();
  SendToList(LVM_SETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

void Win32JobWindow::SetRowFacts(int32_t row, const RowFacts& facts) {
  const int32_t entry = RowEntry(row);
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
  return static_cast<int32_t>(SendToList(LVM_GETSELECTEDCOUNT, 0, 0));
}

int32_t Win32JobWindow::NextSelectedRow(int32_t row) {
  return static_cast<int32_t>(
      SendToList(LVM_GETNEXTITEM, static_cast<WPARAM>(row), MAKELPARAM(LVNI_SELECTED, 0)));
}

int32_t Win32JobWindow::RowEntry(int32_t row) {
  LVITEMW item = {};
  item.mask = LVIF_PARAM;
  item.iItem = row;
  item.lParam = -1;
  SendToList(LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
  return static_cast<int32_t>(item.lParam);
}

void Win32JobWindow::SetProgressRange(int32_t low, int32_t high) {
  SendToProgress(PBM_SETRANGE32, static_cast<WPARAM>(low), static_cast<LPARAM>(high));
}

void Win32JobWindow::SetProgressPosition(int32_t position) {
  SendToProgress(PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

void Win32JobWindow::EnableControl(Control control, bool enabled) {
  EnableWindow(GetDlgItem(dialog_, static_cast<int>(control)), enabled ? TRUE : FALSE);
}

void Win32JobWindow::SetButtonText(Control control, std::string_view text) {
  SetDlgItemTextW(dialog_, static_cast<int>(control), Wide(text).c_str());
}

void Win32JobWindow::ShowMessage(std::string_view text, std::string_view caption) {
  ShowMessageBox(dialog_, text, caption);
}

bool Win32JobWindow::PickFolder(std::string_view title, std::string* folder) {
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
