#include "cli/arguments/help.h"

#include "cli/arguments/global_options.h"
#include "cli/commands.h"
#include "cli/terminal/language.h"
#include "text/catalogue.h"

namespace kowaki::cli {

namespace {

struct Help {
  std::string_view command;
  const char* summary;     // one line for the overall help
  const char* usage;       // the rest, after "usage: kowaki-cli "
  const char* after = "";  // after the options every command of its kind takes
};

constexpr char kEntryHelp[] =
    "  ENTRY        a name as list shows it, a shell-style pattern (* ? [a-z] [!x]) or #N\n"
    "               for entry number N; every entry when none is given\n";
constexpr char kGameHelp[] =
    "  --wineprefix DIR\n"
    "               the Wine prefix the game runs in (default: $WINEPREFIX, ~/.wine,\n"
    "               and the prefixes of Steam's Proton and of Lutris are searched)\n";
constexpr char kJobsHelp[] =
    "  -j, --jobs N entries worked on by N threads at once (default: one per hardware thread)\n";

constexpr Help kHelp[] = {
    {"list", "the playable entries, as the window lists them",
     "list [ARCHIVE | --wineprefix DIR] [--json] [--all] [--loudness] [-j N] [ENTRY...]\n"
     "  --json       one JSON object: the path and a record per row\n"
     "  --all        also the entries that do not open, with the reason\n"
     "  --loudness   also each entry's integrated loudness (LUFS) and true peak (dBTP)\n"},
    {"play", "play entries on the default sound device (Ctrl-C stops)",
     "play [ARCHIVE | --wineprefix DIR] [--json] [ENTRY...]\n"
     "  --json       one JSON object on stdout: the totals and a record per entry\n"},
    {"export", "write entries as .ogg, .wav or .flac files, or merged into one",
     "export [ARCHIVE | --wineprefix DIR] (--to DIR | --merge FILE) [--type ogg|wav|flac]\n"
     "                  [--rate N|source] [--channels 1|2|source] [--name TEMPLATE]\n"
     "                  [--markers] [--gap SECONDS] [--loudness LUFS [--true-peak DB]\n"
     "                  [--loudness-mode track|album]] [--flac-level N] [-n [-v]] [--json]\n"
     "                  [-j N] [ENTRY...]\n"
     "  --to DIR     a file per entry in DIR, named after the entry\n"
     "  --merge FILE all entries in one WAV or FLAC file (FLAC for FILE.flac or\n"
     "               --type flac); - for standard output\n"
     "  --markers    with --merge: each entry's start as a cue point labelled with its name\n"
     "               (FLAC: a CUESHEET track per entry)\n"
     "  --gap SECONDS\n"
     "               with --merge: that much silence between entries, e.g. 0.5\n"
     "  --loudness LUFS\n"
     "               each entry brought to that integrated loudness (EBU R128), e.g. -23\n"
     "  --true-peak DB\n"
     "               the true peak a gain may reach, -20 to 0 (default -1)\n"
     "  --loudness-mode track|album\n"
     "               album: one gain for all the entries, measured as one\n"
     "  --flac-level N\n"
     "               FLAC's compression, 0 (fastest) to 8 (smallest); default 1\n"
     "  --type, --rate, --channels\n"
     "               the output format for this run (default: the stored settings)\n"
     "  --name TEMPLATE\n"
     "               file names from {name}, {entry} (the entry number; {entry:05} for\n"
     "               five digits) and {n} (the place in this run, from 1)\n"
     "  -n, --no-clobber\n"
     "               keep files that exist; their entries are reported as skipped (the\n"
     "               first five, then how many more)\n"
     "  -v, --verbose\n"
     "               with -n: a line for every entry skipped\n"
     "  --json       one JSON object on stdout: the totals and a record per entry\n"},
    {"browse", "browse, filter, play and export entries in a full-screen terminal",
     "browse [ARCHIVE | --wineprefix DIR] [--all]\n"
     "  --all        also the entries that do not open, dimmed, with the reason\n",
     "keys:\n"
     "  Up Down PgUp PgDn Home End, wheel   move\n"
     "  /            filter as you type: * ? [a-z] #N, or part of a name;\n"
     "               Enter keeps it, Esc clears it\n"
     "  space        mark or unmark, then down; a: mark the rows shown; u: unmark all\n"
     "  Enter        play the marks (or the current row); s: stop; p: pause, resume\n"
     "  Left Right   5 s back, on; , . 30 s; + - volume; n: the next entry\n"
     "  e            export the marks (or the current row) with the stored settings;\n"
     "               Tab, then t r c m: type, rate, channels, merge for this run; Esc stops\n"
     "  1-5          sort by that column; again: reversed\n"
     "  ?            the keys; q: quit\n"
     "On Windows the window browses the archive instead.\n"},
    {"settings", "show or store the output settings",
     "settings [--type ogg|wav|flac] [--rate N|source] [--channels 1|2|source] [--merge on|off]\n"},
    {"index", "the raw index, without decoding", "index ARCHIVE [--json]\n"},
    {"pack", "build an archive; entry names from the file stems, or again from unpack's DIR",
     "pack -o ARCHIVE [--header-word N] [--force] [--dry-run] [--no-backup] FILE...\n"
     "       kowaki-cli pack -o ARCHIVE --from DIR [--force] [--quality Q] [--add NAME=FILE]...\n"
     "                  [--remove ENTRY]... [--all] [--dry-run] [--no-backup] [-v]\n"
     "  FILE...      Ogg Vorbis clips, one entry each, named after the file stem; no two of\n"
     "               one name\n"
     "  --from DIR   the manifest's order, names and header word, each entry's data from\n"
     "               its file as it is now, or from NAME.wav beside it, encoded; stops for a\n"
     "               missing file, a lost manifest line, a link, and a file the manifest\n"
     "               does not name that looks like an entry's\n"
     "  --force      take files that are not sound Ogg Vorbis; with --from also leave out\n"
     "               files the manifest does not name, take a changed .ogg over its .wav,\n"
     "               and pack a stopped unpack's folder\n"
     "  --quality Q  the Vorbis quality recordings are encoded at, -0.1 to 1 (default: the\n"
     "               one nearest the original clip's bitrate)\n"
     "  --add NAME=FILE\n"
     "               a new entry NAME after the others, from FILE\n"
     "  --remove ENTRY\n"
     "               leave out the entry ENTRY names (a name, a pattern or #N)\n"
     "  --all        let an ENTRY that names several entries take them all\n"
     "  --dry-run    say what would be packed, and write nothing\n"
     "  --no-backup  do not keep an archive replaced at ARCHIVE as ARCHIVE.bak\n"
     "  -v, --verbose\n"
     "               every line of a long list, not the first few\n"},
    {"unpack", "every entry's stored bytes into DIR, with a manifest for pack --from",
     "unpack ARCHIVE DIR [--force] [-v]\n"
     "  --force      replace the files unpack writes (its manifest, the entries' files) when\n"
     "               DIR holds them already; nothing else in DIR is touched\n"
     "  -v, --verbose\n"
     "               every line of a long list, not the first few\n"},
    {"replace", "give entries new data, keeping every other entry as it was",
     "replace ARCHIVE ENTRY FILE [ENTRY FILE...] [--all] [--force] [--quality Q]\n"
     "                  [--dry-run] [--no-backup] [-v]\n"
     "  ENTRY        a name, a shell-style pattern or #N for entry number N\n"
     "  FILE         an Ogg Vorbis clip, or a WAV recording, encoded at the entry's rate\n"
     "               and channels\n"
     "  --all        let an ENTRY that names several entries take them all\n"
     "  --force      take files that are not sound Ogg Vorbis\n"
     "  --quality Q  the Vorbis quality recordings are encoded at, -0.1 to 1\n"
     "  --dry-run    say what would be replaced, and write nothing\n"
     "  --no-backup  do not keep the archive as it was as ARCHIVE.bak\n"
     "  -v, --verbose\n"
     "               every line of a long list, not the first few\n"},
    {"status", "compare unpack's DIR with its manifest: what pack --from would do",
     "status DIR [--json] [-v] [--add NAME=FILE]... [--remove ENTRY]... [--all]\n"
     "  DIR          a folder unpack filled; exit code 0 when pack --from would pack it,\n"
     "               1 when it would stop\n"
     "  --json       one JSON object: the counts, the files not in the manifest and a\n"
     "               record per entry\n"
     "  -v, --verbose\n"
     "               also the entries that are as unpacked\n"
     "  --add, --remove, --all\n"
     "               as pack --from takes them\n"},
    {"verify", "decode every entry to its end and report those that fail",
     "verify ARCHIVE [--json] [--strict] [-j N]\n"
     "  --json       one JSON object: the totals and a record per failing entry\n"
     "  --strict     an entry that is not audio (no Ogg data) fails too\n"},
    {"convert", "convert a WAV file, PCM or codec, to another format",
     "convert IN.wav OUT.wav [--rate N] [--channels 1|2] [--bits 8|16]\n"
     "                   [--codec pcm|ima-adpcm|ms-adpcm|mulaw|alaw]\n"},
};

constexpr char kGlobalHelp[] =
    "options of every command:\n"
    "  -h, --help   this help\n"
    "  -q, --quiet  no progress line and no summary; only what went wrong\n"
    "  --lang en|ja the language of the texts (default: the locale's)\n";

bool TakesEntries(std::string_view command) {
  return command == "list" || command == "play" || command == "export";
}

}  // namespace

std::string OverallHelp() {
  std::string text =
      "usage: kowaki-cli COMMAND [ARGS...]\n"
      "       kowaki-cli COMMAND --help\n"
      "       kowaki-cli --version\n\n"
      "commands:\n";
  for (const Help& help : kHelp) {
    text += "  " + std::string(help.command);
    text.append(10 - help.command.size(), ' ');
    text += std::string(help.summary) + "\n";
  }
  return text + "\nARCHIVE: the game's voice.arc when not given.\n\n" + kGlobalHelp + "\n" +
         kExitCodesHelp;
}

std::string CommandHelp(std::string_view command) {
  for (const Help& help : kHelp) {
    if (help.command != command) continue;
    std::string text = "usage: kowaki-cli " + std::string(help.usage);
    if (TakesEntries(command) || command == "browse") text += kGameHelp;
    if (TakesEntries(command)) text += kEntryHelp;
    if (TakesEntries(command) && command != "play") text += kJobsHelp;
    return text + help.after + "\n" + kGlobalHelp + "\n" + kExitCodesHelp;
  }
  return {};
}

int BadArguments(std::string_view command, std::string_view error) {
  const std::string help =
      "'kowaki-cli " + std::string(command) + (command.empty() ? "" : " ") + "--help'";
  Complain(std::string(error) + "\n" + Say(Text::kSeeHelp, help));
  return kExitError;
}

}  // namespace kowaki::cli
