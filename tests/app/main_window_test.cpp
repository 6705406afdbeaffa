// The real main window and settings dialog, driven through messages the way
// a user's clicks arrive, and read back through their controls.

#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/layout.h"
#include "app/main_window.h"
#include "app/settings_dialog.h"
#include "archive/archive_writer.h"
#include "audio/wave_out_player.h"
#include "res/resource.h"
#include "tests/support/files.h"
#include "tests/win32/ui_driver.h"

namespace kowaki {
namespace {

using test::Ansi;
using test::MessageBoxAnswerer;
using test::PumpUntil;
using test::WindowText;

constexpr char kGameKey[] = "Software\\Kestrel\\mizukage";
constexpr char kSettingsKey[] = "Software\\tobira\\kowaki.exe";

void SetValue(const char* key, const char* name, DWORD type, const void* data, DWORD size) {
  HKEY handle;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &handle,
                            nullptr),
            ERROR_SUCCESS);
  RegSetValueExA(handle, name, 0, type, static_cast<const BYTE*>(data), size);
  RegCloseKey(handle);
}
void SetString(const char* key, const char* name, const std::string& value) {
  SetValue(key, name, REG_SZ, value.c_str(), static_cast<DWORD>(value.size() + 1));
}
void SetWord(const char* key, const char* name, int32_t value) {
  SetValue(key, name, REG_DWORD, &value, 4);
}

// The four settings as stored, or an empty list without the key.
std::vector<int32_t> StoredSettings() {
  HKEY handle;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &handle) != ERROR_SUCCESS)
    return {};
  std::vector<int32_t> values;
  for (const char* name : {"type", "frq", "ch", "merge"}) {
    int32_t value = 0x7777;
    DWORD size = 4;
    RegQueryValueExA(handle, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size);
    values.push_back(value);
  }
  RegCloseKey(handle);
  return values;
}

struct Row {
  std::vector<std::string> cells;  // ANSI texts of the five columns
  LPARAM entry;
};

std::vector<Row> Rows(HWND dialog) {
  HWND list = GetDlgItem(dialog, IDC_LIST);
  std::vector<Row> rows;
  const int count = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    Row row;
    for (int column = 0; column < 5; ++column) {
      char text[256] = {};
      LVITEMA item = {};
      item.iSubItem = column;
      item.pszText = text;
      item.cchTextMax = sizeof text;
      SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
      row.cells.push_back(text);
    }
    LVITEMA item = {};
    item.mask = LVIF_PARAM;
    item.iItem = i;
    SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
    row.entry = item.lParam;
    rows.push_back(row);
  }
  return rows;
}

void Select(HWND dialog, std::initializer_list<int> rows) {
  for (int row : rows) {
    LVITEMA item = {};
    item.stateMask = LVIS_SELECTED;
    item.state = LVIS_SELECTED;
    SendDlgItemMessageA(dialog, IDC_LIST, LVM_SETITEMSTATE, static_cast<WPARAM>(row),
                        reinterpret_cast<LPARAM>(&item));
  }
}

void Press(HWND dialog, int id) {
  SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

bool Enabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE; }

// Every text the window's title was given, in order.
std::vector<std::string> g_titles;
WNDPROC g_dialog_proc = nullptr;

