#include "app/main_window.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>

#include <new>
#include <string>

#include "app/dialog_font.h"
#include "app/file_dialogs.h"
#include "app/layout.h"
#include "app/message_box.h"
#include "app/settings_dialog.h"
#include "app/wide_text.h"
#include "jobs/export_job.h"
#include "jobs/listing_job.h"
#include "jobs/playback_job.h"
#include "jobs/row_order.h"
#include "res/resource.h"
#include "settings/game_archive.h"
#include "settings/output_settings.h"
#include "settings/settings_store.h"
#include "text/catalogue.h"
#include "text/format_text.h"

namespace kowaki {

namespace {

MainWindow* StateOf(HWND dialog) {
  return reinterpret_cast<MainWindow*>(GetWindowLongPtrW(dialog, GWLP_USERDATA));
}

void InsertColumns(HWND list) {
  RECT client;
  GetClientRect(list, &client);
  const auto widths = ListColumnWidths(client.right - client.left, GetSystemMetrics(SM_CXVSCROLL));
  for (int i = 0; i < static_cast<int>(widths.size()); ++i) {
    std::wstring title = Wide(Say(kColumnTitles[i]));
    LVCOLUMNW column = {};
    column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
    column.fmt = LVCFMT_LEFT;
    column.cx = widths[static_cast<size_t>(i)];
    column.pszText = title.data();
    column.iSubItem = i;
    SendMessageW(list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(i),
                 reinterpret_cast<LPARAM>(&column));
  }
}

// The idle state of the controls, after a worker could not be started.
void RestoreIdleControls(MainWindow* state) {
  for (Control control : {Control::kBrowse, Control::kList, Control::kPlay, Control::kOutput})
    state->job_window.EnableControl(control, true);
  state->job_window.SetButtonText(Control::kPlay, Say(Text::kButtonPlay));
  state->job_window.SetButtonText(Control::kOutput, Say(Text::kButtonOutput));
}

void StartJob(MainWindow* state, JobProcedure job) {
  if (!StartWorker(&state->jobs, job)) {
    RestoreIdleControls(state);
    ShowMessageBox(state->window, Say(Text::kCannotStartJob), Say(Text::kCaptionFailure));
  }
}

// Forgets a worker that has ended on its own, before the next one starts.
void ReleaseEndedWorker(MainWindow* state) {
  if (state->jobs.thread.joinable()) {
    state->jobs.running = 0;
    WaitForWorker(state);
  }
}

void LocateGameArchive(MainWindow* state) {
  const std::string path = FindGameArchive().path;
  if (!path.empty()) OpenArchive(state, path);
}

void Browse(MainWindow* state) {
  const std::wstring filter =
      FileDialogFilter({Say(Text::kArchiveFilter), "voice.arc", Say(Text::kAllFiles), "*.*"});
  wchar_t path[kPathBufferSize] = {};
  OPENFILENAMEW dialog = FileDialogRecord(state->window, filter, path,
                                          OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST);
  if (GetOpenFileNameW(&dialog)) OpenArchive(state, Utf8(path));
}

enum class JobKind { kPlay, kExport };

// The Play and Output buttons: a stop request while a job runs, otherwise
// the start of their job on the selected rows.
void StartOrStop(MainWindow* state, JobKind kind) {
  if (state->jobs.running) {
    state->jobs.running = 0;
    return;
  }
  ReleaseEndedWorker(state);
  const bool play = kind == JobKind::kPlay;
  JobWindow& window = state->job_window;
  // Rows left from an archive that failed to load name entries of no index.
  if (window.SelectedCount() == 0 || !state->jobs.index) {
    ShowMessageBox(state->window, Say(play ? Text::kNothingToPlay : Text::kNothingToExport),
                   Say(Text::kCaptionWarning));
    return;
  }
  window.EnableControl(Control::kBrowse, false);
  window.EnableControl(Control::kList, false);
  if (play) {
    window.SetButtonText(Control::kPlay, Say(Text::kButtonStop));
    window.EnableControl(Control::kOutput, false);
    StartJob(state, PlaybackJob);
    return;
  }
  window.EnableControl(Control::kPlay, false);
  window.SetButtonText(Control::kOutput, Say(Text::kButtonStop));
  StartJob(state, ExportJob);
}

void OnInitDialog(HWND dialog, LPARAM parameter) {
  auto* state = new (std::nothrow) MainWindow(dialog);
  if (!state) {
    ShowMessageBox(nullptr, Say(Text::kOutOfMemory), Say(Text::kCaptionFailure));
    DestroyWindow(dialog);
    return;
  }
  SetWindowLongPtrW(dialog, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state));
  state->instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(dialog, GWLP_HINSTANCE));
  InsertColumns(GetDlgItem(dialog, IDC_LIST));
  DragAcceptFiles(dialog, TRUE);
  CenterWindow(dialog);
  if (parameter) {
    OpenArchive(state, *reinterpret_cast<const std::string*>(parameter));
  } else {
    LocateGameArchive(state);
  }
}

void OnCommand(HWND dialog, int id) {
  MainWindow* state = StateOf(dialog);
  if (!state) return;
  switch (id) {
    case IDC_BROWSE:
      Browse(state);
      break;
    case IDC_PLAY:
      StartOrStop(state, JobKind::kPlay);
      break;
    case IDC_SETTINGS:
      DialogBoxInFace(state->instance, IDD_CFG_DIALOG, dialog, OutputSettingsDialog, 0);
      break;
    case IDC_OUTPUT:
      StartOrStop(state, JobKind::kExport);
      break;
    default:  // IDOK and IDCANCEL too: Enter and Escape do nothing
      break;
  }
}

