#include "jobs/listing_job.h"

#include "jobs/entry_decoder.h"
#include "jobs/ordered_work.h"
#include "text/catalogue.h"
#include "text/format_text.h"

namespace kowaki {

namespace {

constexpr uint64_t kKibi = 1024;
constexpr uint64_t kMebi = kKibi * 1024;
constexpr uint64_t kGibi = kMebi * 1024;

std::string WithUnit(uint64_t size, uint64_t unit, const char* suffix) {
  const auto whole = static_cast<unsigned>(size / unit);
  const auto hundredths = static_cast<unsigned>(size % unit * 100 / unit);
  return FormatText("%u.%02u %s", whole, hundredths, suffix);
}

// What listing one entry finds; the row is made in list order.
struct Listed {
  bool playable = false;
  RowFacts facts;
};

Listed ListEntry(const ArchiveIndex* index, int32_t i) {
  EntryDecoder decoder(index, i);
  if (!decoder.is_open()) return {};
  OggVorbis_File* vf = decoder.vorbis();
  return {true, RowFacts{ov_time_total(vf, -1), ov_pcm_total(vf, -1), decoder.format().channels,
                         static_cast<int32_t>(decoder.format().samples_per_sec)}};
}

}  // namespace

// Unsigned throughout, so entries of 2 GiB and more show as sizes too.
std::string FormatSize(uint32_t size) {
  if (size > kGibi) return WithUnit(size, kGibi, "G");
  if (size > kMebi) return WithUnit(size, kMebi, "M");
  if (size > kKibi) return WithUnit(size, kKibi, "K");
  return FormatText("%u", size);
}

// Opening the entries is the cost: they are opened on every core, and the
// rows added in list order as a single thread adds them.
void ListingJob(AppState* state) {
  JobWindow& window = *state->window;
  const ArchiveIndex* index = state->index.get();
  const int32_t count = index ? index->count : 0;

  window.SetProgressRange(0, count);
  window.SetJobTitle(Say(Text::kWorkListing, 0, count));
  window.DeleteAllRows();
  window.ReserveRows(count);

  int32_t rows = 0;
  OrderedWork<Listed> work;
  work.count = count;
  work.threads = JobThreads(*state);
  work.keep_going = [state] { return state->running.load() != 0; };
  work.work = [index](int32_t i) { return ListEntry(index, i); };
  work.commit = [&](int32_t i, Listed& listed) {
    if (!listed.playable) return true;
    const ArchiveEntry& entry = index->entries[i];
    window.InsertRow(rows, EntryName(entry), i);
    window.SetCellText(rows, 1, FormatSize(entry.size));
    window.SetCellText(rows, 2, FormatText("%0.2f", listed.facts.seconds));
    window.SetCellText(rows, 3, FormatText("%d", listed.facts.channels));
    window.SetCellText(rows, 4, FormatText("%d", listed.facts.rate));
    window.SetRowFacts(rows, listed.facts);
    ++rows;
    window.SetProgressPosition(i);
    window.SetJobTitle(Say(Text::kWorkListing, i + 1, count));
    return true;
  };
  RunOrdered(work);

  window.SetProgressRange(0, 100);
  window.SetProgressPosition(0);
  window.SetTitle(Say(Text::kTitle));
  window.EnableControl(Control::kBrowse, true);
  window.EnableControl(Control::kPlay, true);
  window.EnableControl(Control::kOutput, true);
  state->running = 0;
}

}  // namespace kowaki
