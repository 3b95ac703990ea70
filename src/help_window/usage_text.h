// The help window's usage text: how to compare two items, how to change the
// main window's display style and how to set up the comparison tools.
#pragma once

#include <string>

namespace duomira {

// The whole text shown in the help window: 20 lines of 456 characters in all,
// CR LF after every line (the last one included); lines 11 and 16 are empty.
std::wstring BuildUsageText();

}  // namespace duomira
