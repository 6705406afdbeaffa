#pragma once
// What can go wrong with an entry, in one vocabulary for every job, check
// and face: export, play and list fail an entry they take up for one
// problem; a check (verify, a clip before it goes into an archive) decodes
// it to its end and may find several. Each problem has a fixed id for
// scripts and its words in the catalogue.

#include <cstdint>
#include <string>
#include <vector>

namespace kowaki {

enum class EntryProblem : uint8_t {
  kNone,
  kNotVorbis,         // no Ogg Vorbis stream opens there
  kNotAudio,          // not Ogg data at all: an archive keeps other files too
  kDamaged,           // damaged pages: stepped over, or the decoding stopped at one
  kNoLastPage,        // damaged: no whole Ogg page near its end, so no end to decode to
  kPageGap,           // damaged: so long a run without an Ogg page that the search gave up
  kCutShort,          // its data ends before the stream does (or past the archive's end)
  kLengthDiffers,     // it decodes to another length than its last page gives
  kReadFailed,        // the archive could not be read
  kArchiveChanged,    // the archive was written to since it was loaded
  kCannotConvert,     // no conversion from its format to the output's
  kTooLarge,          // more audio than a WAV file's sizes hold
  kCannotOpenOutput,  // its output file could not be created
  kWriteFailed,       // the output could not be written
  kKept,              // its file existed and was kept: the entry was skipped
  kNoDevice,          // no sound device to play on (none, or none free)
  kFormatRefused,     // the sound device does not play its format
  kDeviceFailed,      // the sound device could not be opened otherwise (memory)
  // Its file in a work folder (pack --from, status):
  kFileMissing,        // not there
  kFileLink,           // a link, or in a linked folder: not followed
  kFileOutside,        // the manifest names a file outside the folder
  kFileUnreadable,     // it cannot be read
  kOggAndWav,          // its .ogg was changed, and a recording lies beside it
  kRecordingUnusable,  // its recording cannot be encoded
  kNotUnpacked,        // a stopped unpack left it out
};

// What a problem's words tell besides the problem.
struct ProblemFacts {
  int system_error = 0;   // errno (GetLastError on Windows) of a read, open or write; 0: none
  int damage = 0;         // damaged places met
  int64_t decoded = 0;    // sample frames decoded
  int64_t expected = -1;  // sample frames the stream's last page gives; -1: none
};

// Its id for scripts ("not_vorbis"), the same in every language.
const char* ProblemId(EntryProblem problem);
// Its words in the current language, with what the facts tell: the
// damaged places, the lengths, the system's own words for its error.
std::string ProblemText(EntryProblem problem, const ProblemFacts& facts = {});

// Several problems at once, as a check finds them.
class ProblemSet {
 public:
  void Add(EntryProblem problem) { bits_ |= Bit(problem); }
  bool Has(EntryProblem problem) const { return (bits_ & Bit(problem)) != 0; }
  bool empty() const { return bits_ == 0; }
  // Those held, in the order of the enum.
  std::vector<EntryProblem> Listed() const;

 private:
  static uint32_t Bit(EntryProblem problem) {
    return uint32_t{1} << static_cast<unsigned>(problem);
  }
  uint32_t bits_ = 0;
};

}  // namespace kowaki
