// The real main window and settings dialog, driven through messages the way
// a user's clicks arrive, and read back through their controls.

#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/dialog_font.h"
#include "app/layout.h"
#include "app/main_window.h"
#include "app/settings_dialog.h"
#include "archive/archive_writer.h"
#include "audio/wave_out_player.h"
#include "common/little_endian.h"
#include "res/resource.h"
#include "tests/support/files.h"
#include "tests/support/why.h"
#include "tests/win32/ui_driver.h"

namespace kowaki {
namespace {

using test::MessageBoxAnswerer;
using test::PumpUntil;
using test::WindowText;

constexpr char kGameKey[] = "Software\\Kestrel\\mizukage";
constexpr char kSettingsKey[] = "Software\\tobira\\kowaki.exe";

void SetValue(const char* key, const char* name, DWORD type, const void* data, DWORD size) {
  HKEY handle;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, test::Wide(key).c_str(), 0, nullptr, 0,
                            KEY_ALL_ACCESS, nullptr, &handle, nullptr),
            ERROR_SUCCESS);
  RegSetValueExW(handle, test::Wide(name).c_str(), 0, type, static_cast<const BYTE*>(data), size);
  RegCloseKey(handle);
}
// A text value given in UTF-8, stored as the system stores text.
void SetString(const char* key, const char* name, const std::string& value) {
  const std::wstring wide = test::Wide(value);
  SetValue(key, name, REG_SZ, wide.c_str(), static_cast<DWORD>((wide.size() + 1) * 2));
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

// Code page 932 bytes as the ANSI functions of a Japanese system show them,
// a byte that is no character included.
std::string AsJapaneseSystemShows(const std::string& bytes) {
  wchar_t wide[256] = {};
  MultiByteToWideChar(932, 0, bytes.data(), static_cast<int>(bytes.size()), wide, 255);
  return test::Utf8(wide);
}

struct Row {
  std::vector<std::string> cells;  // the five columns' texts
  LPARAM entry;
};

std::vector<Row> Rows(HWND dialog) {
  HWND list = GetDlgItem(dialog, IDC_LIST);
  std::vector<Row> rows;
  const int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    Row row;
    for (int column = 0; column < 5; ++column) {
      wchar_t text[256] = {};
      LVITEMW item = {};
      item.iSubItem = column;
      item.pszText = text;
      item.cchTextMax = 256;
      SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
      row.cells.push_back(test::Utf8(text));
    }
    LVITEMW item = {};
    item.mask = LVIF_PARAM;
    item.iItem = i;
    SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
    row.entry = item.lParam;
    rows.push_back(row);
  }
  return rows;
}

void Select(HWND dialog, std::initializer_list<int> rows) {
  for (int row : rows) {
    LVITEMW item = {};
    item.stateMask = LVIS_SELECTED;
    item.state = LVIS_SELECTED;
    SendDlgItemMessageW(dialog, IDC_LIST, LVM_SETITEMSTATE, static_cast<WPARAM>(row),
                        reinterpret_cast<LPARAM>(&item));
  }
}

void Press(HWND dialog, int id) {
  SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

bool Enabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE; }

// For LVM_SETITEMSTATE on every row.
const LVITEMW kSelected = [] {
  LVITEMW item = {};
  item.state = item.stateMask = LVIS_SELECTED;
  return item;
}();

MainWindow* StateOfWindow(HWND dialog) {
  return reinterpret_cast<MainWindow*>(GetWindowLongPtrW(dialog, GWLP_USERDATA));
}

// A notification from the list, as a click or a key there sends it.
template <typename Record>
void NotifyFromList(HWND dialog, Record record, UINT code) {
  NMHDR& header = reinterpret_cast<NMHDR&>(record);
  header.hwndFrom = GetDlgItem(dialog, IDC_LIST);
  header.idFrom = IDC_LIST;
  header.code = code;
  SendMessageW(dialog, WM_NOTIFY, IDC_LIST, reinterpret_cast<LPARAM>(&record));
}

void DoubleClickRow(HWND dialog, int row) {
  NMITEMACTIVATE click = {};
  click.iItem = row;
  NotifyFromList(dialog, click, NM_DBLCLK);
}

void ClickColumn(HWND dialog, int column) {
  NMLISTVIEW click = {};
  click.iItem = -1;
  click.iSubItem = column;
  NotifyFromList(dialog, click, LVN_COLUMNCLICK);
}

// Drops the file `path` on the window as Explorer does.
void DropFile(HWND dialog, const std::string& path) {
  const std::wstring wide = test::Wide(path);
  const size_t names = (wide.size() + 2) * sizeof(wchar_t);  // list ended by an empty name
  HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + names);
  auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
  drop->pFiles = sizeof(DROPFILES);
  drop->fWide = TRUE;
  std::memcpy(drop + 1, wide.c_str(), wide.size() * sizeof(wchar_t));
  GlobalUnlock(memory);
  SendMessageW(dialog, WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0);  // the window frees it
}

std::vector<int> SelectedRows(HWND dialog) {
  std::vector<int> rows;
  for (int row = -1; (row = static_cast<int>(SendDlgItemMessageW(
                          dialog, IDC_LIST, LVM_GETNEXTITEM, static_cast<WPARAM>(row),
                          MAKELPARAM(LVNI_SELECTED, 0)))) >= 0;) {
    rows.push_back(row);
  }
  return rows;
}

std::vector<LPARAM> EntriesShown(HWND dialog) {
  std::vector<LPARAM> entries;
  for (const Row& row : Rows(dialog)) entries.push_back(row.entry);
  return entries;
}

// The names in `folder` (UTF-8), sorted, read through the wide interface.
std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW(test::Wide(folder + "\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    const std::string name = test::Utf8(found.cFileName);
    if (name != "." && name != "..") names.push_back(name);
  } while (FindNextFileW(search, &found));
  FindClose(search);
  std::sort(names.begin(), names.end());
  return names;
}

// Every text the window's title was given, in order, with what a test
// notes of the window at that moment (the worker waits meanwhile).
std::vector<std::string> g_titles;
std::function<std::string(HWND)> g_noted;
WNDPROC g_dialog_proc = nullptr;

LRESULT CALLBACK RecordTitles(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_SETTEXT) {
    g_titles.push_back(test::Utf8(reinterpret_cast<const wchar_t*>(lparam)) +
                       (g_noted ? g_noted(window) : ""));
  }
  return CallWindowProcW(g_dialog_proc, window, message, wparam, lparam);
}