LRESULT CALLBACK RecordTitles(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_SETTEXT) g_titles.emplace_back(reinterpret_cast<const char*>(lparam));
  return CallWindowProcA(g_dialog_proc, window, message, wparam, lparam);
}

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegDeleteKeyA(HKEY_CURRENT_USER, kGameKey);
    RegDeleteKeyA(HKEY_CURRENT_USER, kSettingsKey);
    g_titles.clear();
  }

  void TearDown() override {
    if (dialog_ && IsWindow(dialog_)) DestroyWindow(dialog_);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
    RegDeleteKeyA(HKEY_CURRENT_USER, kGameKey);
    RegDeleteKeyA(HKEY_CURRENT_USER, kSettingsKey);
  }

  // An archive of `clips` short clips with one text entry at `text_at`.
  std::string MakeArchive(int clips, int text_at = -1) {
    ArchiveWriter writer;
    std::string error;
    const std::string clip = test::VorbisClip(22050, 1, 0.2);
    for (int i = 0; i < clips; ++i) {
      if (i == text_at) writer.AddBytes("text", "not a clip", &error);
      writer.AddBytes("v_" + std::to_string(1000 + i).substr(1), clip, &error);
    }
    const std::string path = dir_.File("voice.arc");
    EXPECT_TRUE(writer.Write(path, &error)) << error;
    return path;
  }

  // The window, opened on the archive in the folder the game records, listed.
  HWND CreateListed() {
    SetString(kGameKey, "InstallDir", dir_.path().string());
    HWND dialog = Create();
    EXPECT_TRUE(dialog && WaitIdle(dialog));
    return dialog;
  }

  HWND Create() {
    dialog_ = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_MAIN_DIALOG),
                                 nullptr, MainDialogProc, 0);
    return dialog_;
  }

  // Answers the save dialog by typing `path` into its name box and
  // pressing OK.
  static std::unique_ptr<test::DialogAutomation> AnswerSave(const std::string& path) {
    return std::make_unique<test::DialogAutomation>(Ansi("名前を付けて保存"), [path](HWND picker) {
      // The file name box: cmb13 in the Explorer-style dialog, edt1 in the old one.
      HWND name = GetDlgItem(picker, 0x47C);
      if (!name) name = GetDlgItem(picker, 0x480);
      SendMessageA(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
      SendMessageA(picker, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    });
  }

  // Until the running job has ended: its last act clears the run flag.
  bool WaitIdle(HWND dialog) {
    auto* state = reinterpret_cast<MainWindow*>(GetWindowLongPtrA(dialog, GWLP_USERDATA));
    return PumpUntil([&] { return state->jobs.running == 0 && WorkerEnded(state->jobs); });
  }

  test::TempDir dir_;
  HWND dialog_ = nullptr;
};

TEST(LayoutTest, ColumnsShareTheWidthLessTheScrollBar) {
  EXPECT_EQ(ListColumnWidths(500, 16), (std::array<int32_t, 5>{181, 75, 75, 75, 75}));
  EXPECT_EQ(ListColumnWidths(16, 16), (std::array<int32_t, 5>{0, 0, 0, 0, 0}));
  EXPECT_EQ(CenteredOrigin({0, 0, 1024, 768}, {10, 10, 311, 211}).x, 361);
  EXPECT_EQ(CenteredOrigin({0, 0, 1024, 768}, {10, 10, 311, 211}).y, 283);
  EXPECT_EQ(CenteredOrigin({100, 100, 200, 200}, {0, 0, 301, 301}).x,
            0);  // -100.5 truncated toward zero
}

TEST_F(MainWindowTest, ListsTheArchiveTheGameRecords) {
  MakeArchive(3, 2);
  SetString(kGameKey, "InstallDir", dir_.path().string());
  MessageBoxAnswerer answerer;
  HWND dialog = Create();
  ASSERT_TRUE(dialog);
  ASSERT_TRUE(WaitIdle(dialog));
  EXPECT_TRUE(answerer.boxes().empty());
  EXPECT_EQ(WindowText(GetDlgItem(dialog, IDC_PATH)), dir_.path().string() + "\\voice.arc");

  const std::vector<Row> rows = Rows(dialog);
  ASSERT_EQ(rows.size(), 3u);
  // The text entry (number 2) gets no row; rows keep their entry numbers.
  EXPECT_EQ(rows[0].entry, 0);
  EXPECT_EQ(rows[1].entry, 1);
  EXPECT_EQ(rows[2].entry, 3);
  EXPECT_EQ(rows[2].cells[0], "v_002");
  EXPECT_EQ(rows[0].cells[2], "0.20");
  EXPECT_EQ(rows[0].cells[3], "1");
  EXPECT_EQ(rows[0].cells[4], "22050");

  for (int id : {IDC_BROWSE, IDC_LIST, IDC_PLAY, IDC_SETTINGS, IDC_OUTPUT})
    EXPECT_TRUE(Enabled(dialog, id)) << id;
  EXPECT_EQ(WindowText(GetDlgItem(dialog, IDC_PLAY)), Ansi("再生"));
  EXPECT_EQ(WindowText(GetDlgItem(dialog, IDC_OUTPUT)), Ansi("出力"));

  // The columns fill the list but for the scroll bar's room.
  HWND list = GetDlgItem(dialog, IDC_LIST);
  RECT client;
  GetClientRect(list, &client);
  const auto widths = ListColumnWidths(client.right, GetSystemMetrics(SM_CXVSCROLL));
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(SendMessageA(list, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(i), 0),
              widths[static_cast<size_t>(i)]);
  }
}

