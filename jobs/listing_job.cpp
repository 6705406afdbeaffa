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
constexpr int32_t kListingBatch = 32;  // rows handed on at once

std::string WithUnit(uint64_t size, uint64_t unit, const char* suffix) {
  const auto whole = static_cast<unsigned>(size / unit);
  const auto hundredths = static_cast<unsigned>(size % unit * 100 / unit);
  return FormatText("%u.%02u %s", whole, hundredths, suffix);
}

}  // namespace

EntryFacts ReadEntryFacts(const ArchiveIndex* index, int32_t entry) {
  EntryDecoder decoder(index, entry);
  if (!decoder.is_open()) return {decoder.problem(), {}};
  OggVorbis_File* vf = decoder.vorbis();
  return {EntryProblem::kNone,
          RowFacts{ov_time_total(vf, -1), ov_pcm_total(vf, -1), decoder.format().channels,
                   static_cast<int32_t>(decoder.format().samples_per_sec)}};
}

// Opening the entries is the cost: they are opened on every core, and
// handed on in entry order as a single thread would, in batches, since
// opening one takes less than waking a thread for it.
void ListEntries(const ArchiveIndex* index, int32_t threads,
                 const std::function<bool()>& keep_going,
                 const std::function<void(int32_t entry, const EntryFacts& facts)>& found) {
  OrderedWork<EntryFacts> work;
  work.count = index ? index->count : 0;
  work.threads = threads;
  work.batch = kListingBatch;
  work.keep_going = keep_going;
  work.work = [index](int32_t i) { return ReadEntryFacts(index, i); };
  work.commit = [&found](int32_t i, EntryFacts& facts) {
    found(i, facts);
    return true;
  };
  RunOrdered(work);
}

std::string ColumnText(int column, uint32_t size, const RowFacts& facts) {
  switch (column) {
    case 1:
      return FormatSize(size);
    case 2:
      return FormatText("%0.2f", facts.seconds);
    case 3:
      return FormatText("%d", facts.channels);
    case 4:
      return FormatText("%d", facts.rate);
    default:
      return {};
  }
}

// Unsigned throughout, so entries of 2 GiB and more show as sizes too.
std::string FormatSize(uint32_t size) {
  if (size > kGibi) return WithUnit(size, kGibi, "G");
  if (size > kMebi) return WithUnit(size, kMebi, "M");
  if (size > kKibi) return WithUnit(size, kKibi, "K");
  return FormatText("%u", size);
}

void ListingJob(AppState* state) {
  JobWindow& window = *state->window;
  const ArchiveIndex* index = state->index.get();
  const int32_t count = index ? index->count : 0;

  window.SetProgressRange(0, count);
  window.SetJobTitle(Say(Text::kWorkListing, 0, count));
  window.DeleteAllRows();
  window.ReserveRows(count);

  int32_t rows = 0;
  const auto keep_going = [state] { return state->running.load() != 0; };
  ListEntries(index, JobThreads(*state), keep_going, [&](int32_t i, const EntryFacts& listed) {
    if (!listed.playable()) return;
    window.InsertRow(rows, EntryName(index->entries[i]), i);
    for (int column = 1; column <= 4; ++column) {
      window.SetCellText(rows, column, ColumnText(column, index->entries[i].size, listed.facts));
    }
    window.SetRowFacts(rows, listed.facts);
    ++rows;
    window.SetProgressPosition(i);
    window.SetJobTitle(Say(Text::kWorkListing, i + 1, count));
  });

  window.SetProgressRange(0, 100);
  window.SetProgressPosition(0);
  window.SetTitle(Say(Text::kTitle));
  window.EnableControl(Control::kBrowse, true);
  window.EnableControl(Control::kPlay, true);
  window.EnableControl(Control::kOutput, true);
  state->running = 0;
}

}  // namespace kowaki