// Whether the window's player finds a device: only the sound run has one.
bool HasSoundDevice() {
  return static_cast<bool>(WaveOutPlayer::create(MakePcmFormat(22050, 1, 16), 2048));
}

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegDeleteKeyW(HKEY_CURRENT_USER, test::Wide(kGameKey).c_str());
    RegDeleteKeyW(HKEY_CURRENT_USER, test::Wide(kSettingsKey).c_str());
    g_titles.clear();
    g_noted = nullptr;
  }

  void TearDown() override {
    if (dialog_ && IsWindow(dialog_)) DestroyWindow(dialog_);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
    RegDeleteKeyW(HKEY_CURRENT_USER, test::Wide(kGameKey).c_str());
    RegDeleteKeyW(HKEY_CURRENT_USER, test::Wide(kSettingsKey).c_str());
  }

  // An archive of `clips` clips (22050 Hz mono, of `seconds` each) with
  // one text entry at `text_at`.
  std::string MakeArchive(int clips, int text_at = -1, double seconds = 0.2) {
    ArchiveWriter writer;
    const std::string clip = test::VorbisClip(22050, 1, seconds);
    for (int i = 0; i < clips; ++i) {
      if (i == text_at) {
        EXPECT_TRUE(writer.AddBytes("text", "not a clip"));
      }
      EXPECT_TRUE(writer.AddBytes("v_" + std::to_string(1000 + i).substr(1), clip));
    }
    const std::string path = dir_.File("voice.arc");
    EXPECT_EQ(test::Why(writer.Write(path)), "");
    return path;
  }

  // The window, opened on the archive in the folder the game records, listed.
  HWND CreateListed() {
    SetString(kGameKey, "InstallDir", dir_.path().string());
    HWND dialog = Create();
    EXPECT_TRUE(dialog && WaitIdle(dialog));
    return dialog;
  }

  // `archive`: the path the program was given on its command line.
  HWND Create(const std::string* archive = nullptr) {
    dialog_ = CreateDialogInFace(GetModuleHandleW(nullptr), IDD_MAIN_DIALOG, nullptr,
                                 MainDialogProc, reinterpret_cast<LPARAM>(archive));
    return dialog_;
  }

  // Answers the save dialog by typing `path` into its name box and
  // pressing OK. Its caption is the system's own, in the locale's language:
  // it is found by its name box (cmb13 in the Explorer-style dialog, edt1
  // in the old one).
  static std::unique_ptr<test::DialogAutomation> AnswerSave(const std::string& path) {
    return std::make_unique<test::DialogAutomation>(
        [](HWND dialog) { return GetDlgItem(dialog, 0x47C) || GetDlgItem(dialog, 0x480); },
        [path](HWND picker) {
          HWND name = GetDlgItem(picker, 0x47C);
          if (!name) name = GetDlgItem(picker, 0x480);
          SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(test::Wide(path).c_str()));
          SendMessageW(picker, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        });
  }

  // Answers the folder picker by choosing `folder` and pressing OK. The
  // picker is found by its folder tree, its caption being the system's.
  static std::unique_ptr<test::DialogAutomation> AnswerFolder(const std::string& folder) {
    return std::make_unique<test::DialogAutomation>(
        [](HWND dialog) { return FindWindowExW(dialog, nullptr, L"SysTreeView32", nullptr); },
        [folder](HWND picker) {
          // The picker takes a selection only once its tree is filled.
          HWND tree = FindWindowExW(picker, nullptr, L"SysTreeView32", nullptr);
          for (int i = 0; i < 200 && SendMessageW(tree, TVM_GETCOUNT, 0, 0) == 0; ++i) Sleep(10);
          const std::wstring wide = test::Wide(folder);
          for (int i = 0; i < 2; ++i) {
            Sleep(300);
            SendMessageW(picker, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(wide.c_str()));
          }
          SendMessageW(picker, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        });
  }

  // The window listing three clips, the first and the last selected.
  HWND CreateListedWithTwoSelected() {
    MakeArchive(3);
    HWND dialog = CreateListed();
    Select(dialog, {0, 2});
    return dialog;
  }

  // The window exporting every row of `clips` clips into the merge file
  // `out`, once its title shows the export under way.
  HWND StartMergeExport(int clips, const std::string& out) {
    MakeArchive(clips);
    SetWord(kSettingsKey, "type", 1);
    SetWord(kSettingsKey, "merge", 1);
    HWND dialog = CreateListed();
    SelectAll(dialog);
    const auto save = AnswerSave(out);
    Press(dialog, IDC_OUTPUT);
    EXPECT_TRUE(PumpUntil([&] { return WindowText(dialog).find("出力中") != std::string::npos; }));
    return dialog;
  }

  // The window playing every row of five clips of two seconds, once its
  // title shows the second playing; nothing without a sound device.
  HWND StartLongPlayback() {
    if (!HasSoundDevice()) return nullptr;
    MakeArchive(5, -1, 2.0);
    HWND dialog = CreateListed();
    SelectAll(dialog);
    Press(dialog, IDC_PLAY);
    EXPECT_TRUE(
        PumpUntil([&] { return WindowText(dialog).find("再生中 2/5") != std::string::npos; }));
    return dialog;
  }

  // Exports the selected rows into the new folder `out` and returns the
  // titles recorded since that named an entry being exported, in order.
  std::vector<std::string> ExportTitles(HWND dialog) {
    const std::string out = dir_.File("out");
    CreateDirectoryW(test::Wide(out).c_str(), nullptr);
    const auto picker = AnswerFolder(out);
    Press(dialog, IDC_OUTPUT);
    EXPECT_TRUE(WaitIdle(dialog));
    EXPECT_TRUE(PumpUntil([&] { return picker->done(); }, 5000));
    std::vector<std::string> working;
    for (const std::string& title : g_titles) {
      if (title.find("出力中") != std::string::npos) working.push_back(title);
    }
    return working;
  }

  static void SelectAll(HWND dialog) {
    SendDlgItemMessageW(dialog, IDC_LIST, LVM_SETITEMSTATE, static_cast<WPARAM>(-1),
                        reinterpret_cast<LPARAM>(&kSelected));
  }

  // Closes the window and expects it gone and the program told to end.
  void CloseAndExpectTheEnd(HWND dialog) {
    SendMessageW(dialog, WM_CLOSE, 0, 0);  // returns once a job has stopped
    EXPECT_FALSE(IsWindow(dialog));
    dialog_ = nullptr;
    MSG msg;
    bool quit = false;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) quit = quit || msg.message == WM_QUIT;
    EXPECT_TRUE(quit);
  }

  // Until the running job has ended: its last act clears the run flag.
  bool WaitIdle(HWND dialog, DWORD timeout_ms = 60000) {
    auto* state = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(dialog, GWLP_USERDATA));
    return PumpUntil([&] { return state->jobs.running == 0 && WorkerEnded(state->jobs); },
                     timeout_ms);
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
  EXPECT_EQ(WindowText(GetDlgItem(dialog, IDC_PLAY)), "再生");
  EXPECT_EQ(WindowText(GetDlgItem(dialog, IDC_OUTPUT)), "出力");

  // The columns fill the list but for the scroll bar's room.
  HWND list = GetDlgItem(dialog, IDC_LIST);
  RECT client;
  GetClientRect(list, &client);
  const auto widths = ListColumnWidths(client.right, GetSystemMetrics(SM_CXVSCROLL));
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(SendMessageW(list, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(i), 0),
              widths[static_cast<size_t>(i)]);
  }
}

