#pragma once
// How the playback and export jobs end: their messages about what was not
// done, then the window given back.

#include <cstdint>

#include "jobs/job_window.h"
#include "text/catalogue.h"

namespace kowaki {

// Of `selected` entries, `taken` were taken up and `succeeded` of those
// went well: `failed_text` ("%d of %d failed") when some failed, then
// `stopped_text` ("%d left") when some were never taken up.
void ShowEndMessages(JobWindow& window, Text failed_text, Text stopped_text, int32_t selected,
                     int32_t taken, int32_t succeeded);

// The idle title, the list and Browse enabled, then Play and Output in
// that order: `button`, the one the job ran under, gets its text back, and
// the other is enabled again.
void RestoreControls(JobWindow& window, Control button);

}  // namespace kowaki
