#include "jobs/job_end.h"

#include "text/catalogue.h"

namespace kowaki {

void ShowEndMessages(JobWindow& window, Text failed_text, Text stopped_text, int32_t selected,
                     int32_t taken, int32_t succeeded) {
  if (taken != succeeded) {
    window.ShowMessage(Say(failed_text, taken, taken - succeeded), Say(Text::kCaptionWarning));
  }
  if (taken != selected) {
    window.ShowMessage(Say(stopped_text, selected - taken), Say(Text::kCaptionWarning));
  }
}

void RestoreControls(JobWindow& window, Control button) {
  window.SetTitle(Say(Text::kTitle));
  window.EnableControl(Control::kList, true);
  window.EnableControl(Control::kBrowse, true);
  for (const Control control : {Control::kPlay, Control::kOutput}) {
    if (control == button) {
      window.SetButtonText(
          control, Say(control == Control::kPlay ? Text::kButtonPlay : Text::kButtonOutput));
    } else {
      window.EnableControl(control, true);
    }
  }
}

}  // namespace kowaki
