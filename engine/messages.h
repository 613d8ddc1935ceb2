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

inline constexpr std::string_view kRunFinished = "★終わったよ★";
inline constexpr std::string_view kNoticeTitleOpen = "お知らせ (";
inline constexpr std::string_view kNoticeTitleClose = ")";

inline constexpr std::string_view kBrowseTitle = "フォルダを選択してください。";
inline constexpr std::string_view kBrowseFailed = "エラーだぞ。";

}  // namespace veldra::text
