#include "cli/output/json_output.h"

#include <cmath>

#include "cli/output/text_output.h"
#include "common/cp932.h"
#include "text/format_text.h"

namespace kowaki::cli {

namespace {

constexpr size_t kFlushSize = 1 << 16;

// A string, number, boolean or null as JSON; a byte that is no UTF-8
// (there should be none: texts are shown ones) as U+FFFD.
std::string Scalar(const Json& value) {
  return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

void AppendLine(const Json& value, int decimals, std::string* out) {
  if (value.is_number_float()) {
    const double number = value.get<double>();
    *out += std::isfinite(number) ? FormatText("%.*f", decimals, number) : "null";
    return;
  }
  if (!value.is_structured()) {
    *out += Scalar(value);
    return;
  }
  const bool object = value.is_object();
  *out += object ? '{' : '[';
  for (auto it = value.begin(); it != value.end(); ++it) {
    if (it != value.begin()) *out += ", ";
    if (object) *out += Scalar(it.key()) + ": ";
    AppendLine(it.value(), decimals, out);
  }
  *out += object ? '}' : ']';
}

}  // namespace

std::string JsonLine(const Json& value, int decimals) {
  std::string out;
  AppendLine(value, decimals, &out);
  return out;
}

Json EntryRecord(int32_t entry, std::string_view name) {
  Json record;
  record["entry"] = entry;
  record["name"] = Cp932ToUtf8(name);
  record["name_hex"] = HexBytes(name);
  return record;
}

JsonListPrinter::JsonListPrinter(const Json& head, std::string_view key, int decimals)
    : decimals_(decimals) {
  Json opening = head;
  opening[std::string(key)] = Json::array();
  out_ = JsonLine(opening, decimals);
  out_.resize(out_.size() - 2);  // "]}": the items and the end follow
}

void JsonListPrinter::Add(const Json& item) {
  if (!first_) out_ += ", ";
  first_ = false;
  AppendLine(item, decimals_, &out_);
  if (out_.size() > kFlushSize) Flush();
}

void JsonListPrinter::Finish() {
  out_ += "]}\n";
  Flush();
}

void JsonListPrinter::Flush() {
  PrintJson(out_);
  out_.clear();
}

}  // namespace kowaki::cli
