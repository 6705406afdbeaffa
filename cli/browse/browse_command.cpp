// kowaki-cli browse [ARCHIVE] [--wineprefix DIR] [--all]
// The archive in a full-screen terminal browser: its rows at once, their
// facts as the listing reads them, filter as you type, marks, playback and
// export through the jobs that play and export.

#include <memory>
#include <string>
#include <vector>

#include "cli/arguments/args.h"
#include "cli/arguments/help.h"
#include "cli/browse/browse_controller.h"
#include "cli/browse/browse_model.h"
#include "cli/browse/browse_view.h"
#include "cli/browse/browse_window.h"
#include "cli/browse/facts_loader.h"
#include "cli/browse/screen.h"
#include "cli/commands.h"
#include "cli/output/text_output.h"
#include "cli/terminal/language.h"
#include "cli/terminal/terminal_window.h"
#include "settings/output_settings.h"
#include "text/catalogue.h"

namespace kowaki::cli {

namespace {

// How long a key is waited for before the facts and the jobs are looked at again.
constexpr int kTickMs = 100;

int Browse(TerminalSession& session, bool all) {
  AppState& jobs = session.state();
  const ArchiveIndex& index = *jobs.index;
  FactsLoader facts(&index, JobThreads(jobs));
  BrowseModel model(index, facts.facts(), all);
  BrowseWindow window(facts);
  jobs.window = &window;
  Result<std::unique_ptr<Screen>> screen = Screen::Open();
  if (!screen) {
    Complain(screen.failure().text);
    return kExitError;
  }
  // Made after the screen, the controller goes before it: a job stops
  // while the screen still stands.
  BrowseController controller(jobs, window, model, facts, LoadOutputSettings(*OpenSettingsStore()),
                              std::string(FileNameOf(session.path())));
  const BrowseView view(index, model, controller, window, session.path());
  do {
    controller.Tick();
    model.SetPage(BrowseView::PageRows());
    view.Draw();
  } while (controller.Handle((*screen)->Read(kTickMs)));
  return kExitOk;
}

}  // namespace

int RunBrowse(Arguments args) {
  ParsedArgs parsed;
  if (const Result<> parsing = parsed.Parse(args, {"wineprefix"}, {"all"}); !parsing) {
    return BadArguments("browse", parsing.failure().text);
  }
  const std::vector<std::string>& positional = parsed.positional();
  if (positional.size() > 1) return BadArguments("browse", Say(Text::kArgGiveOneArchive));
  TerminalSession session;
  const std::string archive = positional.empty() ? "" : positional.front();
  if (auto code = session.Load(archive, "browse", parsed.Value("wineprefix").value_or(""))) {
    return *code;
  }
  return Browse(session, parsed.Has("all"));
}

}  // namespace kowaki::cli
