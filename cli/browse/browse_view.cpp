#include "cli/browse/browse_view.h"

#include <curses.h>

#include <algorithm>
#include <iterator>

#include "cli/commands/output_options.h"
#include "cli/output/text_output.h"
#include "common/cp932.h"
#include "text/catalogue.h"
#include "text/format_text.h"

namespace kowaki::cli {

namespace {

// The lines above and below the rows.
constexpr int kFirstRow = 2;
constexpr int kLinesAround = 4;
constexpr int kBarWidth = 20;
// Columns 1 to 4 (size, seconds, channels, rate), room for a sort mark
// included; the entry number's before them.
constexpr size_t kFactWidths[] = {0, 10, 11, 10, 8};
constexpr size_t kEntryWidth = 7;
constexpr size_t kNameWidthMost = 32;

// At most `width` columns of `text`, whole characters, padded with spaces.
std::string Fit(std::string_view text, size_t width) {
  std::string fitted;
  size_t used = 0;
  for (size_t at = 0; at < text.size();) {
    const size_t length = std::max<size_t>(Utf8SequenceLength(text.substr(at)), 1);
    const std::string_view character = text.substr(at, length);
    const size_t cells = DisplayWidth(character);
    if (used + cells > width) break;
    fitted += character;
    used += cells;
    at += length;
  }
  return fitted.append(width - used, ' ');
}

void PutLine(int y, std::string_view text, attr_t attributes = A_NORMAL) {
  if (y < 0 || y >= LINES) return;
  attrset(attributes);
  mvaddstr(y, 0, Fit(text, static_cast<size_t>(COLS)).c_str());
  attrset(A_NORMAL);
}

// `left` and `right` on one line of the screen's width, `right` at its end.
std::string Spread(const std::string& left, const std::string& right) {
  const size_t width = static_cast<size_t>(std::max(COLS, 0));
  const size_t used = DisplayWidth(left) + DisplayWidth(right);
  return used < width ? left + std::string(width - used, ' ') + right : left + "  " + right;
}

// Puts the terminal's cursor after `prefix` on line `y`, where text is typed.
void CursorAfter(int y, const std::string& prefix) {
  curs_set(1);
  move(y, static_cast<int>(
              std::min(DisplayWidth(prefix), static_cast<size_t>(std::max(COLS - 1, 0)))));
}

// The name column: the widest name, within bounds.
size_t NameWidth(const BrowseModel& model) {
  return std::clamp(model.name_width(), DisplayWidth(Say(Text::kColumnName)) + 2, kNameWidthMost);
}

}  // namespace

int32_t BrowseView::PageRows() { return std::max(LINES - kLinesAround, 1); }

void BrowseView::Draw() const {
  curs_set(0);
  erase();
  DrawTitle();
  DrawHeader();
  if (controller_.mode() == BrowseController::Mode::kHelp) {
    DrawHelp();
  } else {
    DrawRows();
  }
  DrawStatus();
  DrawInput();
  // Last, so that the cursor stays where the destination is typed.
  if (controller_.mode() == BrowseController::Mode::kExport) DrawExportPrompt();
  refresh();
}

void BrowseView::DrawTitle() const {
  std::string left = " kowaki-cli browse  " + PathForDisplay(path_);
  if (model_.known() < model_.count())
    left += "  " + Say(Text::kWorkListing, model_.known(), model_.count());
  PutLine(0, Spread(left, Say(Text::kBrowseRows, model_.rows(), model_.count()) + " "), A_BOLD);
}

void BrowseView::DrawHeader() const {
  const RowSort& sort = model_.sort();
  const auto mark = [&sort](int column) {
    return sort.column != column ? "" : sort.descending ? "v" : "^";
  };
  std::string line =
      " " + Padded(Say(Text::kColumnEntry), kEntryWidth - 1, true) + "  " +
      Padded(std::string(Say(kColumnTitles[0])) + " " + mark(0), NameWidth(model_), false);
  for (int column = 1; column <= 4; ++column) {
    const std::string marked = std::string(mark(column)) + (sort.column == column ? " " : "");
    line += "  " + Padded(marked + Say(kColumnTitles[column]), kFactWidths[column], true);
  }
  PutLine(1, line, A_UNDERLINE);
}

// A mark, the entry number, the name, and the facts as list shows them, or
// why the entry does not open; pending facts leave their columns empty.
std::string BrowseView::RowText(int32_t entry) const {
  const ArchiveEntry& stored = index_.entries[entry];
  std::string line = (model_.Marked(entry) ? "*" : " ") +
                     Padded(std::to_string(entry), kEntryWidth - 1, true) + "  " +
                     Padded(std::string(model_.NameText(entry)), NameWidth(model_), false) + "  " +
                     Padded(ColumnText(1, stored.size, {}), kFactWidths[1], true);
  const EntryFacts* facts = model_.Facts(entry);
  if (!facts || !facts->playable()) {
    return facts ? line + "  " + ProblemText(facts->problem) : line;
  }
  for (int column = 2; column <= 4; ++column) {
    line += "  " + Padded(ColumnText(column, stored.size, facts->facts), kFactWidths[column], true);
  }
  return line;
}

void BrowseView::DrawRows() const {
  const int32_t end = std::min(model_.top() + PageRows(), model_.rows());
  for (int32_t row = model_.top(); row < end; ++row) {
    const int32_t entry = model_.RowEntry(row);
    const EntryFacts* facts = model_.Facts(entry);
    attr_t attributes = facts && !facts->playable() ? A_DIM : A_NORMAL;
    if (model_.Marked(entry)) attributes |= A_BOLD;
    if (row == model_.cursor()) attributes |= A_REVERSE;
    PutLine(kFirstRow + row - model_.top(), RowText(entry), attributes);
  }
}

void BrowseView::DrawHelp() const {
  struct Line {
    const char* keys;
    Text text;
  };
  static constexpr Line kLines[] = {
      {"Up Down PgUp PgDn Home End, wheel", Text::kBrowseHelpMove},
      {"/", Text::kBrowseHelpFilter},
      {"space", Text::kBrowseHelpMark},
      {"a", Text::kBrowseHelpMarkShown},
      {"u", Text::kBrowseHelpUnmark},
      {"Enter", Text::kBrowseHelpPlay},
      {"s", Text::kBrowseHelpStop},
      {"p", Text::kBrowseHelpPause},
      {"Left Right", Text::kBrowseHelpSeek},
      {", .", Text::kBrowseHelpSeekLong},
      {"+ -", Text::kBrowseHelpVolume},
      {"n", Text::kBrowseHelpNext},
      {"e", Text::kBrowseHelpExport},
      {"1 2 3 4 5", Text::kBrowseHelpSort},
      {"q", Text::kBrowseHelpQuit},
  };
  PutLine(kFirstRow, std::string("  ") + Say(Text::kBrowseHelpTitle), A_BOLD);
  for (size_t i = 0; i < std::size(kLines); ++i) {
    PutLine(kFirstRow + 2 + static_cast<int>(i),
            "  " + Padded(kLines[i].keys, 36, false) + Say(kLines[i].text));
  }
}

// The entry playing, the time played of its length, the bar; held or not,
// and the volume.
std::string BrowseView::PlayingText(const BrowseWindow::Status& status) const {
  const int64_t span = int64_t{status.high} - status.low;
  const double share =
      span > 0 ? static_cast<double>(status.position - status.low) / static_cast<double>(span) : 0;
  std::string text = status.work +
                     FormatText("  %.1f/%.1f s  ", status.seconds * share, status.seconds) +
                     ProgressBar(status.low, status.high, status.position, kBarWidth);
  if (controller_.paused()) text += std::string("  ") + Say(Text::kBrowsePaused);
  return text + "  " + Say(Text::kBrowseVolume, controller_.volume());
}

void BrowseView::DrawStatus() const {
  const BrowseWindow::Status status = window_.status();
  std::string text;
  if (controller_.job() == BrowseController::Job::kPlay && !status.work.empty()) {
    text = PlayingText(status);
  } else if (controller_.job() == BrowseController::Job::kExport && !status.work.empty()) {
    text = status.work + "  " + ProgressBar(status.low, status.high, status.position, kBarWidth) +
           "  " + Say(Text::kBrowseExportRunning);
  }
  for (const std::string* part : {&status.problem, &status.message, &controller_.note()}) {
    if (!part->empty()) text += (text.empty() ? "" : "  ") + *part;
  }
  const std::string marked = model_.marked() > 0 ? Say(Text::kBrowseMarked, model_.marked()) : "";
  PutLine(LINES - 2, Spread(" " + text, marked + " "), A_REVERSE);
}

void BrowseView::DrawExportPrompt() const {
  const int32_t entries = model_.marked() > 0 ? model_.marked() : model_.rows() > 0 ? 1 : 0;
  const bool on_destination = controller_.focus() == BrowseController::Focus::kDestination;
  const std::string destination =
      std::string(on_destination ? "> " : "  ") +
      Say(controller_.Merging() ? Text::kBrowseExportFile : Text::kBrowseExportFolder) +
      ShownText(controller_.destination());
  std::string settings =
      std::string(on_destination ? "  " : "> ") + OutputFormatText(controller_.settings());
  if (controller_.Merging()) settings += Say(Text::kBrowseMerged);
  const int y = LINES - 5;
  PutLine(y, " " + Say(Text::kBrowseExportTitle, entries), A_REVERSE | A_BOLD);
  PutLine(y + 1, destination, A_REVERSE);
  PutLine(y + 2, settings, A_REVERSE);
  if (on_destination) CursorAfter(y + 1, destination);
}

void BrowseView::DrawInput() const {
  const int y = LINES - 1;
  switch (controller_.mode()) {
    case BrowseController::Mode::kFilter: {
      const std::string typed = Say(Text::kBrowseFilter) + ShownText(model_.filter());
      PutLine(y, Spread(typed, Say(Text::kBrowseFilterKeys)));
      CursorAfter(y, typed);
      return;
    }
    case BrowseController::Mode::kExport:
      PutLine(y, Say(Text::kBrowseExportKeys));
      return;
    default:
      break;
  }
  const std::string filter =
      model_.filter().empty() ? "" : Say(Text::kBrowseFilter) + ShownText(model_.filter());
  PutLine(y, Spread(filter, Say(Text::kBrowseHints)));
}

}  // namespace kowaki::cli