TEST_F(MainWindowTest, TitleCountsTheListingAndSkipsWhatDoesNotOpen) {
  const std::string path = MakeArchive(3, 2);
  HWND dialog = Create();
  ASSERT_TRUE(dialog);
  g_dialog_proc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(dialog, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RecordTitles)));
  OpenArchive(reinterpret_cast<MainWindow*>(GetWindowLongPtrA(dialog, GWLP_USERDATA)),
              path.c_str());
  ASSERT_TRUE(WaitIdle(dialog));
  EXPECT_EQ(g_titles, (std::vector<std::string>{
                          Ansi("こわき : リスト更新中 0/4"), Ansi("こわき : リスト更新中 1/4"),
                          Ansi("こわき : リスト更新中 2/4"), Ansi("こわき : リスト更新中 4/4"),
                          Ansi("こわき")}));
}

TEST_F(MainWindowTest, NoRecordedFolderOpensAnEmptyWindowSilently) {
  MessageBoxAnswerer answerer;
  HWND dialog = Create();
  ASSERT_TRUE(dialog);
  PumpUntil([] { return false; }, 300);
  EXPECT_TRUE(answerer.boxes().empty());
  EXPECT_EQ(WindowText(GetDlgItem(dialog, IDC_PATH)), "");
  EXPECT_EQ(SendDlgItemMessageA(dialog, IDC_LIST, LVM_GETITEMCOUNT, 0, 0), 0);
  EXPECT_TRUE(Enabled(dialog, IDC_BROWSE));
}

TEST_F(MainWindowTest, RecordedFolderWithoutAnArchiveIsReportedBeforeTheWindowShows) {
  SetString(kGameKey, "InstallDir", dir_.File("nowhere"));
  MessageBoxAnswerer answerer;
  HWND dialog = Create();  // the report comes from inside the creation
  ASSERT_TRUE(answerer.WaitFor(1));
  ASSERT_TRUE(dialog);
  EXPECT_FALSE(IsWindowVisible(dialog));
  const auto box = answerer.boxes()[0];
  EXPECT_EQ(box.caption, "ERROR");
  EXPECT_EQ(box.text, dir_.File("nowhere") + "\\voice.arc" +
                          Ansi(" を開くことができません\n\nファイルが存在するか、正しいファイルであ"
                               "るか確認してください"));
  EXPECT_EQ(box.owner, dialog);
  EXPECT_EQ(WindowText(GetDlgItem(dialog, IDC_PATH)), "");
}

TEST_F(MainWindowTest, RecordedFolderEndingInABackslashGetsAnother) {
  MakeArchive(1);
  SetString(kGameKey, "InstallDir", dir_.path().string() + "\\");
  HWND dialog = Create();
  ASSERT_TRUE(dialog);
  ASSERT_TRUE(WaitIdle(dialog));
  EXPECT_EQ(WindowText(GetDlgItem(dialog, IDC_PATH)), dir_.path().string() + "\\\\voice.arc");
  EXPECT_EQ(Rows(dialog).size(), 1u);
}