TEST_F(MainWindowTest, TitleCountsTheListingAndSkipsWhatDoesNotOpen) {
  const std::string path = MakeArchive(3, 2);
  HWND dialog = Create();
  ASSERT_TRUE(dialog);
  g_dialog_proc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(dialog, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RecordTitles)));
  OpenArchive(reinterpret_cast<MainWindow*>(GetWindowLongPtrW(dialog, GWLP_USERDATA)), path);
  ASSERT_TRUE(WaitIdle(dialog));
  // The counter shows the rows in at most ~30 times a second, so which
  // counts show between the first and the last depends on the clock; the
  // text entry (number 2) adds no row and is never counted alone.
  ASSERT_GE(g_titles.size(), 3u);
  EXPECT_EQ(g_titles.front(), "こわき : リスト更新中 0/4");
  EXPECT_EQ(std::vector<std::string>(g_titles.end() - 2, g_titles.end()),
            (std::vector<std::string>{"こわき : リスト更新中 4/4", "こわき"}));
  const std::vector<std::string> between(g_titles.begin() + 1, g_titles.end() - 2);
  const std::vector<std::string> counted = {"こわき : リスト更新中 1/4",
                                            "こわき : リスト更新中 2/4"};
  EXPECT_TRUE(std::includes(counted.begin(), counted.end(), between.begin(), between.end()));
}

TEST_F(MainWindowTest, NoRecordedFolderOpensAnEmptyWindowSilently) {
  MessageBoxAnswerer answerer;
  HWND dialog = Create();
  ASSERT_TRUE(dialog);
  PumpUntil([] { return false; }, 300);
  EXPECT_TRUE(answerer.boxes().empty());
  EXPECT_EQ(WindowText(GetDlgItem(dialog, IDC_PATH)), "");
  EXPECT_EQ(SendDlgItemMessageW(dialog, IDC_LIST, LVM_GETITEMCOUNT, 0, 0), 0);
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
                          " を開くことができません\n\nファイルが存在するか、正しいファイルであ"
                          "るか確認してください");
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
  EXPECT_EQ(boxes[0].text, "再生対象が選択されていません");
  EXPECT_EQ(boxes[1].text, "出力対象が選択されていません");
  // The tests' Wine has no ＭＳ Ｐゴシック, and under an English locale its
  // message font no Japanese glyphs: the boxes take the dialogs' face and
  // grow to their text.
  for (const auto& box : boxes) {
    EXPECT_EQ(box.caption, "警告");
    EXPECT_EQ(box.owner, dialog);
    EXPECT_EQ(box.face, DialogFace());
    EXPECT_TRUE(box.fits);
  }
  EXPECT_EQ(WindowText(GetDlgItem(dialog, IDC_OUTPUT)), "出力");
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
  EXPECT_EQ(WindowText(GetDlgItem(dialog, IDC_OUTPUT)), "中断");
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
  EXPECT_EQ(WindowText(GetDlgItem(dialog, IDC_OUTPUT)), "出力");
  EXPECT_TRUE(Enabled(dialog, IDC_LIST));
}

// Names and paths reach the title and message boxes byte for byte, a
// "\x" in them (a folder D:\x64) and a byte that starts no character alike.
TEST_F(MainWindowTest, NamesAndPathsReachTitleAndMessagesUnchanged) {
  ArchiveWriter writer;
  const std::string name = "\\x41\xff";
  ASSERT_EQ(test::Why(writer.AddBytes(name, test::VorbisClip(8000, 1, 0.1))), "");
  ASSERT_EQ(test::Why(writer.Write(dir_.File("voice.arc"))), "");
  SetWord(kSettingsKey, "type", 1);
  SetWord(kSettingsKey, "merge", 1);
  HWND dialog = CreateListed();
  g_dialog_proc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(dialog, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RecordTitles)));
  Select(dialog, {0});
  const std::string folder = dir_.path().string() + "\\x64";
  CreateDirectoryW(test::Wide(folder).c_str(), nullptr);
  {
    const auto save = AnswerSave(folder + "\\merged.wav");
    Press(dialog, IDC_OUTPUT);
    ASSERT_TRUE(WaitIdle(dialog));
    EXPECT_TRUE(PumpUntil([&] { return save->done(); }, 5000));
  }
  EXPECT_EQ(g_titles.at(0), "こわき : " + AsJapaneseSystemShows(name) + " 出力中 1/1");
  EXPECT_GT(test::ReadBytes(folder + "\\merged.wav").size(), 44u);

  const std::string missing = folder + "\\x7e\\merged.wav";  // in no folder
  MessageBoxAnswerer answerer;
  const auto save = AnswerSave(missing);
  Press(dialog, IDC_OUTPUT);
  ASSERT_TRUE(answerer.WaitFor(1));
  ASSERT_TRUE(WaitIdle(dialog));
  EXPECT_EQ(answerer.boxes()[0].text,
            "出力ファイルを開けませんでした\n\n  '" + missing + "'\n\n出力先を確認してください");
}