// A file dropped on the window opens as Browse would open it; while a job
// runs Browse is disabled, and so is this.
void OnDropFiles(HWND dialog, HDROP drop) {
  MainWindow* state = StateOf(dialog);
  const UINT length = DragQueryFileW(drop, 0, nullptr, 0);
  std::wstring path(length + 1, L'\0');
  const bool got = length > 0 && DragQueryFileW(drop, 0, path.data(), length + 1) == length;
  DragFinish(drop);
  if (!state || state->jobs.running || !got) return;
  path.resize(length);
  OpenArchive(state, Utf8(path));
}

// Double-clicking a row plays that entry alone, as Play with only that
// row selected; while any job runs it does nothing.
void PlayRow(MainWindow* state, int row) {
  if (state->jobs.running || row < 0) return;
  HWND list = GetDlgItem(state->window, IDC_LIST);
  LVITEMW item = {};
  item.stateMask = LVIS_SELECTED;
  SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&item));
  item.state = item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
  StartOrStop(state, JobKind::kPlay);
}

void SelectAllRows(HWND list) {
  LVITEMW item = {};
  item.state = item.stateMask = LVIS_SELECTED;
  SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&item));
}

struct SortOrder {
  const ArchiveIndex* index;
  const Win32JobWindow* window;
  int column;
  bool descending;
};

RowKey KeyOf(const SortOrder& order, LPARAM entry) {
  const auto number = static_cast<int32_t>(entry);
  return {EntryName(order.index, number), order.index->entries[number].size,
          order.window->FactsOf(number), number};
}

// The list hands over the rows' stored values: their entry numbers.
int CALLBACK CompareListedEntries(LPARAM a, LPARAM b, LPARAM context) {
  const auto& order = *reinterpret_cast<const SortOrder*>(context);
  const int result = CompareRows(KeyOf(order, a), KeyOf(order, b), order.column);
  return order.descending ? -result : result;
}

// Sorting moves the rows themselves, so the jobs, which take the selected
// rows from the top, follow the order shown. Not while a job fills or
// reads the list.
void SortByColumn(MainWindow* state, int column) {
  if (state->jobs.running || !state->jobs.index || column < 0 || column > 4) return;
  state->sort.Click(column);
  SortOrder order = {state->jobs.index.get(), &state->job_window, column, state->sort.descending};
  SendDlgItemMessageW(state->window, IDC_LIST, LVM_SORTITEMS, reinterpret_cast<WPARAM>(&order),
                      reinterpret_cast<LPARAM>(CompareListedEntries));
}

void OnNotify(HWND dialog, const NMHDR* header) {
  MainWindow* state = StateOf(dialog);
  if (!state || header->idFrom != IDC_LIST) return;
  switch (header->code) {
    case NM_DBLCLK:
      PlayRow(state, reinterpret_cast<const NMITEMACTIVATE*>(header)->iItem);
      break;
    case LVN_COLUMNCLICK:
      SortByColumn(state, reinterpret_cast<const NMLISTVIEW*>(header)->iSubItem);
      break;
    case LVN_KEYDOWN:
      if (reinterpret_cast<const NMLVKEYDOWN*>(header)->wVKey == 'A' &&
          GetKeyState(VK_CONTROL) < 0) {
        SelectAllRows(header->hwndFrom);
      }
      break;
    default:
      break;
  }
}

void OnDestroy(HWND dialog) {
  if (MainWindow* state = StateOf(dialog)) {
    ReleaseEndedWorker(state);
    SetWindowLongPtrW(dialog, GWLP_USERDATA, 0);
    delete state;
  }
  PostQuitMessage(0);
}

}  // namespace

void CenterWindow(HWND window) {
  HWND owner = GetWindow(window, GW_OWNER);
  if (!owner) owner = GetDesktopWindow();
  RECT o, w;
  GetWindowRect(owner, &o);
  GetWindowRect(window, &w);
  const Point origin =
      CenteredOrigin({o.left, o.top, o.right, o.bottom}, {w.left, w.top, w.right, w.bottom});
  SetWindowPos(window, HWND_TOP, origin.x, origin.y, 0, 0, SWP_NOSIZE);
}

void WaitForWorker(MainWindow* state) {
  while (!WorkerEnded(state->jobs)) {
    if (MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT) == WAIT_TIMEOUT) continue;
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  JoinWorker(&state->jobs);
}

void OpenArchive(MainWindow* state, const std::string& path) {
  state->jobs.index.reset();  // one archive open at a time
  state->jobs.index = LoadArchiveIndex(path.c_str()).value_or(nullptr);
  if (!state->jobs.index) {
    ShowMessageBox(state->window, Say(Text::kCannotOpenArchive, path), Say(Text::kCaptionError));
    return;
  }
  SetDlgItemTextW(state->window, IDC_PATH, Wide(path).c_str());
  state->sort = {};  // the listing fills the list in entry order
  for (Control control : {Control::kBrowse, Control::kPlay, Control::kOutput})
    state->job_window.EnableControl(control, false);
  ReleaseEndedWorker(state);
  StartJob(state, ListingJob);
}

INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_INITDIALOG:
      OnInitDialog(dialog, lparam);
      break;
    case WM_COMMAND:
      OnCommand(dialog, LOWORD(wparam));
      break;
    case WM_NOTIFY:
      OnNotify(dialog, reinterpret_cast<const NMHDR*>(lparam));
      break;
    case WM_DROPFILES:
      OnDropFiles(dialog, reinterpret_cast<HDROP>(wparam));
      break;
    case WM_CLOSE:
      DestroyWindow(dialog);
      break;
    case WM_DESTROY:
      OnDestroy(dialog);
      break;
    default:
      if (MainWindow* state = StateOf(dialog);
          state && state->job_window.HandleMessage(message, wparam))
        return TRUE;
      break;
  }
  return FALSE;
}

}  // namespace kowaki