TEST_F(MainWindowTest, PlayAndOutputWarnWhenNothingIsSelected) {
  MakeArchive(2);
  HWND dialog = CreateListed();
  MessageBoxAnswerer answerer;
  Press(dialog, IDC_PLAY);
  Press(dialog, IDC_OUTPUT);
  ASSERT_TRUE(answerer.WaitFor(2));
  const auto boxes = answerer.boxes();
  EXPECT_EQ(boxes[0].text, Ansi("再生対象が選択されていません"));
  EXPECT_EQ(boxes[1].text, Ansi("出力対象が選択されていません"));
  for (const auto& box : boxes) {
    EXPECT_EQ(box.caption, Ansi("警告"));
    EXPECT_EQ(box.owner, dialog);
  }
  EXPECT_EQ(WindowText(GetDlgItem(dialog, IDC_OUTPUT)), Ansi("出力"));
}

TEST_F(MainWindowTest, EnterAndEscapeDoNothing) {
  MessageBoxAnswerer answerer;
  HWND dialog = Create();
  Press(dialog, IDOK);
  Press(dialog, IDCANCEL);
  PumpUntil([] { return false; }, 200);
  EXPECT_TRUE(IsWindow(dialog));
  EXPECT_TRUE(answerer.boxes().empty());
}

TEST_F(MainWindowTest, ExportsTheSelectedRowsIntoOneFile) {
  MakeArchive(3);
  SetWord(kSettingsKey, "type", 1);
  SetWord(kSettingsKey, "merge", 1);
  HWND dialog = CreateListed();
  Select(dialog, {0, 2});
  const std::string out = dir_.File("merged.wav");
  const auto save = AnswerSave(out);
  Press(dialog, IDC_OUTPUT);
  EXPECT_EQ(WindowText(GetDlgItem(dialog, IDC_OUTPUT)), Ansi("中断"));
  EXPECT_FALSE(Enabled(dialog, IDC_BROWSE));
  EXPECT_FALSE(Enabled(dialog, IDC_LIST));
  EXPECT_FALSE(Enabled(dialog, IDC_PLAY));
  ASSERT_TRUE(WaitIdle(dialog));
  EXPECT_TRUE(PumpUntil([&] { return save->done(); }, 5000));
  const std::string wav = test::ReadBytes(out);
  ASSERT_GE(wav.size(), 44u);
  EXPECT_EQ(wav.substr(0, 4), "RIFF");
  // Two entries of 0.2 s at 22050 Hz, mono, 16-bit.
  EXPECT_EQ(wav.size(), 44u + 2 * 4410 * 2);
  EXPECT_EQ(WindowText(GetDlgItem(dialog, IDC_OUTPUT)), Ansi("出力"));
  EXPECT_TRUE(Enabled(dialog, IDC_LIST));
}

// Names and paths reach the title and message boxes byte for byte, a
// "\x" in them (a folder D:\x64) and a byte that starts no character alike.
TEST_F(MainWindowTest, NamesAndPathsReachTitleAndMessagesUnchanged) {
  ArchiveWriter writer;
  std::string error;
  const std::string name = "\\x41\xff";
  ASSERT_TRUE(writer.AddBytes(name, test::VorbisClip(8000, 1, 0.1), &error));
  ASSERT_TRUE(writer.Write(dir_.File("voice.arc"), &error));
  SetWord(kSettingsKey, "type", 1);
  SetWord(kSettingsKey, "merge", 1);
  HWND dialog = CreateListed();
  g_dialog_proc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(dialog, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RecordTitles)));
  Select(dialog, {0});
  const std::string folder = dir_.path().string() + "\\x64";
  CreateDirectoryA(folder.c_str(), nullptr);
  {
    const auto save = AnswerSave(folder + "\\merged.wav");
    Press(dialog, IDC_OUTPUT);
    ASSERT_TRUE(WaitIdle(dialog));
    EXPECT_TRUE(PumpUntil([&] { return save->done(); }, 5000));
  }
  EXPECT_EQ(g_titles.at(0), Ansi("こわき : ") + name + Ansi(" 出力中 1/1"));
  EXPECT_GT(test::ReadBytes(folder + "\\merged.wav").size(), 44u);

  const std::string missing = folder + "\\x7e\\merged.wav";  // in no folder
  MessageBoxAnswerer answerer;
  const auto save = AnswerSave(missing);
  Press(dialog, IDC_OUTPUT);
  ASSERT_TRUE(answerer.WaitFor(1));
  ASSERT_TRUE(WaitIdle(dialog));
  EXPECT_EQ(answerer.boxes()[0].text, Ansi("出力ファイルを開けませんでした\n\n  '") + missing +
                                          Ansi("'\n\n出力先を確認してください"));
}

