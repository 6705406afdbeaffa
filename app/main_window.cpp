#include "app/main_window.h"

#include <commctrl.h>
#include <commdlg.h>

#include <new>
#include <string>

#include "app/ansi_text.h"
#include "app/file_dialogs.h"
#include "app/layout.h"
#include "app/settings_dialog.h"
#include "jobs/export_job.h"
#include "jobs/format_text.h"
#include "jobs/listing_job.h"
#include "jobs/playback_job.h"
#include "jobs/texts.h"
#include "res/resource.h"
#include "settings/output_settings.h"
#include "settings/settings_store.h"

namespace kowaki {

namespace {

MainWindow* StateOf(HWND dialog) {
  return reinterpret_cast<MainWindow*>(GetWindowLongPtrA(dialog, GWLP_USERDATA));
}

void InsertColumns(HWND list) {
  RECT client;
  GetClientRect(list, &client);
  const auto widths = ListColumnWidths(client.right - client.left, GetSystemMetrics(SM_CXVSCROLL));
  for (int i = 0; i < static_cast<int>(widths.size()); ++i) {
    std::string title = Ansi(texts::kColumnTitles[i]);
    LVCOLUMNA column = {};
    column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
    column.fmt = LVCFMT_LEFT;
    column.cx = widths[static_cast<size_t>(i)];
    column.pszText = title.data();
    column.iSubItem = i;
    SendMessageA(list, LVM_INSERTCOLUMNA, static_cast<WPARAM>(i),
                 reinterpret_cast<LPARAM>(&column));
  }
}

// The idle state of the controls, after a worker could not be started.
void RestoreIdleControls(MainWindow* state) {
  for (Control control : {Control::kBrowse, Control::kList, Control::kPlay, Control::kOutput})
    state->job_window.EnableControl(control, true);
  state->job_window.SetButtonText(Control::kPlay, texts::kButtonPlay);
  state->job_window.SetButtonText(Control::kOutput, texts::kButtonOutput);
}

void StartJob(MainWindow* state, JobProcedure job) {
  if (!StartWorker(&state->jobs, job)) {
    RestoreIdleControls(state);
    ShowAnsiMessage(state->window, texts::kCannotStartJob, texts::kCaptionFailure);
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
  const std::string path = FindGameArchive(*OpenGameStore());
  if (!path.empty()) OpenArchive(state, path.c_str());
}

void Browse(MainWindow* state) {
  const std::string filter =
      FileDialogFilter({texts::kArchiveFilter, "voice.arc", Ansi(texts::kAllFiles), "*.*"});
  char path[kPathBufferSize] = {};
  OPENFILENAMEA dialog = FileDialogRecord(state->window, filter, path,
                                          OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST);
  if (GetOpenFileNameA(&dialog)) OpenArchive(state, path);
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
    ShowAnsiMessage(state->window, play ? texts::kNothingToPlay : texts::kNothingToExport,
                    texts::kCaptionWarning);
    return;
  }
  window.EnableControl(Control::kBrowse, false);
  window.EnableControl(Control::kList, false);
  if (play) {
    window.SetButtonText(Control::kPlay, texts::kButtonStop);
    window.EnableControl(Control::kOutput, false);
    StartJob(state, PlaybackJob);
    return;
  }
  window.EnableControl(Control::kPlay, false);
  window.SetButtonText(Control::kOutput, texts::kButtonStop);
  StartJob(state, ExportJob);
}

void OnInitDialog(HWND dialog) {
  auto* state = new (std::nothrow) MainWindow(dialog);
  if (!state) {
    ShowAnsiMessage(nullptr, texts::kOutOfMemory, texts::kCaptionFailure);
    DestroyWindow(dialog);
    return;
  }
  SetWindowLongPtrA(dialog, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state));
  state->instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(dialog, GWLP_HINSTANCE));
  InsertColumns(GetDlgItem(dialog, IDC_LIST));
  CenterWindow(dialog);
  LocateGameArchive(state);
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
      DialogBoxParamA(state->instance, MAKEINTRESOURCEA(IDD_CFG_DIALOG), dialog,
                      OutputSettingsDialog, 0);
      break;
    case IDC_OUTPUT:
      StartOrStop(state, JobKind::kExport);
      break;
    default:  // IDOK and IDCANCEL too: Enter and Escape do nothing
      break;
  }
}

void OnDestroy(HWND dialog) {
  if (MainWindow* state = StateOf(dialog)) {
    ReleaseEndedWorker(state);
    FreeArchiveIndex(state->jobs.index);
    state->jobs.index = nullptr;
    SetWindowLongPtrA(dialog, GWLP_USERDATA, 0);
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
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  }
  JoinWorker(&state->jobs);
}

void OpenArchive(MainWindow* state, const char* path) {
  FreeArchiveIndex(state->jobs.index);
  state->jobs.index = LoadArchiveIndex(path);
  if (!state->jobs.index) {
    // The path goes in as the bytes it is, into the converted text.
    const std::string text = FormatText(Ansi(texts::kCannotOpenArchive).c_str(), path);
    MessageBoxA(state->window, text.c_str(), texts::kCaptionError, MB_OK);
    return;
  }
  SetDlgItemTextA(state->window, IDC_PATH, path);
  for (Control control : {Control::kBrowse, Control::kPlay, Control::kOutput})
    state->job_window.EnableControl(control, false);
  ReleaseEndedWorker(state);
  StartJob(state, ListingJob);
}

INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      OnInitDialog(dialog);
      break;
    case WM_COMMAND:
      OnCommand(dialog, LOWORD(wparam));
      break;
    case WM_CLOSE:
      DestroyWindow(dialog);
      break;
    case WM_DESTROY:
      OnDestroy(dialog);
      break;
    default:
      break;
  }
  return FALSE;
}

}  // namespace kowaki
