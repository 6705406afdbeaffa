#pragma once
// A modder's recording made into the clip it replaces: a WAV file (PCM,
// WAVE_FORMAT_EXTENSIBLE PCM, or a codec the converter decodes) converted
// to the entry's rate and channel count and encoded as Ogg Vorbis.

#include <cstdint>
#include <optional>
#include <string>

#include "archive/archive_index.h"
#include "common/result.h"
#include "convert/vorbis_encoder.h"
#include "modding/entry_check.h"

namespace kowaki {

// What a recording is made into.
struct RecordingTarget {
  uint32_t rate = 0;
  uint16_t channels = 0;
  float quality = 0;  // VBR, kVorbisQualityMin to kVorbisQualityMax
};

// The target for a recording that replaces a clip of `shape`: its rate
// and channel count, and `quality` or, without one, the VBR quality whose
// nominal bitrate (as libvorbisenc sets it up for that rate and channel
// count) is nearest the clip's. Where libvorbisenc names no bitrate for
// the rate, kVorbisDefaultQuality.
RecordingTarget TargetForShape(const ClipShape& shape, std::optional<float> quality = std::nullopt);

// The same for entry `entry` of `index`. Fails when the entry does not
// open as Ogg Vorbis.
Result<RecordingTarget> TargetForEntry(const ArchiveIndex* index, int32_t entry,
                                       std::optional<float> quality = std::nullopt);

// The Ogg Vorbis bytes of the WAV file at `wav_path` at the target's rate,
// channel count and quality. Fails, saying why without the path, when the
// file cannot be read or is no WAV file, its format is one we cannot read,
// the converter cannot take it to the target's rate and channels, the
// quality is out of range, or it holds no audio.
Result<std::string> EncodeRecording(const std::string& wav_path, const RecordingTarget& target);

// Both in one: the clip to put in the place of entry `entry`.
Result<std::string> EncodeRecordingFor(const std::string& wav_path, const ArchiveIndex* index,
                                       int32_t entry, std::optional<float> quality = std::nullopt);

// Whether the file at `path` starts as a RIFF WAVE file does.
bool IsWavFile(const std::string& path);

// What EncodeRecording would find wrong before it encodes: the file is
// read as far as its format, and the converter set up. The recording's
// own rate, channels and length (0 for a codec's) when it would be taken.
Result<ClipShape> CheckRecording(const std::string& wav_path, const RecordingTarget& target);

}  // namespace kowaki