TEST_F(MainWindowTest, PlayWithoutASoundDeviceReportsEveryEntryAsFailed) {
  if (HasSoundDevice()) GTEST_SKIP() << "a sound device is present";
  HWND dialog = CreateListedWithTwoSelected();
  MessageBoxAnswerer answerer;
  Press(dialog, IDC_PLAY);
  EXPECT_EQ(WindowText(GetDlgItem(dialog, IDC_PLAY)), "中断");
  EXPECT_TRUE(Enabled(dialog, IDC_PLAY));
  for (int id : {IDC_BROWSE, IDC_LIST, IDC_OUTPUT}) EXPECT_FALSE(Enabled(dialog, id)) << id;
  ASSERT_TRUE(WaitIdle(dialog));
  ASSERT_TRUE(answerer.WaitFor(1));
  const auto boxes = answerer.boxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "2 中 2 の再生に失敗しました");
  EXPECT_EQ(boxes[0].caption, "警告");
  EXPECT_EQ(boxes[0].owner, dialog);
  EXPECT_EQ(WindowText(GetDlgItem(dialog, IDC_PLAY)), "再生");
  EXPECT_EQ(WindowText(dialog), "こわき");
  for (int id : {IDC_BROWSE, IDC_LIST, IDC_PLAY, IDC_OUTPUT})
    EXPECT_TRUE(Enabled(dialog, id)) << id;
}

TEST_F(MainWindowTest, ClosingDuringAListingStopsIt) {
  ArchiveWriter writer;
  const std::string clip = test::VorbisClip(8000, 1, 0.1);
  for (int i = 0; i < 2000; ++i) EXPECT_TRUE(writer.AddBytes("c" + std::to_string(i), clip));
  ASSERT_EQ(test::Why(writer.Write(dir_.File("voice.arc"))), "");
  SetString(kGameKey, "InstallDir", dir_.path().string());
  HWND dialog = Create();
  ASSERT_TRUE(dialog);
  PumpUntil([&] { return SendDlgItemMessageW(dialog, IDC_LIST, LVM_GETITEMCOUNT, 0, 0) > 0; });
  CloseAndExpectTheEnd(dialog);
}

// Folders and names in no one code page: the window lists, shows and names
// files the same under a Japanese and an English system (the tests run under
// both). Entry names are code page 932 bytes; a Japanese system's files get
// the names it always gave them.
TEST_F(MainWindowTest, NonAsciiFoldersAndNamesUnderAnyCodePage) {
  const std::string folder = dir_.File("ボイス Café");
  const std::string out = dir_.File("出力 Ünï");
  for (const std::string& made : {folder, out}) CreateDirectoryW(test::Wide(made).c_str(), nullptr);
  ArchiveWriter writer;
  const std::string clip = test::VorbisClip(8000, 1, 0.1);
  for (const char* name : {"\x82\xb1\x82\xa6", "\xb1", "v_01"})
    EXPECT_TRUE(writer.AddBytes(name, clip));
  ASSERT_EQ(test::Why(writer.Write(folder + "\\voice.arc")), "");
  SetString(kGameKey, "InstallDir", folder);
  HWND dialog = Create();
  ASSERT_TRUE(dialog && WaitIdle(dialog));
  EXPECT_EQ(WindowText(GetDlgItem(dialog, IDC_PATH)), folder + "\\voice.arc");
  const std::vector<Row> rows = Rows(dialog);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].cells[0], "こえ");
  EXPECT_EQ(rows[1].cells[0], "ｱ");
  EXPECT_EQ(WindowText(dialog), "こわき");
  EXPECT_EQ(WindowText(GetDlgItem(dialog, IDC_OUTPUT)), "出力");

  Select(dialog, {0, 1, 2});
  {
    const auto picker = AnswerFolder(out);
    Press(dialog, IDC_OUTPUT);
    ASSERT_TRUE(WaitIdle(dialog));
    EXPECT_TRUE(PumpUntil([&] { return picker->done(); }, 5000));
  }
  EXPECT_EQ(FilesIn(out), (std::vector<std::string>{"v_01.ogg", "こえ.ogg", "ｱ.ogg"}));
  EXPECT_EQ(test::ReadBytes(out + "\\こえ.ogg"), clip);

  SetWord(kSettingsKey, "type", 1);
  SetWord(kSettingsKey, "merge", 1);
  const auto save = AnswerSave(out + "\\まとめ.wav");
  Press(dialog, IDC_OUTPUT);
  ASSERT_TRUE(WaitIdle(dialog));
  EXPECT_TRUE(PumpUntil([&] { return save->done(); }, 5000));
  EXPECT_EQ(test::ReadBytes(out + "\\まとめ.wav").size(), 44u + 3 * 800 * 2);
}

// The program's first argument opens instead of the game's archive, with
// OpenArchive's report when it cannot be loaded.
TEST_F(MainWindowTest, ArchiveGivenOnTheCommandLineOpensInsteadOfTheGames) {
  MakeArchive(1);
  SetString(kGameKey, "InstallDir", dir_.path().string());
  const std::string folder = dir_.File("別 Café");
  CreateDirectoryW(test::Wide(folder).c_str(), nullptr);
  ArchiveWriter writer;
  for (const char* name : {"a", "b"})
    EXPECT_TRUE(writer.AddBytes(name, test::VorbisClip(8000, 1, 0.1)));
  const std::string given = folder + "\\other.arc";
  ASSERT_EQ(test::Why(writer.Write(given)), "");
  HWND dialog = Create(&given);
  ASSERT_TRUE(dialog && WaitIdle(dialog));
  EXPECT_EQ(WindowText(GetDlgItem(dialog, IDC_PATH)), given);
  EXPECT_EQ(Rows(dialog).size(), 2u);
  DestroyWindow(dialog);
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {  // the quit message the window posted
  }

  const std::string missing = folder + "\\none.arc";
  MessageBoxAnswerer answerer;
  dialog = Create(&missing);
  ASSERT_TRUE(answerer.WaitFor(1));
  EXPECT_EQ(answerer.boxes()[0].caption, "ERROR");
  EXPECT_EQ(answerer.boxes()[0].text.substr(0, missing.size() + 1), missing + " ");
  EXPECT_EQ(WindowText(GetDlgItem(dialog, IDC_PATH)), "");
}

