// The main window's class name and control identifiers. The test driver finds
// the window and its controls by these, so they are fixed here once.
#pragma once

namespace duomira::ids {

inline constexpr wchar_t kMainWindowClass[] = L"DuomiraMainWindow";  // frmMain

inline constexpr int kImage1 = 101;
inline constexpr int kOption1 = 110;  // Option1(i) is kOption1 + i, i = 0, 1, 2
inline constexpr int kCheck1 = 120;
inline constexpr int kMainCommand1 = 130;  // "設定"
inline constexpr int kMainCommand2 = 131;  // "ﾍﾙﾌﾟ"
inline constexpr int kMainFrame1 = 140;
inline constexpr int kMainLabel1 = 150;
inline constexpr int kMainLabel2 = 151;
inline constexpr int kMainLabel3 = 152;

}  // namespace duomira::ids
