#include "jobs/listing_job.h"

#include "jobs/entry_decoder.h"
#include "jobs/format_text.h"
#include "jobs/texts.h"

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

}  // namespace

// Unsigned throughout, so entries of 2 GiB and more show as sizes too.
std::string FormatSize(uint32_t size) {
  if (size > kGibi) return WithUnit(size, kGibi, "G");
  if (size > kMebi) return WithUnit(size, kMebi, "M");
  if (size > kKibi) return WithUnit(size, kKibi, "K");
  return FormatText("%u", size);
}

int ListingJob(AppState* state) {
  JobWindow& window = *state->window;
  const ArchiveIndex* index = state->index;
  const int32_t count = index ? index->count : 0;

  window.SetProgressRange(0, count);
  window.SetJobTitle(FormatText(texts::kWorkListing, 0, count));
  window.DeleteAllRows();
  window.ReserveRows(count);

  int32_t rows = 0;
  for (int32_t i = 0; i < count; ++i) {
    if (state->running.load() == 0) break;
    EntryDecoder decoder(index, i);
    if (!decoder.is_open()) continue;
    const RowFacts facts{ov_time_total(decoder.vorbis(), -1), ov_pcm_total(decoder.vorbis(), -1),
                         decoder.format().channels,
                         static_cast<int32_t>(decoder.format().samples_per_sec)};
    const ArchiveEntry& entry = index->entries[i];
    window.InsertRow(rows, EntryName(entry), i);
    window.SetCellText(rows, 1, FormatSize(entry.size));
    window.SetCellText(rows, 2, FormatText("%0.2f", facts.seconds));
    window.SetCellText(rows, 3, FormatText("%d", facts.channels));
    window.SetCellText(rows, 4, FormatText("%d", facts.rate));
    window.SetRowFacts(rows, facts);
    ++rows;
    window.SetProgressPosition(i);
    window.SetJobTitle(FormatText(texts::kWorkListing, i + 1, count));
  }

  window.SetProgressRange(0, 100);
  window.SetProgressPosition(0);
  window.SetTitle(texts::kTitle);
  window.EnableControl(Control::kBrowse, true);
  window.EnableControl(Control::kPlay, true);
  window.EnableControl(Control::kOutput, true);
  state->running = 0;
  return 0;
}

}  // namespace kowaki