TEST_F(MainWindowTest, DroppedFileOpensAsBrowseWould) {
  MakeArchive(1);
  HWND dialog = CreateListed();
  const std::string other = dir_.File("ドロップ.arc");
  ArchiveWriter writer;
  for (const char* name : {"a", "b", "c"})
    EXPECT_TRUE(writer.AddBytes(name, test::VorbisClip(8000, 1, 0.1)));
  ASSERT_EQ(test::Why(writer.Write(other)), "");
  DropFile(dialog, other);
  ASSERT_TRUE(WaitIdle(dialog));
  EXPECT_EQ(WindowText(GetDlgItem(dialog, IDC_PATH)), other);
  EXPECT_EQ(Rows(dialog).size(), 3u);

  const std::string text_file = dir_.File("メモ.txt");
  test::WriteBytes(text_file, "not an archive");
  MessageBoxAnswerer answerer;
  DropFile(dialog, text_file);
  ASSERT_TRUE(answerer.WaitFor(1));
  EXPECT_EQ(answerer.boxes()[0].caption, "ERROR");
  EXPECT_EQ(answerer.boxes()[0].text.substr(0, text_file.size()), text_file);
  EXPECT_EQ(WindowText(GetDlgItem(dialog, IDC_PATH)), other);
}

// While a job runs, double-click, a drop and a column click do nothing.
// They come while the listing's worker waits for the window to take a
// title from it, so the job is certain to be running, however fast it is.
TEST_F(MainWindowTest, ListInputWaitsWhileAJobRuns) {
  ArchiveWriter writer;
  const std::string clip = test::VorbisClip(8000, 1, 0.1);
  for (int i = 0; i < 300; ++i) EXPECT_TRUE(writer.AddBytes("c" + std::to_string(i), clip));
  ASSERT_EQ(test::Why(writer.Write(dir_.File("voice.arc"))), "");
  const std::string other = dir_.File("other.arc");
  test::WriteBytes(other, test::ReadBytes(dir_.File("voice.arc")));
  MessageBoxAnswerer answerer;
  HWND dialog = Create();
  ASSERT_TRUE(dialog);
  g_dialog_proc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(dialog, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RecordTitles)));
  int running_then = -1;
  g_noted = [&](HWND window) {
    const bool from_worker = InSendMessage();
    if (running_then < 0 && from_worker &&
        SendDlgItemMessageW(window, IDC_LIST, LVM_GETITEMCOUNT, 0, 0) > 2) {
      running_then = StateOfWindow(window)->jobs.running;
      DoubleClickRow(window, 0);
      DropFile(window, other);
      ClickColumn(window, 0);
    }
    return std::string();
  };
  OpenArchive(StateOfWindow(dialog), dir_.File("voice.arc"));
  ASSERT_TRUE(WaitIdle(dialog));
  EXPECT_EQ(running_then, 1);
  EXPECT_TRUE(answerer.boxes().empty());
  EXPECT_EQ(WindowText(GetDlgItem(dialog, IDC_PATH)), dir_.File("voice.arc"));
  EXPECT_EQ(Rows(dialog).size(), 300u);
  EXPECT_EQ(Rows(dialog)[2].cells[0], "c2");  // not sorted by name ("c10" would be)
}

TEST_F(MainWindowTest, DoubleClickPlaysThatRowAloneAndCtrlASelectsAll) {
  if (HasSoundDevice()) GTEST_SKIP() << "a sound device is present";
  HWND dialog = CreateListedWithTwoSelected();
  MessageBoxAnswerer answerer;
  DoubleClickRow(dialog, 1);
  ASSERT_TRUE(WaitIdle(dialog));
  ASSERT_TRUE(answerer.WaitFor(1));
  // Without a sound device the one entry played fails, and says so.
  EXPECT_EQ(answerer.boxes()[0].text, "1 中 1 の再生に失敗しました");
  EXPECT_EQ(SelectedRows(dialog), (std::vector<int>{1}));
  DoubleClickRow(dialog, -1);  // below the rows: nothing
  PumpUntil([] { return false; }, 200);
  EXPECT_EQ(answerer.boxes().size(), 1u);

  BYTE keys[256] = {};
  GetKeyboardState(keys);
  NMLVKEYDOWN key = {};
  key.wVKey = 'A';
  NotifyFromList(dialog, key, LVN_KEYDOWN);  // A alone
  EXPECT_EQ(SelectedRows(dialog), (std::vector<int>{1}));
  keys[VK_CONTROL] = 0x80;
  SetKeyboardState(keys);
  NotifyFromList(dialog, key, LVN_KEYDOWN);
  keys[VK_CONTROL] = 0;
  SetKeyboardState(keys);
  EXPECT_EQ(SelectedRows(dialog), (std::vector<int>{0, 1, 2}));
}

// Numbers sort as numbers (8000 before 11025 before 22050, though not as
// texts), a second click reverses, rows keep their entries, and an export
// takes the rows in the order shown.
TEST_F(MainWindowTest, ColumnClickSortsAndJobsFollowTheOrderShown) {
  ArchiveWriter writer;
  EXPECT_TRUE(writer.AddBytes("b", test::VorbisClip(22050, 1, 0.3)));
  EXPECT_TRUE(writer.AddBytes("a", test::VorbisClip(8000, 2, 0.2)));
  EXPECT_TRUE(writer.AddBytes("text", "not a clip"));
  EXPECT_TRUE(writer.AddBytes("c", test::VorbisClip(11025, 1, 1.1)));
  ASSERT_EQ(test::Why(writer.Write(dir_.File("voice.arc"))), "");
  HWND dialog = CreateListed();
  ASSERT_EQ(EntriesShown(dialog), (std::vector<LPARAM>{0, 1, 3}));
  ClickColumn(dialog, 4);  // rate
  EXPECT_EQ(EntriesShown(dialog), (std::vector<LPARAM>{1, 3, 0}));
  EXPECT_EQ(Rows(dialog)[0].cells[0], "a");
  EXPECT_EQ(Rows(dialog)[0].cells[4], "8000");
  ClickColumn(dialog, 4);
  EXPECT_EQ(EntriesShown(dialog), (std::vector<LPARAM>{0, 3, 1}));
  ClickColumn(dialog, 0);  // name: a new column starts ascending
  EXPECT_EQ(EntriesShown(dialog), (std::vector<LPARAM>{1, 0, 3}));
  ClickColumn(dialog, 2);  // seconds
  EXPECT_EQ(EntriesShown(dialog), (std::vector<LPARAM>{1, 0, 3}));
  ClickColumn(dialog, 3);  // channels, ties in entry order
  EXPECT_EQ(EntriesShown(dialog), (std::vector<LPARAM>{0, 3, 1}));

  ClickColumn(dialog, 4);
  ClickColumn(dialog, 4);  // 22050, 11025, 8000: b, c, a
  g_dialog_proc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(dialog, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RecordTitles)));
  Select(dialog, {0, 1, 2});
  const std::vector<std::string> working = ExportTitles(dialog);
  const std::string out = dir_.File("out");
  EXPECT_EQ(working, (std::vector<std::string>{"こわき : b 出力中 1/3", "こわき : c 出力中 2/3",
                                               "こわき : a 出力中 3/3"}));
  EXPECT_EQ(FilesIn(out), (std::vector<std::string>{"a.ogg", "b.ogg", "c.ogg"}));
}