TEST_F(MainWindowTest, PlayWithoutASoundDeviceReportsEveryEntryAsFailed) {
  if (WaveOutPlayer::create(MakePcmFormat(22050, 1, 16), 2048))
    GTEST_SKIP() << "a sound device is present";
  MakeArchive(3);
  HWND dialog = CreateListed();
  Select(dialog, {0, 2});
  MessageBoxAnswerer answerer;
  Press(dialog, IDC_PLAY);
  EXPECT_EQ(WindowText(GetDlgItem(dialog, IDC_PLAY)), Ansi("中断"));
  EXPECT_TRUE(Enabled(dialog, IDC_PLAY));
  for (int id : {IDC_BROWSE, IDC_LIST, IDC_OUTPUT}) EXPECT_FALSE(Enabled(dialog, id)) << id;
  ASSERT_TRUE(WaitIdle(dialog));
  ASSERT_TRUE(answerer.WaitFor(1));
  const auto boxes = answerer.boxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, Ansi("2 中 2 の再生に失敗しました"));
  EXPECT_EQ(boxes[0].caption, Ansi("警告"));
  EXPECT_EQ(boxes[0].owner, dialog);
  EXPECT_EQ(WindowText(GetDlgItem(dialog, IDC_PLAY)), Ansi("再生"));
  EXPECT_EQ(WindowText(dialog), Ansi("こわき"));
  for (int id : {IDC_BROWSE, IDC_LIST, IDC_PLAY, IDC_OUTPUT})
    EXPECT_TRUE(Enabled(dialog, id)) << id;
}

TEST_F(MainWindowTest, ClosingDuringAListingStopsIt) {
  ArchiveWriter writer;
  std::string error;
  const std::string clip = test::VorbisClip(8000, 1, 0.1);
  for (int i = 0; i < 2000; ++i) writer.AddBytes("c" + std::to_string(i), clip, &error);
  ASSERT_TRUE(writer.Write(dir_.File("voice.arc"), &error));
  SetString(kGameKey, "InstallDir", dir_.path().string());
  HWND dialog = Create();
  ASSERT_TRUE(dialog);
  PumpUntil([&] { return SendDlgItemMessageA(dialog, IDC_LIST, LVM_GETITEMCOUNT, 0, 0) > 0; });
  SendMessageA(dialog, WM_CLOSE, 0, 0);  // returns once the job has stopped
  EXPECT_FALSE(IsWindow(dialog));
  MSG msg;
  bool quit = false;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) quit = quit || msg.message == WM_QUIT;
  EXPECT_TRUE(quit);
  dialog_ = nullptr;
}

class SettingsDialogTest : public MainWindowTest {
 protected:
  struct Shown {
    bool ogg = false, wav = false, merge = false;
    bool rate_enabled = false;
    LRESULT rate = -1, channels = -1;
  };

