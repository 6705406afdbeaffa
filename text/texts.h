#pragma once
// The system's own texts, in UTF-8. The Windows face converts them to code
// page 932 at its boundary; the CLI prints them as they are.

namespace kowaki::texts {

inline constexpr char kTitle[] = "こわき";
inline constexpr char kCaptionError[] = "ERROR";

// The one report for an archive that cannot be loaded; %s is its path.
inline constexpr char kCannotOpenArchive[] =
    "%s を開くことができません\n\nファイルが存在するか、正しいファイルであるか確認してください";

// Message box captions besides "ERROR".
inline constexpr char kCaptionWarning[] = "警告";
inline constexpr char kCaptionFailure[] = "エラー";

// The list's column titles, left to right.
inline constexpr const char* kColumnTitles[] = {"名前", "サイズ", "時間 [秒]", "チャネル",
                                                "周波数"};

// Buttons of the main window.
inline constexpr char kButtonPlay[] = "再生";
inline constexpr char kButtonOutput[] = "出力";
inline constexpr char kButtonStop[] = "中断";

// Pressing Output with nothing selected.
inline constexpr char kNothingToExport[] = "出力対象が選択されていません";

// While a job runs the window's title is this prefix and the job's work:
// counter and count; entry name, number and count.
inline constexpr char kTitleJobPrefix[] = "こわき : ";
inline constexpr char kWorkListing[] = "リスト更新中 %d/%d";
inline constexpr char kWorkExporting[] = "%s 出力中 %d/%d";
inline constexpr char kWorkPlaying[] = "%s 再生中 %d/%d";

// The export's pickers.
inline constexpr char kPickFolderTitle[] = "出力先フォルダ選択";
inline constexpr char kWavFilesFilter[] = "WAV ファイル (*.wav)";
inline constexpr char kAllFilesFilter[] = "すべてのファイル (*.*)";

// The export's messages: the output path; the last entry written; processed
// and failed; entries left.
inline constexpr char kCannotOpenOutput[] =
    "出力ファイルを開けませんでした\n\n  '%s'\n\n出力先を確認してください";
inline constexpr char kMergeTooLarge[] =
    "出力ファイルサイズが限界を超えそうです\n%s まで出力が終了しています\n"
    "一度に選択するファイルを減らしてください";
// A merge file that could not be written to (a full disk): it keeps the
// entries written whole, up to the one named, or none.
inline constexpr char kMergeWriteFailed[] =
    "出力ファイルに書き込めなくなりました\n%s まで出力が終了しています\n"
    "出力先の空き容量を確認してください";
inline constexpr char kMergeWriteFailedEmpty[] =
    "出力ファイルに書き込めなくなりました\n出力先の空き容量を確認してください";
inline constexpr char kExportFailed[] = "%d 中 %d の出力に失敗しました";
inline constexpr char kExportStopped[] = "%d を残して出力を中断しました";

// The playback's messages: entries taken up and failed; entries left.
inline constexpr char kPlayFailed[] = "%d 中 %d の再生に失敗しました";
inline constexpr char kPlayStopped[] = "%d を残して再生を中断しました";

// The main window's own messages: Play with nothing selected; the state
// block that cannot be allocated; a worker that cannot be started.
inline constexpr char kNothingToPlay[] = "再生対象が選択されていません";
inline constexpr char kOutOfMemory[] =
    "メモリ確保に失敗\n\nここで出るようだと OS が壊れているとしか思えない\n"
    "OS 再起動してもでるようなら……どうすればいいのだろう";
inline constexpr char kCannotStartJob[] = "処理を開始できませんでした";

// The archive picker's filters: display text and pattern.
inline constexpr char kArchiveFilter[] = "voice.arc";
inline constexpr char kAllFiles[] = "すべてのファイル";

// The output settings dialog's rate and channel lists start with this.
inline constexpr char kSameAsSource[] = "ソースと同じ";

}  // namespace kowaki::texts
