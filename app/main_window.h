#pragma once
// The main window: a modeless dialog from IDD_MAIN_DIALOG, its state, and
// the start/stop protocol of the jobs it runs.

#include <windows.h>

#include <string>

#include "app/win32_job_window.h"
#include "jobs/app_state.h"
#include "jobs/row_order.h"

namespace kowaki {

// The window's state, kept in its user-data slot from WM_INITDIALOG to
// WM_DESTROY. `jobs` is what a worker gets: the index, the worker thread
// and the run flag, with the window seen through `job_window`.
struct MainWindow {
  explicit MainWindow(HWND dialog) : window(dialog), job_window(dialog) {
    jobs.window = &job_window;
  }

  HINSTANCE instance = nullptr;
  HWND window;
  // How the rows were last sorted.
  RowSort sort;
  Win32JobWindow job_window;
  AppState jobs;
};

// The creation parameter is null, or the address of a std::string: the
// path (UTF-8) of an archive to open instead of the game's.
INT_PTR CALLBACK MainDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);

// Centres `window` on its owner, or on the desktop when it has none.
void CenterWindow(HWND window);
// Returns when the last worker has ended, dispatching this thread's
// messages meanwhile (the worker's window updates need them).
void WaitForWorker(MainWindow* state);
// Replaces the index with the archive at `path` (UTF-8) and starts listing
// it; reports an archive that cannot be loaded.
void OpenArchive(MainWindow* state, const std::string& path);

}  // namespace kowaki
