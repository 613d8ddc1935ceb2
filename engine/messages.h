#pragma once
// Every text the program shows a user, in one place for both front ends.

#include <string_view>

namespace veldra::text {

inline constexpr std::string_view kProgramTitle = "VELDRA mp3+";
inline constexpr std::string_view kWindowCaption = "ファイル一覧HTML作成 mp3+";

inline constexpr std::string_view kInputErrorTitle = "入力エラー";
inline constexpr std::string_view kRootFolderEmpty = "ルートのフォルダ名を入力してください";
inline constexpr std::string_view kRootUrlEmpty = "ルートのURL名を入力してください";
inline constexpr std::string_view kSetNameEmpty = "環境セット名の省略はできません";
// A set name that cannot be a file name of its own (holds a separator or a control character).
inline constexpr std::string_view kSetNameInvalid =
    "環境セット名にはフォルダの区切り文字や制御文字は使えません";
// A root or output folder or URL holding a line break, which the set file cannot keep.
inline constexpr std::string_view kLineBreakInPath = "フォルダ名やURLに改行は使えません";

// A run refused because another run of the same set over the same folders is going on.
inline constexpr std::string_view kRunLocked =
    "同じ環境セットで同じフォルダを処理中のため、開始しませんでした。";
inline constexpr std::string_view kRunLockedHolder = "\n処理中のもの: ";

// FEED writes whatsnew.htm into the root folder, where the root's own page would be.
inline constexpr std::string_view kFeedPageNameTaken =
    "新着情報を出すときは出力ファイル名に whatsnew.htm は使えません";

// A CODEPAGE value no converter knows; the value follows in quotes.
inline constexpr std::string_view kCodePageUnknown = "タグの文字コード(CODEPAGE)に使えない値です: ";

// A set file that exists but cannot be read, followed by its path and the system's reason. The
// window shows the set's defaults and never saves over the file; the batch runner does not run.
inline constexpr std::string_view kSetUnreadable = "環境セットのファイルを読めませんでした: ";
inline constexpr std::string_view kSetUnreadableNotSaved =
    "このファイルには保存しません (中身が失われないように)。";

inline constexpr std::string_view kRunFinished = "★終わったよ★";
inline constexpr std::string_view kNoticeTitleOpen = "お知らせ (";
inline constexpr std::string_view kNoticeTitleClose = ")";

inline constexpr std::string_view kBrowseTitle = "フォルダを選択してください。";
inline constexpr std::string_view kBrowseFailed = "エラーだぞ。";

// The closing notice's lines after kRunFinished (counts are followed by kNoticeCountUnit).
inline constexpr std::string_view kNoticeCountUnit = "件";
inline constexpr std::string_view kNoticePagesWritten = "書き出したページ: ";
// SKIPSAME: pages whose content was the same and which were left as they were.
inline constexpr std::string_view kNoticePagesLeftAlone = "内容が変わらず書き換えなかったページ: ";
inline constexpr std::string_view kNoticeGatheredLeftAlone =
    "出力フォルダで内容が変わらず書き換えなかったページ: ";
inline constexpr std::string_view kNoticeRootNotListed =
    "ルートフォルダが見つからないか読めなかったため、ページは1つも書いていません。";
inline constexpr std::string_view kNoticeFoldersNotListed = "読めなかったフォルダ: ";
inline constexpr std::string_view kNoticePagesNotWritten =
    "ページかスナップショットを書けなかったフォルダ: ";
// Links whose owner differs from what they lead to, which lies outside the root folder.
inline constexpr std::string_view kNoticeLinksRefused =
    "たどらなかったリンク (持ち主が違い、ルートフォルダの外を指す): ";
inline constexpr std::string_view kNoticePagesGathered = "出力フォルダに集めたページ: ";
inline constexpr std::string_view kNoticePagesNotGathered =
    "集められず元のフォルダに残ったページ: ";
inline constexpr std::string_view kNoticeProblems = "そのほかの問題:";
// A stopped run: the line after kRunFinished, then what was left undone.
inline constexpr std::string_view kNoticeStopped = "中止しました。";
inline constexpr std::string_view kNoticeFoldersLeft =
    "残りのフォルダには手を付けていません(前回のページのままです)。";
inline constexpr std::string_view kNoticeStoppedAfterAll =
    "止まる前に、すべてのフォルダの処理を終えていました。";
inline constexpr std::string_view kNoticeGatheringSkipped =
    "ページを出力フォルダに集めていません(出力フォルダは前回のままです)。";
inline constexpr std::string_view kNoticeListIndent = "　";
inline constexpr std::string_view kNoticeMoreOpen = "…ほか";  // "…ほか" N "件"

// Problems a run notes in its report and goes on.
inline constexpr std::string_view kProblemHeaderNotCreated = "ヘッダファイルを作れませんでした: ";
inline constexpr std::string_view kProblemHeaderUnreadable = "ヘッダファイルを読めませんでした: ";
inline constexpr std::string_view kProblemFooterNotCreated = "フッタファイルを作れませんでした: ";
inline constexpr std::string_view kProblemFooterUnreadable = "フッタファイルを読めませんでした: ";
inline constexpr std::string_view kProblemGenresUnreadable = "ジャンルファイルを読めませんでした: ";
inline constexpr std::string_view kProblemSetNotSaved = "環境セットを保存できませんでした: ";

// Problems of the gathering pass, each followed by the path it concerns.
inline constexpr std::string_view kProblemNoPageFileName =
    "ページのファイル名が空なので集めませんでした";
inline constexpr std::string_view kProblemNoOutputFolder = "出力フォルダがありません: ";
inline constexpr std::string_view kProblemPageUnreadable = "ページを読めませんでした: ";
inline constexpr std::string_view kProblemPageChanged =
    "書いた後で差し替えられたページなので集めませんでした: ";
inline constexpr std::string_view kProblemPageNotOurs =
    "目印の行がないページなので集めませんでした: ";
inline constexpr std::string_view kProblemUnknownLink =
    "行き先のページがないリンクをそのまま残しました: ";
inline constexpr std::string_view kProblemPageNotDeleted = "集めたページの元を消せませんでした: ";
inline constexpr std::string_view kProblemOutputNotWritten = "出力フォルダに書けなかったページ: ";
// What's new and playlists: a file of our name that is not ours is left alone.
inline constexpr std::string_view kProblemNotOurFile =
    "同じ名前の別のファイルがあるので書きませんでした: ";
inline constexpr std::string_view kProblemFeedNotWritten = "新着情報を書けませんでした: ";
inline constexpr std::string_view kProblemPlaylistNotWritten = "プレイリストを書けませんでした: ";

}  // namespace veldra::text
