#include "cli/commands/name_template.h"

#include "cli/output/text_output.h"
#include "text/catalogue.h"

namespace kowaki::cli {

namespace {

// "name", "entry", "entry:05", "n:3" as a part; false for anything else.
bool ParseField(std::string_view field, int* kind, int* width, bool* zeros) {
  const size_t colon = field.find(':');
  const std::string_view key = field.substr(0, colon);
  if (key == "name") {
    *kind = 1;
    return colon == std::string_view::npos;
  }
  if (key != "entry" && key != "n") return false;
  *kind = key == "entry" ? 2 : 3;
  if (colon == std::string_view::npos) return true;
  const std::string_view digits = field.substr(colon + 1);
  if (digits.empty() || digits.size() > 2 ||
      digits.find_first_not_of("0123456789") != digits.npos) {
    return false;
  }
  *zeros = digits.size() == 2 && digits[0] == '0';
  *width = std::stoi(std::string(digits));
  return true;
}

}  // namespace

bool NameTemplate::Parse(std::string_view text, std::string* error) {
  parts_.clear();
  while (!text.empty()) {
    const size_t open = text.find('{');
    if (open != 0) {
      Part part;
      if (!EntryNameFromStem(text.substr(0, open), &part.text)) {
        return *error = Say(Text::kArgNameCharacters, PathForDisplay(text.substr(0, open))), false;
      }
      parts_.push_back(std::move(part));
      if (open == std::string_view::npos) break;
      text.remove_prefix(open);
    }
    const size_t close = text.find('}');
    int kind = 0;
    Part part;
    if (close == std::string_view::npos ||
        !ParseField(text.substr(1, close - 1), &kind, &part.width, &part.zeros)) {
      const std::string_view given = text.substr(0, close == text.npos ? text.size() : close + 1);
      return *error = Say(Text::kArgNameFields, PathForDisplay(given)), false;
    }
    part.kind = static_cast<Part::Kind>(kind);
    parts_.push_back(std::move(part));
    text.remove_prefix(close + 1);
  }
  return true;
}

std::string NameTemplate::Apply(std::string_view name, int32_t entry, int32_t n) const {
  std::string out;
  for (const Part& part : parts_) {
    if (part.kind == Part::kText) {
      out += part.text;
    } else if (part.kind == Part::kName) {
      out += name;
    } else {
      const std::string number = std::to_string(part.kind == Part::kEntry ? entry : n);
      const size_t width = static_cast<size_t>(part.width);
      if (number.size() < width) out.append(width - number.size(), part.zeros ? '0' : ' ');
      out += number;
    }
  }
  return out;
}

}  // namespace kowaki::cli
