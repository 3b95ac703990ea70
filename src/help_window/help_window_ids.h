// The help window's class name and control identifier. The test driver finds
// the window and its text box by these, so they are fixed here once.
#pragma once

namespace duomira::ids {

inline constexpr wchar_t kHelpWindowClass[] = L"DuomiraHelpWindow";  // frmHelp

inline constexpr int kHelpText1 = 300;

}  // namespace duomira::ids
