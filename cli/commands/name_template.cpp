#include "cli/commands/name_template.h"

#include "cli/output/text_output.h"
#include "text/catalogue.h"

namespace kowaki::cli {

std::optional<NameTemplate::Part> NameTemplate::ParseField(std::string_view field) {
  const size_t colon = field.find(':');
  const std::string_view key = field.substr(0, colon);
  Part part;
  if (key == "name") {
    part.kind = Kind::kName;
    return colon == std::string_view::npos ? std::optional(part) : std::nullopt;
  }
  if (key != "entry" && key != "n") return std::nullopt;
  part.kind = key == "entry" ? Kind::kEntry : Kind::kPlace;
  if (colon == std::string_view::npos) return part;
  const std::string_view digits = field.substr(colon + 1);
  if (digits.empty() || digits.size() > 2 ||
      digits.find_first_not_of("0123456789") != digits.npos) {
    return std::nullopt;
  }
  part.zeros = digits.size() == 2 && digits[0] == '0';
  part.width = std::stoi(std::string(digits));
  return part;
}

Result<> NameTemplate::Parse(std::string_view text) {
  parts_.clear();
  while (!text.empty()) {
    const size_t open = text.find('{');
    if (open != 0) {
      Part part;
      if (!EntryNameFromStem(text.substr(0, open), &part.text)) {
        return Failure{Say(Text::kArgNameCharacters, PathForDisplay(text.substr(0, open)))};
      }
      parts_.push_back(std::move(part));
      if (open == std::string_view::npos) break;
      text.remove_prefix(open);
    }
    const size_t close = text.find('}');
    std::optional<Part> field;
    if (close != std::string_view::npos) field = ParseField(text.substr(1, close - 1));
    if (!field) {
      const std::string_view given = text.substr(0, close == text.npos ? text.size() : close + 1);
      return Failure{Say(Text::kArgNameFields, PathForDisplay(given))};
    }
    parts_.push_back(std::move(*field));
    text.remove_prefix(close + 1);
  }
  return {};
}

std::string NameTemplate::Apply(std::string_view name, int32_t entry, int32_t n) const {
  std::string out;
  for (const Part& part : parts_) {
    if (part.kind == Kind::kText) {
      out += part.text;
    } else if (part.kind == Kind::kName) {
      out += name;
    } else {
      const std::string number = std::to_string(part.kind == Kind::kEntry ? entry : n);
      const size_t width = static_cast<size_t>(part.width);
      if (number.size() < width) out.append(width - number.size(), part.zeros ? '0' : ' ');
      out += number;
    }
  }
  return out;
}

}  // namespace kowaki::cli
