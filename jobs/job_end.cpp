#include "jobs/job_end.h"

#include "text/format_text.h"
#include "text/texts.h"

namespace kowaki {

void ShowEndMessages(JobWindow& window, const char* failed_text, const char* stopped_text,
                     int32_t selected, int32_t taken, int32_t succeeded) {
  if (taken != succeeded) {
    window.ShowMessage(FormatText(window.Localized(failed_text), taken, taken - succeeded),
                       window.Localized(texts::kCaptionWarning));
  }
  if (taken != selected) {
    window.ShowMessage(FormatText(window.Localized(stopped_text), selected - taken),
                       window.Localized(texts::kCaptionWarning));
  }
}

void RestoreControls(JobWindow& window, Control button) {
  window.SetTitle(texts::kTitle);
  window.EnableControl(Control::kList, true);
  window.EnableControl(Control::kBrowse, true);
  for (const Control control : {Control::kPlay, Control::kOutput}) {
    if (control == button) {
      window.SetButtonText(control,
                           control == Control::kPlay ? texts::kButtonPlay : texts::kButtonOutput);
    } else {
      window.EnableControl(control, true);
    }
  }
}

}  // namespace kowaki
