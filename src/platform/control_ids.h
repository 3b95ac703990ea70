// Window class names and control identifiers of the program's windows. The
// test driver finds windows and controls by these, so they are fixed here once.
#pragma once

namespace duomira::ids {

inline constexpr wchar_t kMainWindowClass[] = L"DuomiraMainWindow";  // frmMain
inline constexpr wchar_t kPathDialogClass[] = L"DuomiraPathDialog";  // frmPath
inline constexpr wchar_t kHelpWindowClass[] = L"DuomiraHelpWindow";  // frmHelp

// frmMain
inline constexpr int kImage1 = 101;
inline constexpr int kOption1 = 110;  // Option1(i) is kOption1 + i, i = 0, 1, 2
inline constexpr int kCheck1 = 120;
inline constexpr int kMainCommand1 = 130;  // "設定"
inline constexpr int kMainCommand2 = 131;  // "ﾍﾙﾌﾟ"
inline constexpr int kMainFrame1 = 140;
inline constexpr int kMainLabel1 = 150;
inline constexpr int kMainLabel2 = 151;
inline constexpr int kMainLabel3 = 152;

// frmPath
inline constexpr int kPathText1 = 200;  // Text1(i) is kPathText1 + i: tool paths
inline constexpr int kPathText2 = 210;  // Text2(i) is kPathText2 + i: display names
inline constexpr int kPathCommand1 = 221;  // "参照..." for tool 0
inline constexpr int kPathCommand2 = 222;  // "参照..." for tool 1
inline constexpr int kPathCommand3 = 223;  // "ＯＫ"
inline constexpr int kPathCommand4 = 224;  // "キャンセル"
inline constexpr int kPathFrame1 = 231;
inline constexpr int kPathFrame2 = 232;
inline constexpr int kPathLabel1 = 241;  // LabelN is kPathLabel1 + N - 1, N = 1 … 10

// frmHelp
inline constexpr int kHelpText1 = 300;

}  // namespace duomira::ids
