#pragma once
// What an export's decoded audio becomes in its file: 16-bit PCM behind a
// WAV header, or FLAC frames behind their metadata. Every decoded output
// (an entry's own file, a merge file) takes its PCM through one of these,
// so a stage that changes the samples sits in front of Write for either
// kind, and the file stays an ExportFile: written beside its name and
// renamed at the end.

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "convert/flac_encoder.h"
#include "convert/pcm_format.h"
#include "convert/wav_file.h"
#include "jobs/export_file.h"

namespace kowaki {

enum class OutputKind { kOgg, kWav, kFlac };

struct PcmFileSetup {
  OutputKind kind = OutputKind::kWav;
  PcmFormat format{};
  // FLAC: Vorbis comments (name, UTF-8 value; empty values left out) and
  // room for a cue sheet of this many tracks (at most kFlacMaxCueTracks;
  // cues beyond the room are not marked).
  std::vector<std::pair<std::string, std::string>> tags;
  int32_t cue_tracks = 0;
  int32_t flac_level = kFlacDefaultLevel;
};

class PcmWriter {
 public:
  explicit PcmWriter(ExportFile& file) : file_(file) {}
  virtual ~PcmWriter() = default;
  // Whole frames of 16-bit PCM in the file's format.
  virtual bool Write(std::span<const uint8_t> pcm) = 0;
  // Cuts the audio back to its first `pcm_bytes`, dropping what a failed
  // entry left. False when it cannot (FLAC frames already made from them).
  virtual bool CutBack(uint64_t pcm_bytes) = 0;
  // Ends the file: marks where `cues` start (not on a stream), writes the
  // final header over the start and completes it.
  virtual bool Finish(std::span<const CuePoint> cues) = 0;
  // Pushes the file's buffered bytes out, so a full disk shows at the
  // entry it hit.
  bool Flush() { return file_.Flush(); }
  // PCM bytes taken.
  uint64_t bytes() const { return bytes_; }

 protected:
  ExportFile& file_;
  uint64_t bytes_ = 0;
};

// Starts the audio of `file` (which must outlive the writer) with its
// header; null when that could not be written. A stream gets a header
// that holds for whatever length follows.
std::unique_ptr<PcmWriter> StartPcmFile(ExportFile& file, const PcmFileSetup& setup);

// `bytes` of silence.
bool WriteSilence(PcmWriter& writer, uint64_t bytes);

}  // namespace kowaki
