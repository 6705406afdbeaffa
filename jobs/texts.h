#pragma once
// The system's own texts, in UTF-8. The Windows face converts them to code
// page 932 at its boundary; the CLI prints them as they are.

namespace kowaki::texts {

inline constexpr char kTitle[] = "こわき";
inline constexpr char kCaptionError[] = "ERROR";

// The one report for an archive that cannot be loaded; %s is its path.
inline constexpr char kCannotOpenArchive[] =
    "%s を開くことができません\n\nファイルが存在するか、正しいファイルであるか確認してください";

}  // namespace kowaki::texts
