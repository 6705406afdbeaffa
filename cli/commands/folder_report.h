#pragma once
// A work folder as the terminal tells it: the line of each entry and of
// each file the manifest does not name, which `status` lists and
// `pack --from` says when it stops; and `status --json`'s records.

#include <cstddef>
#include <string>

#include "cli/output/json_output.h"
#include "modding/manifest.h"
#include "modding/work_folder.h"

namespace kowaki::cli {

// "entry 3 (v_0003): changed, w/v_0003.ogg; 2.10 s, 44100 Hz, 2 channels;
// was 1.80 s, 22050 Hz, mono; its rate or channels differ from the
// original's". `stored`: the manifest's line of the entry (null for one
// added).
std::string EntryLine(size_t i, const EntryFile& file, const ManifestEntry* stored);
// "entry 5 (v_0005): encoded from new.wav as 22050 Hz, mono, quality 0.30"
std::string EncodedLine(size_t i, const NameField& name, const std::string& path,
                        const RecordingTarget& target);
// "w/v_003.ogg is not in the manifest: did you mean v_0003.ogg?"
std::string ExtraLine(const std::string& folder, const ExtraFile& extra);

// The record of an entry: its number, name, state ("unchanged",
// "changed", "recording", "no_data", "removed", "added", "missing",
// "unusable"), file, problems and reason, and the shapes.
Json EntryJson(size_t i, const EntryFile& file, const ManifestEntry* stored);
Json ExtraJson(const ExtraFile& extra);

}  // namespace kowaki::cli
