#include "common/input_files.h"

#include <mutex>
#include <vector>

namespace kowaki {

namespace {

struct Input {
  uint64_t key;
  FileId id;
  std::string path;
  InputUse use;
};

// Marks come and go on the command's thread; outputs open on any.
struct Inputs {
  std::mutex mutex;
  std::vector<Input> marked;
  uint64_t last_key = 0;
};

Inputs& TheInputs() {
  static Inputs inputs;
  return inputs;
}

InputMark Mark(const std::optional<platform::FileFacts>& file, const std::string& path,
               InputUse use) {
  if (!file) return InputMark();
  Inputs& inputs = TheInputs();
  const std::lock_guard lock(inputs.mutex);
  inputs.marked.push_back({++inputs.last_key, file->id, path, use});
  return InputMark(inputs.last_key);
}

void Unmark(uint64_t key) {
  if (key == 0) return;
  Inputs& inputs = TheInputs();
  const std::lock_guard lock(inputs.mutex);
  std::erase_if(inputs.marked, [key](const Input& input) { return input.key == key; });
}

}  // namespace

InputMark& InputMark::operator=(InputMark&& other) noexcept {
  if (this != &other) {
    Unmark(key_);
    key_ = other.key_;
    other.key_ = 0;
  }
  return *this;
}

InputMark::~InputMark() { Unmark(key_); }

InputMark MarkInput(const std::string& path, InputUse use) {
  return Mark(platform::FactsOfPath(path, true), path, use);
}

InputMark MarkInput(int fd, const std::string& path, InputUse use) {
  return Mark(fd < 0 ? std::nullopt : platform::FactsOfDescriptor(fd), path, use);
}

std::optional<std::string> InputAt(const FileId& id, bool in_place) {
  Inputs& inputs = TheInputs();
  const std::lock_guard lock(inputs.mutex);
  for (const Input& input : inputs.marked) {
    if (input.id == id && (in_place || input.use == InputUse::kKept)) return input.path;
  }
  return std::nullopt;
}

}  // namespace kowaki
