#pragma once
// The main window as the jobs see it: everything a job does to the window,
// and nothing else. The Windows face sends these to the real controls, the
// terminal face draws a progress line, and the tests record them.
//
// Texts are UTF-8. Entry names are bytes in code page 932 wherever they go
// through this interface; only the face behind it decodes them.

#include <cstdint>
#include <string>
#include <string_view>

#include "jobs/entry_outcome.h"
#include "text/catalogue.h"

namespace kowaki {

// The numbers behind a listed row's texts.
struct RowFacts {
  double seconds = 0;
  int64_t frames = 0;
  int32_t channels = 0;
  int32_t rate = 0;
};

// Controls of the main window, by their resource ids.
enum class Control : int32_t {
  kPath = 1000,
  kBrowse = 1001,
  kList = 1002,
  kProgress = 1003,
  kPlay = 1004,
  kSettings = 1005,
  kOutput = 1006,
};

class JobWindow {
 public:
  virtual ~JobWindow() = default;

  virtual void SetTitle(std::string_view text) = 0;
  // The title while a job runs: `work` says what the job is doing.
  virtual void SetJobTitle(std::string_view work) {
    SetTitle(Say(Text::kTitleJobPrefix) + std::string(work));
  }

  // The list. Rows hold an entry name as their text and the entry's number
  // in the index as their stored value; columns 1 to 4 hold texts.
  virtual void DeleteAllRows() = 0;
  virtual void ReserveRows(int32_t count) = 0;
  virtual void InsertRow(int32_t row, std::string_view name, int32_t entry) = 0;
  virtual void SetCellText(int32_t row, int32_t column, std::string_view text) = 0;
  // The numbers a row's texts show; a face that keeps only the texts
  // ignores them.
  virtual void SetRowFacts(int32_t /*row*/, const RowFacts& /*facts*/) {}
  virtual int32_t SelectedCount() = 0;
  // The first selected row after `row` (-1: from the top); -1 when none.
  virtual int32_t NextSelectedRow(int32_t row) = 0;
  virtual int32_t RowEntry(int32_t row) = 0;

  virtual void SetProgressRange(int32_t low, int32_t high) = 0;
  virtual void SetProgressPosition(int32_t position) = 0;

  virtual void EnableControl(Control control, bool enabled) = 0;
  virtual void SetButtonText(Control control, std::string_view text) = 0;
  // How an entry a job took up ended, named by its bytes; a face that shows
  // only the job's messages ignores it.
  virtual void ReportEntry(const EntryOutcome& /*outcome*/, std::string_view /*name*/) {}
  // A message box with an OK button, owned by the window.
  virtual void ShowMessage(std::string_view text, std::string_view caption) = 0;
  // Why the output of the message just shown could not be opened, for a
  // face with room for it; the window's messages stay as they are.
  virtual void ShowReason(std::string_view /*reason*/) {}

  // The pickers; false when the user cancels. Paths are in the form the
  // platform's file functions take.
  virtual bool PickFolder(std::string_view title, std::string* folder) = 0;
  virtual bool PickSaveFile(std::string* path) = 0;

  // An entry name as text, for titles and messages.
  virtual std::string NameText(std::string_view name) = 0;
  // A path as text, for messages.
  virtual std::string PathText(std::string_view path) = 0;
  // The path of a file named `stem` (code page 932 bytes, already made safe
  // for any file system) plus `extension` inside `folder`.
  virtual std::string OutputPath(std::string_view folder, std::string_view stem,
                                 std::string_view extension) = 0;
};

}  // namespace kowaki