// A real game's number of entries: every row in entry order with its
// entry, a counter that does not count row by row, sorting by the numbers
// of rows that were added in batches, and an export of rows from all over
// the list in the order shown. Its own CTest entries run it (it takes minutes under Wine).
TEST_F(MainWindowTest, DISABLED_TwentyThousandEntriesListSortAndExportInTheOrderShown) {
  constexpr int kEntries = 20000;
  const std::string clips[] = {test::VorbisClip(8000, 1, 0.05), test::VorbisClip(11025, 1, 0.05)};
  const auto name_of = [](int entry) {
    char name[8];
    std::snprintf(name, sizeof name, "c%05d", entry);
    return std::string(name);
  };
  ArchiveWriter writer;
  for (int i = 0; i < kEntries; ++i) ASSERT_TRUE(writer.AddBytes(name_of(i), clips[i % 2]));
  ASSERT_EQ(test::Why(writer.Write(dir_.File("voice.arc"))), "");
  HWND dialog = Create();
  ASSERT_TRUE(dialog);
  g_dialog_proc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(dialog, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RecordTitles)));
  const DWORD start = GetTickCount();
  OpenArchive(StateOfWindow(dialog), dir_.File("voice.arc"));
  ASSERT_TRUE(WaitIdle(dialog, 600000));
  const DWORD elapsed = GetTickCount() - start;

  const std::vector<Row> rows = Rows(dialog);
  ASSERT_EQ(rows.size(), static_cast<size_t>(kEntries));
  int misplaced = 0;
  for (int i = 0; i < kEntries; ++i) {
    const Row& row = rows[static_cast<size_t>(i)];
    misplaced +=
        row.entry != i || row.cells[0] != name_of(i) || row.cells[4] != (i % 2 ? "11025" : "8000");
  }
  EXPECT_EQ(misplaced, 0);
  const auto listing = std::count_if(g_titles.begin(), g_titles.end(), [](const std::string& t) {
    return t.find("リスト更新中") != std::string::npos;
  });
  EXPECT_LE(listing, elapsed / 30 + 3) << elapsed << " ms";
  EXPECT_EQ(g_titles.end()[-2], "こわき : リスト更新中 20000/20000");
  EXPECT_EQ(g_titles.back(), "こわき");

  ClickColumn(dialog, 4);  // 8000 Hz first, ties in entry order
  std::vector<LPARAM> shown;
  for (int parity : {0, 1}) {
    for (int i = parity; i < kEntries; i += 2) shown.push_back(i);
  }
  ASSERT_EQ(EntriesShown(dialog), shown);

  // Every thousandth row and the last: an export takes them from the top.
  std::vector<int> picked;
  for (int row = 0; row < kEntries; row += 1000) picked.push_back(row);
  picked.push_back(kEntries - 1);
  for (int row : picked) Select(dialog, {row});
  g_titles.clear();
  const std::vector<std::string> working = ExportTitles(dialog);
  std::vector<std::string> expected;
  for (size_t k = 0; k < picked.size(); ++k) {
    expected.push_back(
        "こわき : " + name_of(static_cast<int>(shown[static_cast<size_t>(picked[k])])) +
        " 出力中 " + std::to_string(k + 1) + "/" + std::to_string(picked.size()));
  }
  EXPECT_EQ(working, expected);
  EXPECT_EQ(FilesIn(dir_.File("out")).size(), picked.size());
}

// Browse to a file that is no archive: the error, then Play and Output
// with the rows left from the last archive only warn.
TEST_F(MainWindowTest, BrowseToAFailingArchiveThenPlayAndOutputOnlyWarn) {
  MakeArchive(2);
  HWND dialog = CreateListed();
  const std::string bad = dir_.File("壊れた.arc");
  test::WriteBytes(bad, "not an archive");
  MessageBoxAnswerer answerer;
  {
    const auto open = AnswerSave(bad);  // the open dialog has the same name box
    Press(dialog, IDC_BROWSE);
    EXPECT_TRUE(PumpUntil([&] { return open->done(); }, 5000));
  }
  ASSERT_TRUE(answerer.WaitFor(1));
  EXPECT_EQ(answerer.boxes()[0].caption, "ERROR");
  EXPECT_EQ(answerer.boxes()[0].text.substr(0, bad.size()), bad);
  ASSERT_EQ(Rows(dialog).size(), 2u);
  Select(dialog, {0, 1});
  Press(dialog, IDC_PLAY);
  Press(dialog, IDC_OUTPUT);
  ASSERT_TRUE(answerer.WaitFor(3));
  EXPECT_EQ(answerer.boxes()[1].text, "再生対象が選択されていません");
  EXPECT_EQ(answerer.boxes()[2].text, "出力対象が選択されていません");
  for (int id : {IDC_BROWSE, IDC_LIST, IDC_PLAY, IDC_OUTPUT})
    EXPECT_TRUE(Enabled(dialog, id)) << id;
}

// 中断 stops an export at the next entry: the merge file keeps the entries
// written whole, the message counts the entries left, and the controls
// come back.
TEST_F(MainWindowTest, StopDuringAnExport) {
  const std::string out = dir_.File("まとめ.wav");
  MessageBoxAnswerer answerer;
  HWND dialog = StartMergeExport(150, out);
  Press(dialog, IDC_OUTPUT);
  ASSERT_TRUE(WaitIdle(dialog));
  ASSERT_TRUE(answerer.WaitFor(1));
  const std::string text = answerer.boxes()[0].text;
  const std::string ending = " を残して出力を中断しました";
  ASSERT_GT(text.size(), ending.size());
  EXPECT_EQ(text.substr(text.size() - ending.size()), ending);
  const int left = std::stoi(text);
  EXPECT_GT(left, 0);
  // Each entry 0.2 s at 22050 Hz, mono, 16-bit.
  EXPECT_EQ(test::ReadBytes(out).size(), 44u + (150u - static_cast<size_t>(left)) * 4410 * 2);
  EXPECT_EQ(answerer.boxes()[0].caption, "警告");
  EXPECT_EQ(WindowText(dialog), "こわき");
  EXPECT_EQ(WindowText(GetDlgItem(dialog, IDC_OUTPUT)), "出力");
  for (int id : {IDC_BROWSE, IDC_LIST, IDC_PLAY, IDC_OUTPUT})
    EXPECT_TRUE(Enabled(dialog, id)) << id;
}

