#pragma once
// A file the export job writes: bytes appended, a header rewritten at the
// start, and an end that makes the file complete. It goes through
// common/output_file.h: written beside its name and renamed over it at
// the end; a stream (a pipe, a device, standard output) is written in
// place, never replaced.

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

#include "common/output_file.h"

namespace kowaki {

class ExportFile {
 public:
  virtual ~ExportFile() = default;
  virtual bool Write(const void* data, size_t size) = 0;
  // Pushes buffered bytes out, so a full disk shows at the entry it hit.
  virtual bool Flush() = 0;
  // Cuts the file back to its first `size` bytes, dropping whatever a
  // failed write left; writing goes on from there. False when it cannot
  // (a device keeps what it took).
  virtual bool CutBack(uint64_t size) = 0;
  // Writes `header` over the file's first bytes (none when empty) and ends
  // the file. A stream keeps the header it began with. False when the
  // file could not be completed.
  virtual bool Finish(std::span<const uint8_t> header) = 0;
  // Ends the file without keeping it: an ordinary file is not created, or
  // stays as it was before.
  virtual void Discard() = 0;
  // Cannot seek back: its first header must be its last.
  virtual bool IsStream() const { return false; }
};

// The file, or why it can't be opened for writing at `place` (a folder, no
// such folder, no permission, a file that could not be replaced, the
// archive being read; in a folder also a link or anything but an ordinary
// file in the way).
using ExportFileOpener =
    std::function<Result<std::unique_ptr<ExportFile>>(const std::string& path, OutputPlace place)>;
Result<std::unique_ptr<ExportFile>> OpenExportFile(const std::string& path, OutputPlace place);

}  // namespace kowaki
