// kowaki-cli browse on Windows: the window browses the archive there.

#include "cli/commands.h"
#include "cli/output/text_output.h"
#include "cli/terminal/language.h"
#include "text/catalogue.h"

namespace kowaki::cli {

int RunBrowse(Arguments) {
  Complain(Say(Text::kBrowseUseWindow));
  return kExitError;
}

}  // namespace kowaki::cli
