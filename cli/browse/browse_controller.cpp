#include "cli/browse/browse_controller.h"

#include <algorithm>
#include <cstdlib>

#include "cli/output/text_output.h"
#include "settings/settings_choices.h"
#include "text/catalogue.h"

namespace kowaki::cli {

namespace {

constexpr int32_t kWheelRows = 3;
constexpr int32_t kSeekMs = 5000;
constexpr int32_t kLongSeekMs = 30000;
constexpr int32_t kVolumeStep = 10;

// Text typed a byte at a time: the last character goes whole.
void EraseLastCharacter(std::string* text) {
  while (!text->empty() && (static_cast<unsigned char>(text->back()) & 0xC0) == 0x80) {
    text->pop_back();
  }
  if (!text->empty()) text->pop_back();
}

// Whether the text ends on a whole character, not inside one's bytes.
bool EndsWhole(std::string_view text) {
  size_t at = text.size();
  while (at > 0 && (static_cast<unsigned char>(text[at - 1]) & 0xC0) == 0x80) --at;
  if (at == 0) return text.empty();
  const auto lead = static_cast<unsigned char>(text[at - 1]);
  return lead < 0x80 || Utf8SequenceLength(text.substr(at - 1)) == text.size() - at + 1;
}

bool IsText(const Key& key) {
  return key.kind == Key::kChar && static_cast<unsigned char>(key.byte) >= 0x20 && key.byte != 0x7F;
}

// A folder typed as the shell would take it: ~/ is the home folder.
std::string Expanded(const std::string& path) {
  const char* home = std::getenv("HOME");
  if (home && *home && (path == "~" || path.starts_with("~/"))) return home + path.substr(1);
  return path;
}

}  // namespace

BrowseController::BrowseController(AppState& jobs, BrowseWindow& window, BrowseModel& model,
                                   const FactsLoader& facts, const OutputSettings& settings,
                                   std::string album)
    : jobs_(jobs), window_(window), model_(model), facts_(facts), settings_(settings) {
  play_setup_.control = &control_;
  export_setup_.settings = &export_store_;
  export_setup_.flac = true;
  export_setup_.album = std::move(album);
}

BrowseController::~BrowseController() { StopJob(); }

bool BrowseController::Handle(const Key& key) {
  switch (mode_) {
    case Mode::kHelp:
      if (key.kind != Key::kNone && key.kind != Key::kResize) mode_ = Mode::kList;
      return true;
    case Mode::kFilter:
      OnFilterKey(key);
      return true;
    case Mode::kExport:
      OnExportKey(key);
      return true;
    case Mode::kList:
      break;
  }
  return OnListKey(key);
}

void BrowseController::Tick() {
  model_.Learn(facts_.known());
  if (job_ != Job::kNone && WorkerEnded(jobs_)) {
    JoinWorker(&jobs_);
    EndJob();
  }
}

// The keys that move through the rows, in every mode that shows them.
bool BrowseController::Move(const Key& key) {
  switch (key.kind) {
    case Key::kUp:
      model_.MoveCursor(-1);
      return true;
    case Key::kDown:
      model_.MoveCursor(1);
      return true;
    case Key::kPageUp:
      model_.MoveCursor(-model_.page());
      return true;
    case Key::kPageDown:
      model_.MoveCursor(model_.page());
      return true;
    case Key::kHome:
      model_.CursorTo(0);
      return true;
    case Key::kEnd:
      model_.CursorTo(model_.rows() - 1);
      return true;
    case Key::kWheelUp:
      model_.Scroll(-kWheelRows);
      return true;
    case Key::kWheelDown:
      model_.Scroll(kWheelRows);
      return true;
    default:
      return false;
  }
}

bool BrowseController::OnListKey(const Key& key) {
  if (Move(key)) return true;
  switch (key.kind) {
    case Key::kChar:
      return OnListChar(key.byte);
    case Key::kEnter:
      Play();
      break;
    case Key::kLeft:
      Seek(-kSeekMs);
      break;
    case Key::kRight:
      Seek(kSeekMs);
      break;
    case Key::kEscape:
      // Stops an export between entries, as Ctrl-C does export's; else
      // clears the filter.
      if (job_ == Job::kExport) {
        jobs_.running = 0;
      } else if (!model_.filter().empty()) {
        model_.SetFilter("");
      }
      break;
    default:
      break;
  }
  return true;
}

bool BrowseController::OnListChar(char c) {
  const bool playing = job_ == Job::kPlay;
  switch (c) {
    case 'q':
      return false;
    case '/':
      mode_ = Mode::kFilter;
      typed_ = model_.filter();
      break;
    case ' ':
      model_.ToggleMark();
      break;
    case 'a':
      model_.MarkShown();
      break;
    case 'u':
      model_.UnmarkAll();
      break;
    case 's':
      if (playing) jobs_.running = 0;
      break;
    case 'p':
      if (playing) control_.paused = !control_.paused;
      break;
    case ',':
    case '.':
      Seek(c == ',' ? -kLongSeekMs : kLongSeekMs);
      break;
    case '+':
    case '=':
    case '-':
      control_.volume =
          std::clamp(control_.volume + (c == '-' ? -kVolumeStep : kVolumeStep), 0, 100);
      break;
    case 'n':
      if (playing) control_.next = true;
      break;
    case 'e':
      if (job_ == Job::kExport) {
        Note(Say(Text::kBrowseExportRunning));
      } else {
        mode_ = Mode::kExport;
        focus_ = Focus::kDestination;
      }
      break;
    case '?':
      mode_ = Mode::kHelp;
      break;
    default:
      if (c >= '1' && c <= '5') model_.SortBy(c - '1');
      break;
  }
  return true;
}

void BrowseController::OnFilterKey(const Key& key) {
  if (Move(key)) return;
  if (key.kind == Key::kEnter) {
    mode_ = Mode::kList;
    return;
  }
  if (key.kind == Key::kEscape) {
    typed_.clear();
    mode_ = Mode::kList;
  } else if (key.kind == Key::kBackspace) {
    EraseLastCharacter(&typed_);
  } else if (IsText(key)) {
    typed_ += key.byte;
  } else {
    return;
  }
  // Each key narrows the rows at once, a character beyond ASCII once all
  // its bytes are in.
  if (EndsWhole(typed_)) model_.SetFilter(typed_);
}

void BrowseController::OnExportKey(const Key& key) {
  switch (key.kind) {
    case Key::kEscape:
      mode_ = Mode::kList;
      return;
    case Key::kEnter:
      StartExport();
      return;
    case Key::kTab:
      focus_ = focus_ == Focus::kDestination ? Focus::kSettings : Focus::kDestination;
      return;
    case Key::kBackspace:
      if (focus_ == Focus::kDestination) EraseLastCharacter(&destination_);
      return;
    default:
      break;
  }
  if (!IsText(key)) return;
  if (focus_ == Focus::kDestination) {
    destination_ += key.byte;
  } else {
    ChangeSetting(key.byte);
  }
}

// The settings dialog's choices, each key stepping through one list.
void BrowseController::ChangeSetting(char c) {
  switch (c) {
    case 't':
      settings_.type = (settings_.type + 1) % kOutputTypes;
      break;
    case 'r':
      settings_.frq = RateOfChoice((RateChoice(settings_.frq) + 1) % kRateChoices);
      break;
    case 'c':
      settings_.ch = ChannelsOfChoice((ChannelChoice(settings_.ch) + 1) % kChannelChoices);
      break;
    case 'm':
      settings_.merge = settings_.merge ? 0 : 1;
      break;
    default:
      break;
  }
}

// A play replaces the one playing; an export plays on until it ends.
void BrowseController::Play() {
  if (job_ == Job::kExport) {
    Note(Say(Text::kBrowseExportRunning));
    return;
  }
  StopJob();
  const std::vector<int32_t> chosen = model_.Chosen();
  if (chosen.empty()) {
    Note(Say(Text::kNothingToPlay));
    return;
  }
  control_.paused = false;
  control_.seek_ms = 0;
  control_.next = false;
  window_.SetQueue(*jobs_.index, chosen);
  Start(Job::kPlay, [this](AppState* state) { RunPlayback(state, play_setup_); });
}

void BrowseController::Seek(int32_t ms) {
  if (job_ == Job::kPlay) control_.seek_ms += ms;
}

void BrowseController::StartExport() {
  const std::vector<int32_t> chosen = model_.Chosen();
  if (chosen.empty()) {
    Note(Say(Text::kNothingToExport));
    mode_ = Mode::kList;
    return;
  }
  if (destination_.empty()) return;
  const std::string path = Expanded(destination_);
  window_.folder_answer.reset();
  window_.save_answer.reset();
  if (Merging()) {
    window_.save_answer = path;
  } else if (platform::MakeFolders(path)) {
    window_.folder_answer = path;
  } else {
    Note(Say(Text::kCannotMakeFolder, PathForDisplay(path)));
    return;
  }
  mode_ = Mode::kList;
  SaveOutputSettings(export_store_, settings_);
  window_.SetQueue(*jobs_.index, chosen);
  exported_to_ = PathForDisplay(path);
  Start(Job::kExport,
        [this](AppState* state) { export_result_ = RunExport(state, export_setup_); });
}

// Why a key did nothing, in place of what the last job said.
void BrowseController::Note(std::string text) {
  window_.ClearMessages();
  note_ = std::move(text);
}

bool BrowseController::Start(Job job, JobProcedure procedure) {
  window_.ClearMessages();
  note_.clear();
  if (!StartWorker(&jobs_, std::move(procedure))) {
    Note(Say(Text::kCannotStartJob));
    return false;
  }
  job_ = job;
  return true;
}

// A play stops at once, an export after the entry it is writing.
void BrowseController::StopJob() {
  if (job_ == Job::kNone) return;
  jobs_.running = 0;
  JoinWorker(&jobs_);
  EndJob();
}

// What an export wrote, unless it ended before writing anything (the job
// said why).
void BrowseController::EndJob() {
  if (job_ == Job::kExport && export_result_.destination) {
    const ExportResult& result = export_result_;
    note_ = Say(Text::kSummaryWritten, result.succeeded, result.skipped,
                result.processed - result.succeeded - result.skipped) +
            Say(Text::kBrowseWrittenTo, exported_to_);
  }
  job_ = Job::kNone;
}

}  // namespace kowaki::cli
