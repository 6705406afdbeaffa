#pragma once
// What unpack, pack, replace, status and verify share on the terminal: the
// archive argument loaded, the check a clip passes before it goes into an
// archive, Ctrl-C as the stop button, summaries and long lists of lines,
// the options they share, and the words they say the same things in.

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "archive/archive_index.h"
#include "archive/archive_writer.h"
#include "cli/arguments/args.h"
#include "common/input_files.h"
#include "common/output_file.h"
#include "common/result.h"
#include "modding/entry_check.h"

namespace kowaki::cli {

// The archive at `path`; null after saying on stderr why it cannot be loaded.
ArchiveIndexPtr LoadArchiveArgument(const std::string& path);

// "entry 3 (v_0001)": entry `i` by number and by its stored `name`.
std::string EntryLabel(size_t i, std::string_view name);

// What a writer says of an archive whose entries were not in table order.
std::string RearrangedText();

// What is wrong with an entry, in words: "damaged pages (2), cut short".
std::string CheckText(const EntryCheck& check);

// Whether the file at `path` is a clip the game can play: an Ogg Vorbis
// stream that decodes whole. Fails with "PATH: why", a WAV file named as
// one, with the --force hint.
Result<> CheckClip(const std::string& path);

// Marks the files a command reads: no output of its run is one of them,
// whatever its name (see common/input_files.h).
std::vector<InputMark> MarkInputs(std::span<const std::string> paths);

// The entries of `count` (entry i named `name_of(i)`, its stored bytes)
// that ENTRY `argument` names: fails when it names none, or more than one
// without `all`, saying which.
Result<std::vector<size_t>> MatchEntries(const std::string& argument, size_t count,
                                         const std::function<std::string_view(size_t)>& name_of,
                                         bool all);

// While it lives, the first Ctrl-C clears `running()` instead of ending
// the process: the command finishes or rolls back the entry it is at,
// says where it stopped and exits with kExitInterrupted.
class StopButton {
 public:
  StopButton();
  ~StopButton();
  StopButton(const StopButton&) = delete;
  StopButton& operator=(const StopButton&) = delete;

  const std::atomic<int32_t>* running() const { return &running_; }
  bool pressed() const { return running_.load() == 0; }

 private:
  std::atomic<int32_t> running_{1};
};

// A summary line on stderr, unless -q.
void Report(const std::string& text);
// Lines of one kind on stderr: each of them when there are few or
// `verbose`; else the first few and one line that counts the rest.
void ComplainEach(const std::vector<std::string>& lines, bool verbose);
// The same for lines that report, unless -q.
void ReportEach(const std::vector<std::string>& lines, bool verbose);

// Every value of an option that may be given more than once (--add A
// --add B), taken off `args` before the rest is parsed.
std::vector<std::string> TakeRepeated(std::vector<char*>* args, std::string_view name);

// --quality Q: the VBR quality recordings are encoded at; none when not
// given (the engine matches the original's bitrate).
Result<std::optional<float>> QualityOption(const ParsedArgs& parsed);

// Renames the finished `out` onto `path`, keeping the file it replaces
// (when `keep` and there is one) as PATH.bak or a numbered one: the
// backup's name, if one was kept.
Result<std::optional<std::string>> CommitKeepingBackup(OutputFile& out, const std::string& path,
                                                       bool keep);
// What --dry-run says of the backup CommitKeepingBackup would keep.
void ReportBackupToBe(const std::string& path, bool keep);

// Says that a stop left `path` as it was: kExitInterrupted.
int ReportStopped(const std::string& path);

// Writes `writer`'s archive into `out` (open on `path`) and renames it
// onto `path`, keeping the file it replaces when `keep_backup`. A first
// Ctrl-C stops it before the next entry, and nothing is replaced.
// `before_commit` runs once the archive is written, before it takes the
// name. kExitOk, or an exit code after saying why not.
int FinishArchive(ArchiveWriter& writer, OutputFile& out, const std::string& path, bool keep_backup,
                  const StopButton& stop, const std::function<void()>& before_commit = {});

}  // namespace kowaki::cli
