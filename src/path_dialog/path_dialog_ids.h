// The tool path dialog's class name and control identifiers. The test driver
// finds the dialog and its controls by these, so they are fixed here once.
#pragma once

namespace duomira::ids {

inline constexpr wchar_t kPathDialogClass[] = L"DuomiraPathDialog";  // frmPath

inline constexpr int kPathText1 = 200;  // Text1(i) is kPathText1 + i: tool paths
inline constexpr int kPathText2 = 210;  // Text2(i) is kPathText2 + i: display names
inline constexpr int kPathCommand1 = 221;  // "参照..." for tool 0
inline constexpr int kPathCommand2 = 222;  // "参照..." for tool 1
inline constexpr int kPathCommand3 = 223;  // "ＯＫ"
inline constexpr int kPathCommand4 = 224;  // "キャンセル"
inline constexpr int kPathFrame1 = 231;
inline constexpr int kPathFrame2 = 232;
inline constexpr int kPathLabel1 = 241;  // LabelN is kPathLabel1 + N - 1, N = 1 … 10

}  // namespace duomira::ids
