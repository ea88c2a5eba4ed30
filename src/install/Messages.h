// Every text the installer shows in a message box, each named once. The
// source is UTF-8; the compiler stores the literals as Shift-JIS bytes.
#pragma once

namespace msg {

// Caption of every failure box.
inline constexpr char ErrorCaption[] = "ｴﾗｰ";
// Caption of the success box.
inline constexpr char ConfirmCaption[] = "確認";
// The executable cannot be opened.
inline constexpr char FileOpenError[] = "ﾌｧｲﾙのｵｰﾌﾟﾝでｴﾗｰが出ました";
// The package is damaged, or reading it failed.
inline constexpr char FileReadError[] = "ﾌｧｲﾙの読み込みでｴﾗｰが出ました";
// The expand folder's volume is too small.
inline constexpr char ExpandVolumeFull[] = "解凍先ﾌｫﾙﾀﾞの存在するﾄﾞﾗｲﾌﾞに十分な空き容量がありません";
// The install folder's volume is too small.
inline constexpr char InstallVolumeFull[] = "ｲﾝｽﾄｰﾙ先ﾌｫﾙﾀﾞの存在するﾄﾞﾗｲﾌﾞに十分な空き容量がありません";
// A temporary could not be expanded.
inline constexpr char ExpansionError[] = "圧縮ﾌｧｲﾙの解凍でｴﾗｰが出ました";
// The run completed.
inline constexpr char InstallSucceeded[] = "ｲﾝｽﾄｰﾙは正常に終了しました";
// A folder field names no existing folder.
inline constexpr char FolderMissing[] = "指定されたﾌｫﾙﾀﾞは存在しません";

}  // namespace msg
