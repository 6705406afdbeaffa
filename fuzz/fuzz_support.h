#pragma once
// What both fuzz targets do with an archive on disk.

#include <cstddef>
#include <cstdint>
#include <string>

namespace kowaki::fuzz {

// A per-process scratch file path; the archive functions read files.
const std::string& ScratchPath();
bool WriteScratch(const uint8_t* data, size_t size);

// Loads the archive at `path` and, for every entry (up to a limit), reads it
// as a stream the way the export copy does, then decodes it as Vorbis the
// way the jobs do.
void ExerciseArchive(const std::string& path);

}  // namespace kowaki::fuzz