// What an export's folder holds: its whole files, then the files being
// written, in brackets, by the names they will have.
std::string FolderAsSeen(const std::string& folder) {
  std::string whole, written;
  for (const std::string& name : FilesIn(folder)) {
    if (!name.starts_with(".")) {
      whole += " " + name;
    } else {  // .NAME.kowaki-PID-XXXXXX.tmp
      written += " (" + name.substr(1, name.find(".kowaki-") - 1) + ")";
    }
  }
  return whole + written;
}

// During the second of four entries the title names the second, 2/4, and
// the progress bar stands at 1. On one thread nothing of an entry is
// written before its title; on several the title names the oldest entry
// not yet finished, so the files finished are those before it.
TEST_F(MainWindowTest, TheExportTitleNamesTheEntryBeforeItsFileIsWritten) {
  MakeArchive(4);
  SetWord(kSettingsKey, "type", 1);
  HWND dialog = CreateListed();
  g_dialog_proc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(dialog, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RecordTitles)));
  auto* state = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(dialog, GWLP_USERDATA));
  for (const int threads : {1, 4}) {
    const std::string out = dir_.File("out" + std::to_string(threads));
    CreateDirectoryW(test::Wide(out).c_str(), nullptr);
    // At each title: where the bar stood under the one before, the folder.
    g_noted = [&out, threads](HWND window) {
      const std::string folder = FolderAsSeen(out);
      const auto bar = SendDlgItemMessageW(window, IDC_PROGRESS, PBM_GETPOS, 0, 0);
      return " | bar " + std::to_string(bar) + " |" +
             (threads == 1 ? folder : folder.substr(0, folder.find(" (")));
    };
    g_titles.clear();
    state->jobs.threads = threads;
    SelectAll(dialog);
    const auto picker = AnswerFolder(out);
    Press(dialog, IDC_OUTPUT);
    ASSERT_TRUE(WaitIdle(dialog));
    EXPECT_TRUE(PumpUntil([&] { return picker->done(); }, 5000));
    EXPECT_EQ(g_titles, (std::vector<std::string>{
                            "こわき : v_000 出力中 1/4 | bar 0 |",
                            "こわき : v_001 出力中 2/4 | bar 0 | v_000.wav",
                            "こわき : v_002 出力中 3/4 | bar 1 | v_000.wav v_001.wav",
                            "こわき : v_003 出力中 4/4 | bar 2 | v_000.wav v_001.wav v_002.wav",
                            "こわき | bar 3 | v_000.wav v_001.wav v_002.wav v_003.wav"}))
        << threads;
  }
}

// Closing the window during an export stops it and ends the program,
// leaving the merge file whole and no temporary beside it.
TEST_F(MainWindowTest, ClosingDuringAnExport) {
  const std::string out = dir_.File("out");
  CreateDirectoryW(test::Wide(out).c_str(), nullptr);
  MessageBoxAnswerer answerer;
  CloseAndExpectTheEnd(StartMergeExport(150, out + "\\まとめ.wav"));
  ASSERT_EQ(FilesIn(out), (std::vector<std::string>{"まとめ.wav"}));
  const std::string wav = test::ReadBytes(out + "\\まとめ.wav");
  EXPECT_EQ((wav.size() - 44) % (4410 * 2), 0u);
  EXPECT_LT(wav.size(), 44u + 150u * 4410 * 2);
}

// 中断 during the second of five entries: the sound stops, the one message
// counts the three never started, and the controls come back.
TEST_F(MainWindowTest, StopDuringAPlayback) {
  MessageBoxAnswerer answerer;
  HWND dialog = StartLongPlayback();
  if (!dialog) GTEST_SKIP() << "no sound device";
  Press(dialog, IDC_PLAY);
  ASSERT_TRUE(WaitIdle(dialog));
  ASSERT_TRUE(answerer.WaitFor(1));
  const auto boxes = answerer.boxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "3 を残して再生を中断しました");
  EXPECT_EQ(boxes[0].caption, "警告");
  EXPECT_EQ(WindowText(dialog), "こわき");
  EXPECT_EQ(WindowText(GetDlgItem(dialog, IDC_PLAY)), "再生");
  for (int id : {IDC_BROWSE, IDC_LIST, IDC_PLAY, IDC_OUTPUT})
    EXPECT_TRUE(Enabled(dialog, id)) << id;
}

// Closing the window during a playback cuts the sound off and ends the program.
TEST_F(MainWindowTest, ClosingDuringAPlayback) {
  MessageBoxAnswerer answerer;
  HWND dialog = StartLongPlayback();
  if (!dialog) GTEST_SKIP() << "no sound device";
  CloseAndExpectTheEnd(dialog);
}

// A folder on a disk of a few dozen kilobytes that the test run mounts for
// these tests (KOWAKI_SMALL_DISK, as Wine's drive Z: reaches it); empty
// where there is none.
void RemoveFolder(const std::string& folder) {
  std::error_code ignored;
  std::filesystem::remove_all(std::filesystem::path(test::Wide(folder)), ignored);
}

std::string SmallDiskFolder() {
  const char* mount = std::getenv("KOWAKI_SMALL_DISK");
  if (!mount) return {};
  std::string folder = std::string("Z:") + mount + "/exports";
  std::replace(folder.begin(), folder.end(), '/', '\\');
  ULARGE_INTEGER free_bytes;
  const std::wstring disk = test::Wide(std::string("Z:") + mount + "\\");
  if (!GetDiskFreeSpaceExW(disk.c_str(), &free_bytes, nullptr, nullptr) ||
      free_bytes.QuadPart > (1u << 20)) {
    return {};
  }
  RemoveFolder(folder);
  CreateDirectoryW(test::Wide(folder).c_str(), nullptr);
  return folder;
}

