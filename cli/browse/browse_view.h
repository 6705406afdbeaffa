#pragma once
// Draws kowaki-cli browse with ncurses: a title line (the archive, the
// listing's progress, the rows shown), the columns' titles, the rows, a
// status line (what plays or exports, a message, the marks) and the line
// that takes text or names the keys; the export prompt above the status
// line and the keys in place of the rows when asked for.

#include <cstdint>
#include <string>

#include "cli/browse/browse_controller.h"
#include "cli/browse/browse_model.h"
#include "cli/browse/browse_window.h"

namespace kowaki::cli {

class BrowseView {
 public:
  BrowseView(const ArchiveIndex& index, const BrowseModel& model,
             const BrowseController& controller, const BrowseWindow& window, std::string path)
      : index_(index),
        model_(model),
        controller_(controller),
        window_(window),
        path_(std::move(path)) {}

  // The rows the screen holds at its size now.
  static int32_t PageRows();
  void Draw() const;

 private:
  void DrawTitle() const;
  void DrawHeader() const;
  void DrawRows() const;
  void DrawHelp() const;
  void DrawStatus() const;
  void DrawInput() const;
  void DrawExportPrompt() const;
  std::string RowText(int32_t entry) const;
  std::string PlayingText(const BrowseWindow::Status& status) const;

  const ArchiveIndex& index_;
  const BrowseModel& model_;
  const BrowseController& controller_;
  const BrowseWindow& window_;
  std::string path_;
};

}  // namespace kowaki::cli
