// kowaki-cli browse without a terminal: the rows before and after their
// facts come in, the filter, the sort, the marks and the screen's rows; the
// facts read in the background from a real archive; and keys as the
// screen hands them over, the export they start included.

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "cli/browse/browse_controller.h"
#include "cli/browse/browse_model.h"
#include "cli/browse/facts_loader.h"
#include "common/little_endian.h"
#include "tests/jobs/job_fixture.h"

namespace kowaki::test {
namespace {

using cli::BrowseModel;
using Entries = std::vector<int32_t>;

EntryFacts Playable(double seconds, int32_t channels = 1, int32_t rate = 22050) {
  return {EntryProblem::kNone,
          RowFacts{seconds, static_cast<int64_t>(seconds * rate), channels, rate}};
}
const EntryFacts kNotVorbis{EntryProblem::kNotVorbis, {}};

class BrowseModelTest : public JobTest {
 protected:
  // Entries of these names and sizes; their facts as the test gives them.
  void Make(const std::vector<std::pair<std::string, size_t>>& entries) {
    std::vector<Clip> clips;
    for (const auto& [name, size] : entries) clips.push_back({name, std::string(size, 'x')});
    MakeArchive(clips);
    facts_.assign(entries.size(), {});
  }
  Entries Shown(const BrowseModel& model) const {
    Entries shown;
    for (int32_t row = 0; row < model.rows(); ++row) shown.push_back(model.RowEntry(row));
    return shown;
  }
  int32_t CursorEntry(const BrowseModel& model) const { return model.RowEntry(model.cursor()); }

