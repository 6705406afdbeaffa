#include "cli/commands/folder_report.h"

#include <cstring>

#include "cli/commands/modding.h"
#include "cli/output/text_output.h"
#include "modding/folder.h"
#include "text/catalogue.h"

namespace kowaki::cli {

namespace {

struct StateRow {
  const char* id;
  Text word;
};

// By EntryState, in its order.
constexpr StateRow kStates[] = {
    {"unchanged", Text::kStateUnchanged}, {"changed", Text::kStateChanged},
    {"recording", Text::kStateRecording}, {"no_data", Text::kStateNoData},
    {"removed", Text::kStateRemoved},     {"added", Text::kStateAdded},
    {"missing", Text::kStateMissing},     {"unusable", Text::kStateUnusable},
};

const StateRow& RowOf(EntryState state) { return kStates[static_cast<size_t>(state)]; }

std::string ShapeText(uint32_t rate, uint16_t channels) {
  if (channels == 1) return Say(Text::kShapeMono, static_cast<unsigned>(rate));
  return Say(Text::kShapeChannels, static_cast<unsigned>(rate), static_cast<unsigned>(channels));
}

// "2.10 s, 22050 Hz, mono", without the length where it is not known.
std::string ShapeText(const ClipShape& shape) {
  const std::string format = ShapeText(shape.rate, shape.channels);
  if (shape.frames <= 0 || shape.rate == 0) return format;
  return Say(Text::kShapeLength, static_cast<double>(shape.frames) / shape.rate, format);
}

bool Differs(const ClipShape& now, const ClipShape& original) {
  return now.rate != original.rate || now.channels != original.channels;
}

std::string ProblemWords(const EntryFile& file) {
  std::string text = CheckText(file.check);
  if (!file.detail.empty()) text += " (" + file.detail + ")";
  return text;
}

// What follows the state: why it cannot be taken, or the clip now beside
// the original.
std::string Details(const EntryFile& file, const ManifestEntry* stored) {
  std::string text;
  if (!file.check.problems.empty()) {
    text += ": " + ProblemWords(file);
    if (file.forcible && file.stops) text += Say(Text::kForceTakesIt);
  }
  if (file.state == EntryState::kNoData && stored && !stored->reason.empty()) {
    text += ": " + stored->reason;
  }
  if (!file.shape) return text;
  text += "; " + ShapeText(*file.shape);
  if (file.target) {
    return text + Say(Text::kEncodedAs, ShapeText(file.target->rate, file.target->channels),
                      double{file.target->quality});
  }
  if (!stored || !stored->shape) return text;
  text += Say(Text::kShapeWas, ShapeText(*stored->shape));
  if (Differs(*file.shape, *stored->shape)) text += Say(Text::kShapeDiffers);
  return text;
}

Json ShapeJson(const std::optional<ClipShape>& shape) {
  if (!shape) return nullptr;
  Json record;
  record["frames"] = shape->frames;
  record["rate"] = shape->rate;
  record["channels"] = shape->channels;
  return record;
}

}  // namespace

std::string EntryLine(size_t i, const EntryFile& file, const ManifestEntry* stored) {
  const std::string label = LabelOf(i, file.name);
  const char* word = Say(RowOf(file.state).word);
  const std::string head = file.path.empty()
                               ? label + ": " + word
                               : Say(Text::kFolderLine, label, word, PathForDisplay(file.path));
  return head + Details(file, stored);
}

std::string EncodedLine(size_t i, const NameField& name, const std::string& path,
                        const RecordingTarget& target) {
  return Say(Text::kEncodedRecording, LabelOf(i, name), PathForDisplay(path),
             ShapeText(target.rate, target.channels), double{target.quality});
}

std::string ExtraLine(const std::string& folder, const ExtraFile& extra) {
  const std::string path = PathForDisplay(PathInFolder(folder, extra.name));
  if (extra.near.empty()) return Say(Text::kExtraFile, path);
  return Say(Text::kExtraNear, path, PathForDisplay(extra.near));
}

Json EntryJson(size_t i, const EntryFile& file, const ManifestEntry* stored) {
  Json record = EntryRecord(static_cast<int32_t>(i),
                            {file.name.data(), strnlen(file.name.data(), file.name.size())});
  record["status"] = RowOf(file.state).id;
  record["file"] = file.path.empty() ? Json(nullptr) : Json(PathForDisplay(file.path));
  Json& problems = record["problems"] = Json::array();
  for (const EntryProblem problem : file.check.problems.Listed()) {
    problems.push_back(ProblemId(problem));
  }
  record["reason"] = ProblemWords(file);
  record["stops"] = file.stops;
  record["original"] = ShapeJson(stored ? stored->shape : std::nullopt);
  record["now"] = ShapeJson(file.shape);
  record["differs"] =
      file.shape && stored && stored->shape && !file.target && Differs(*file.shape, *stored->shape);
  if (file.target) {
    record["encoded_as"] = {{"rate", file.target->rate},
                            {"channels", file.target->channels},
                            {"quality", file.target->quality}};
  }
  return record;
}

Json ExtraJson(const ExtraFile& extra) {
  Json record;
  record["file"] = extra.name;
  record["near"] = extra.near.empty() ? Json(nullptr) : Json(extra.near);
  return record;
}

}  // namespace kowaki::cli