  // Opens the dialog from the Settings button; `answer` reads it and ends it.
  Shown Open(std::function<void(HWND)> answer) {
    HWND main = Create();
    Shown shown;
    test::DialogAutomation automation(Ansi("出力設定"), [&](HWND dialog) {
      shown.ogg = IsDlgButtonChecked(dialog, IDC_TYPE_OGG) == BST_CHECKED;
      shown.wav = IsDlgButtonChecked(dialog, IDC_TYPE_WAV) == BST_CHECKED;
      shown.merge = IsDlgButtonChecked(dialog, IDC_MERGE) == BST_CHECKED;
      shown.rate_enabled = IsWindowEnabled(GetDlgItem(dialog, IDC_RATE)) != FALSE;
      shown.rate = SendDlgItemMessageA(dialog, IDC_RATE, CB_GETCURSEL, 0, 0);
      shown.channels = SendDlgItemMessageA(dialog, IDC_CHANNELS, CB_GETCURSEL, 0, 0);
      answer(dialog);
    });
    Press(main, IDC_SETTINGS);  // returns when the dialog has ended
    // The answering thread may still be on its way out of the last message.
    EXPECT_TRUE(PumpUntil([&] { return automation.done(); }, 5000));
    return shown;
  }
};

TEST_F(SettingsDialogTest, FirstRunShowsTheDefaults) {
  Shown shown = Open([](HWND dialog) { Press(dialog, IDCANCEL); });
  EXPECT_TRUE(shown.ogg);
  EXPECT_FALSE(shown.wav);
  EXPECT_FALSE(shown.merge);
  EXPECT_FALSE(shown.rate_enabled);
  EXPECT_EQ(shown.rate, 0);
  EXPECT_EQ(shown.channels, 0);
  EXPECT_TRUE(StoredSettings().empty());
}

TEST_F(SettingsDialogTest, UnlistedRateShowsAsTheNextLowerAndIsStoredSo) {
  SetWord(kSettingsKey, "type", 1);
  SetWord(kSettingsKey, "frq", 30000);
  SetWord(kSettingsKey, "ch", 0);
  Shown shown = Open([](HWND dialog) { Press(dialog, IDOK); });
  EXPECT_TRUE(shown.wav);
  EXPECT_TRUE(shown.rate_enabled);
  EXPECT_EQ(shown.rate, 4);  // 24000
  EXPECT_EQ(shown.channels, 0);
  EXPECT_EQ(StoredSettings(), (std::vector<int32_t>{1, 24000, -1, 0}));
}

TEST_F(SettingsDialogTest, OutOfRangeValuesReadAsSameAsSource) {
  SetWord(kSettingsKey, "type", 1);
  SetWord(kSettingsKey, "frq", 96000);
  SetWord(kSettingsKey, "ch", 6);
  SetWord(kSettingsKey, "merge", 1);
  Shown shown = Open([](HWND dialog) {
    Press(dialog, IDC_TYPE_OGG);  // the merge box keeps its mark
    Press(dialog, IDOK);
  });
  EXPECT_EQ(shown.rate, 0);
  EXPECT_EQ(shown.channels, 0);
  EXPECT_TRUE(shown.merge);
  EXPECT_EQ(StoredSettings(), (std::vector<int32_t>{0, -1, -1, 1}));
}

TEST_F(SettingsDialogTest, CancelLeavesTheStoreAlone) {
  SetWord(kSettingsKey, "type", 0);
  SetWord(kSettingsKey, "frq", 44100);
  Shown shown = Open([](HWND dialog) {
    Press(dialog, IDC_TYPE_WAV);
    SendDlgItemMessageA(dialog, IDC_RATE, CB_SETCURSEL, 8, 0);
    SendDlgItemMessageA(dialog, IDC_CHANNELS, CB_SETCURSEL, 2, 0);
    CheckDlgButton(dialog, IDC_MERGE, BST_CHECKED);
    Press(dialog, IDCANCEL);
  });
  EXPECT_EQ(shown.rate, 2);
  EXPECT_EQ(StoredSettings(), (std::vector<int32_t>{0, 44100, 0x7777, 0x7777}));
}

}  // namespace
}  // namespace kowaki