  std::vector<EntryFacts> facts_;
};

TEST_F(BrowseModelTest, RowsComeFirstAndEntriesThatDoNotOpenLeaveAsTheirFactsComeIn) {
  Make({{"v_0001", 300}, {"readme", 40}, {"v_0002", 200}, {"v_0003", 100}, {"junk", 50}});
  BrowseModel model(*state_.index, facts_, false);
  BrowseModel all(*state_.index, facts_, true);
  EXPECT_EQ(Shown(model), (Entries{0, 1, 2, 3, 4}));
  EXPECT_EQ(model.Facts(0), nullptr);
  EXPECT_EQ(model.NameText(1), "readme");
  model.CursorTo(2);
  model.ToggleMark();  // entry 2; the cursor goes to entry 3
  model.ToggleMark();  // entry 3
  model.MoveCursor(-3);

  facts_[0] = Playable(1.5);
  facts_[1] = kNotVorbis;
  facts_[2] = Playable(0.5);
  EXPECT_TRUE(model.Learn(3));
  EXPECT_FALSE(model.Learn(3));
  EXPECT_TRUE(all.Learn(3));
  EXPECT_EQ(Shown(model), (Entries{0, 2, 3, 4}));
  EXPECT_EQ(Shown(all), (Entries{0, 1, 2, 3, 4}));
  EXPECT_EQ(all.Facts(1)->problem, EntryProblem::kNotVorbis);
  EXPECT_EQ(model.Facts(2)->facts.seconds, 0.5);
  EXPECT_EQ(CursorEntry(model), 2);  // it stood on entry 1, which left: the next one

  // A marked entry that does not open is unmarked; none such is marked.
  facts_[3] = kNotVorbis;
  facts_[4] = kNotVorbis;
  model.Learn(5);
  EXPECT_EQ(Shown(model), (Entries{0, 2}));
  EXPECT_EQ(model.marked(), 1);
  all.Learn(5);
  all.CursorTo(4);
  all.ToggleMark();
  all.MarkShown();
  EXPECT_EQ(all.marked(), 2);
  EXPECT_EQ(all.Chosen(), (Entries{0, 2}));
}

TEST_F(BrowseModelTest, TheFilterTakesTheFormsOfEntryAndPlainTextAsPartOfAName) {
  Make({{"v_0001", 1}, {"v_0002", 1}, {"sys_end", 1}, {"\x82\xb1\x82\xa6\x30\x31", 1}, {"x", 1}});
  BrowseModel model(*state_.index, facts_, false);
  const auto filtered = [&](const std::string& typed) {
    model.SetFilter(typed);
    return Shown(model);
  };
  EXPECT_EQ(filtered("_0"), (Entries{0, 1}));
  EXPECT_EQ(filtered("v_000?"), (Entries{0, 1}));
  EXPECT_EQ(filtered("*end"), (Entries{2}));
  EXPECT_EQ(filtered("[sx]*"), (Entries{2, 4}));
  EXPECT_EQ(filtered("#3"), (Entries{3}));
  EXPECT_EQ(filtered("こえ"), (Entries{3}));
  EXPECT_EQ(filtered("zzz"), (Entries{}));
  EXPECT_EQ(model.cursor(), -1);
  EXPECT_EQ(model.Chosen(), (Entries{}));
  EXPECT_EQ(filtered(""), (Entries{0, 1, 2, 3, 4}));
  EXPECT_EQ(model.filter(), "");

  // The current row keeps its entry while the filter lets it through, and
  // goes to the next one shown when it does not.
  model.CursorTo(2);
  EXPECT_EQ(filtered("s"), (Entries{2}));
  EXPECT_EQ(CursorEntry(model), 2);
  model.SetFilter("");
  model.CursorTo(1);
  filtered("[sx]*");
  EXPECT_EQ(CursorEntry(model), 2);
}

TEST_F(BrowseModelTest, AColumnSortsAsTheWindowSortsAndAgainReverses) {
  Make({{"b", 30}, {"\x82\xa0", 10}, {"a", 20}, {"c", 20}});
  BrowseModel model(*state_.index, facts_, false);
  model.SortBy(0);  // by the name's bytes: code page 932 after ASCII
  EXPECT_EQ(Shown(model), (Entries{2, 0, 3, 1}));
  model.SortBy(0);
  EXPECT_EQ(Shown(model), (Entries{1, 3, 0, 2}));
  EXPECT_TRUE(model.sort().descending);
  model.SortBy(1);  // by size; ties keep the entries' order
  EXPECT_EQ(Shown(model), (Entries{1, 2, 3, 0}));
  model.SortBy(1);
  EXPECT_EQ(Shown(model), (Entries{0, 3, 2, 1}));

  // By seconds while the facts come in: the rows take them in as they do.
  model.SortBy(2);
  EXPECT_EQ(Shown(model), (Entries{0, 1, 2, 3}));
  facts_[0] = Playable(3.0);
  facts_[1] = Playable(1.0);
  model.Learn(2);
  EXPECT_EQ(Shown(model), (Entries{2, 3, 1, 0}));
  facts_[2] = Playable(2.0);
  facts_[3] = Playable(0.5);
  model.Learn(4);
  EXPECT_EQ(Shown(model), (Entries{3, 1, 2, 0}));

  // Marks are taken in the order shown, those the filter hides too.
  model.CursorTo(0);
  model.ToggleMark();
  model.CursorTo(3);
  model.ToggleMark();
  model.SetFilter("b");
  EXPECT_EQ(model.Chosen(), (Entries{3, 0}));
  model.UnmarkAll();
  EXPECT_EQ(model.Chosen(), (Entries{0}));  // none marked: the current row
}

TEST_F(BrowseModelTest, TheScreenHoldsTheCurrentRowAndTheWheelMovesTheScreen) {
  Make({{"a", 1}, {"b", 1}, {"c", 1}, {"d", 1}, {"e", 1}, {"f", 1}, {"g", 1}, {"h", 1}});
  BrowseModel model(*state_.index, facts_, false);
  model.SetPage(3);
  model.MoveCursor(model.page());  // PgDn
  EXPECT_EQ(model.cursor(), 3);
  EXPECT_EQ(model.top(), 1);
  model.CursorTo(model.rows() - 1);  // End
  EXPECT_EQ(model.top(), 5);
  model.Scroll(-3);
  EXPECT_EQ(model.top(), 2);
  EXPECT_EQ(model.cursor(), 4);  // dragged along, onto the screen's last row
  model.Scroll(-9);
  EXPECT_EQ(model.top(), 0);
  model.Scroll(9);
  EXPECT_EQ(model.top(), 5);  // no empty lines after the last row
  model.MoveCursor(-20);
  EXPECT_EQ(model.cursor(), 0);
  model.SetPage(20);  // a taller screen
  EXPECT_EQ(model.top(), 0);
  model.SetFilter("[e-h]");
  EXPECT_EQ(model.cursor(), 0);
  EXPECT_EQ(CursorEntry(model), 4);
}

TEST_F(BrowseModelTest, TheLoaderReadsEveryEntrysFactsInTheBackground) {
  MakeArchive({Voice("a", 22050, 1), {"junk", "not vorbis"}, Voice("c", 44100, 2, 0.5)});
  cli::FactsLoader loader(state_.index.get(), 2);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (loader.known() < 3 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ASSERT_EQ(loader.known(), 3);
  BrowseModel model(*state_.index, loader.facts(), false);
  model.Learn(loader.known());
  EXPECT_EQ(Shown(model), (Entries{0, 2}));
  EXPECT_EQ(model.Facts(1)->problem, EntryProblem::kNotAudio);
  const RowFacts& c = model.Facts(2)->facts;
  EXPECT_EQ(c.channels, 2);
  EXPECT_EQ(c.rate, 44100);
  EXPECT_EQ(c.frames, 22050);
  EXPECT_EQ(c.frames, ReadEntryFacts(state_.index.get(), 2).facts.frames);
}

class BrowseKeysTest : public JobTest {
 protected:
  BrowseKeysTest() { SetLanguage(Language::kEnglish); }
  // What the screen hands over for `text`: a key per byte.
  void Type(cli::BrowseController& controller, std::string_view text) {
    for (const char byte : text) ASSERT_TRUE(controller.Handle({cli::Key::kChar, byte}));
  }
  void Press(cli::BrowseController& controller, cli::Key::Kind kind) {
    ASSERT_TRUE(controller.Handle({kind}));
  }
  // Ticks, as the screen does between keys, until the job has ended.
  void AwaitJob(cli::BrowseController& controller) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (controller.job() != cli::BrowseController::Job::kNone &&
           std::chrono::steady_clock::now() < deadline) {
      controller.Tick();
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }
};

TEST_F(BrowseKeysTest, AFilterTakesACharacterOnceWholeAndAnExportTakesItsSettingsForTheRun) {
  MakeArchive({Voice("v_0001", 22050, 2), Voice("\x82\xb1\x82\xa6", 8000, 1)});
  cli::FactsLoader facts(state_.index.get(), 1);
  BrowseModel model(*state_.index, facts.facts(), false);
  cli::BrowseWindow window(facts);
  state_.window = &window;
  cli::BrowseController controller(state_, window, model, facts, kDefaultOutputSettings,
                                   "voice.arc");

  Type(controller, "/\xE3\x81");  // the first two bytes of こ
  EXPECT_EQ(controller.mode(), cli::BrowseController::Mode::kFilter);
  EXPECT_EQ(model.rows(), 2);
  Type(controller, "\x93");
  EXPECT_EQ(model.filter(), "こ");
  EXPECT_EQ(model.rows(), 1);
  Press(controller, cli::Key::kBackspace);
  EXPECT_EQ(model.rows(), 2);
  Type(controller, "v");
  Press(controller, cli::Key::kEnter);
  Type(controller, "/q");  // opened again on the filter kept
  EXPECT_EQ(model.filter(), "vq");
  Press(controller, cli::Key::kEscape);
  EXPECT_EQ(model.filter(), "");

  // A folder that cannot be made keeps the prompt; the settings change
  // for this run as the settings dialog's lists go.
  const std::string blocked = dir_.File("voice.arc") + "/out";
  Type(controller, "e" + blocked);
  Press(controller, cli::Key::kEnter);
  EXPECT_EQ(controller.mode(), cli::BrowseController::Mode::kExport);
  EXPECT_EQ(controller.note(), "cannot make the folder " + blocked);
  for (size_t i = 0; i < std::string_view("voice.arc/out").size(); ++i) {
    Press(controller, cli::Key::kBackspace);
  }
  Type(controller, "out");
  Press(controller, cli::Key::kTab);
  Type(controller, "trrcc");
  EXPECT_EQ(controller.settings().type, 1);
  EXPECT_EQ(controller.settings().frq, 44100);
  EXPECT_EQ(controller.settings().ch, 2);
  Press(controller, cli::Key::kEnter);
  EXPECT_EQ(controller.job(), cli::BrowseController::Job::kExport);
  AwaitJob(controller);
  EXPECT_EQ(controller.note(), "1 written, 0 skipped, 0 failed to " + dir_.File("out"));
  const std::string wav = ReadBytes(dir_.File("out/v_0001.wav"));
  ASSERT_GE(wav.size(), 44u);
  const auto* header = reinterpret_cast<const uint8_t*>(wav.data());
  EXPECT_EQ(ReadLe16(header + 22), 2);  // channels
  EXPECT_EQ(ReadLe32(header + 24), 44100u);

  // The type goes on to FLAC, as kowaki-cli's --type does; the prompt
  // keeps the folder typed before.
  Type(controller, "eflac");
  Press(controller, cli::Key::kTab);
  Type(controller, "t");
  EXPECT_EQ(controller.settings().type, kOutputTypeFlac);
  Press(controller, cli::Key::kEnter);
  AwaitJob(controller);
  EXPECT_TRUE(ReadBytes(dir_.File("outflac/v_0001.flac")).starts_with("fLaC"));
  EXPECT_FALSE(controller.Handle({cli::Key::kChar, 'q'}));
}

}  // namespace
}  // namespace kowaki::test