// A disk that fills up under a per-file export: the files written are
// whole, the entry that no longer fits leaves nothing, the message counts
// the failures.
TEST_F(MainWindowTest, PerFileExportOntoADiskThatFillsUp) {
  const std::string folder = SmallDiskFolder();
  if (folder.empty()) GTEST_SKIP() << "no small disk mounted";
  MakeArchive(12);
  SetWord(kSettingsKey, "type", 1);
  HWND dialog = CreateListed();
  SelectAll(dialog);
  MessageBoxAnswerer answerer;
  const auto pick = AnswerFolder(folder);
  Press(dialog, IDC_OUTPUT);
  ASSERT_TRUE(WaitIdle(dialog));
  const std::vector<std::string> files = FilesIn(folder);
  ASSERT_GT(files.size(), 0u);
  ASSERT_LT(files.size(), 12u);
  for (const std::string& name : files) {
    EXPECT_EQ(name.size(), 9u) << name;  // v_NNN.wav, no temporary
    EXPECT_EQ(test::ReadBytes(folder + "\\" + name).size(), 44u + 4410 * 2) << name;
  }
  ASSERT_TRUE(answerer.WaitFor(1));
  const std::string failed = "12 中 " + std::to_string(12 - files.size()) + " の出力に失敗しました";
  EXPECT_EQ(answerer.boxes().back().text, failed);
  RemoveFolder(folder);
}

// A merge file that fills its disk keeps the entries written whole, with a
// header that counts them; the messages name the last one and the rest.
TEST_F(MainWindowTest, MergeExportOntoADiskThatFillsUp) {
  const std::string folder = SmallDiskFolder();
  if (folder.empty()) GTEST_SKIP() << "no small disk mounted";
  MessageBoxAnswerer answerer;
  HWND dialog = StartMergeExport(12, folder + "\\まとめ.wav");
  ASSERT_TRUE(WaitIdle(dialog));
  ASSERT_EQ(FilesIn(folder), (std::vector<std::string>{"まとめ.wav"}));
  const std::string wav = test::ReadBytes(folder + "\\まとめ.wav");
  ASSERT_GT(wav.size(), 44u);
  const size_t whole = (wav.size() - 44) / (4410 * 2);
  EXPECT_EQ(wav.size(), 44 + whole * 4410 * 2);
  EXPECT_EQ(ReadLe32(reinterpret_cast<const uint8_t*>(wav.data()) + 40), whole * 4410 * 2);
  ASSERT_TRUE(answerer.WaitFor(3));
  const auto boxes = answerer.boxes();
  const std::string last = "v_" + std::to_string(whole - 1 + 1000).substr(1);
  EXPECT_EQ(boxes[0].text, "出力ファイルに書き込めなくなりました\n" + last +
                               " まで出力が終了しています\n出力先の空き容量を確認してください");
  EXPECT_EQ(boxes[1].text, std::to_string(whole + 1) + " 中 1 の出力に失敗しました");
  EXPECT_EQ(boxes[2].text, std::to_string(12 - whole - 1) + " を残して出力を中断しました");
  RemoveFolder(folder);
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
    test::DialogAutomation automation("出力設定", [&](HWND dialog) {
      shown.ogg = IsDlgButtonChecked(dialog, IDC_TYPE_OGG) == BST_CHECKED;
      shown.wav = IsDlgButtonChecked(dialog, IDC_TYPE_WAV) == BST_CHECKED;
      shown.merge = IsDlgButtonChecked(dialog, IDC_MERGE) == BST_CHECKED;
      shown.rate_enabled = IsWindowEnabled(GetDlgItem(dialog, IDC_RATE)) != FALSE;
      shown.rate = SendDlgItemMessageW(dialog, IDC_RATE, CB_GETCURSEL, 0, 0);
      shown.channels = SendDlgItemMessageW(dialog, IDC_CHANNELS, CB_GETCURSEL, 0, 0);
      answer(dialog);
    });
    Press(main, IDC_SETTINGS);  // returns when the dialog has ended
    // The answering thread may still be on its way out of the last message.
    EXPECT_TRUE(PumpUntil([&] { return automation.done(); }, 5000));
    return shown;
  }
};

// A control's font: its face, its height, and whether that face itself
// has a glyph for every character of the control's text.
struct ControlFont {
  std::wstring face;
  LONG height = 0;
  bool glyphs = false;
};

ControlFont FontOf(HWND control) {
  const auto font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
  LOGFONTW described = {};
  if (!font || !GetObjectW(font, sizeof described, &described)) return {};
  wchar_t text[64] = {};
  const int length = GetWindowTextW(control, text, 64);
  std::vector<WORD> glyphs(static_cast<size_t>(length));
  HDC dc = GetDC(control);
  const HGDIOBJ before = SelectObject(dc, font);
  GetGlyphIndicesW(dc, text, length, glyphs.data(), GGI_MARK_NONEXISTING_GLYPHS);
  SelectObject(dc, before);
  ReleaseDC(control, dc);
  return {described.lfFaceName, described.lfHeight,
          length > 0 && std::find(glyphs.begin(), glyphs.end(), 0xFFFF) == glyphs.end()};
}

// The tests' Wine has no ＭＳ Ｐゴシック: both dialogs are made in the face
// chosen instead, one installed with the Japanese glyphs, at the 9 points
// the templates ask for, so their labels show as text.
TEST_F(SettingsDialogTest, DialogsAreMadeInAFaceWithTheJapaneseGlyphs) {
  HDC screen = GetDC(nullptr);
  const LONG nine_points = -MulDiv(9, GetDeviceCaps(screen, LOGPIXELSY), 72);
  ReleaseDC(nullptr, screen);
  ControlFont settings;
  Open([&](HWND dialog) {
    settings = FontOf(GetDlgItem(dialog, IDC_MERGE));
    Press(dialog, IDCANCEL);
  });
  const ControlFont play = FontOf(GetDlgItem(dialog_, IDC_PLAY));
  EXPECT_NE(DialogFace(), L"ＭＳ Ｐゴシック");
  for (const ControlFont& font : {play, settings}) {
    EXPECT_EQ(font.face, DialogFace());
    EXPECT_EQ(font.height, nine_points);
    EXPECT_TRUE(font.glyphs);
  }
}

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
    SendDlgItemMessageW(dialog, IDC_RATE, CB_SETCURSEL, 8, 0);
    SendDlgItemMessageW(dialog, IDC_CHANNELS, CB_SETCURSEL, 2, 0);
    CheckDlgButton(dialog, IDC_MERGE, BST_CHECKED);
    Press(dialog, IDCANCEL);
  });
  EXPECT_EQ(shown.rate, 2);
  EXPECT_EQ(StoredSettings(), (std::vector<int32_t>{0, 44100, 0x7777, 0x7777}));
}

}  // namespace
}  // namespace kowaki
