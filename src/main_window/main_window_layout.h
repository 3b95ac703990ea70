// The main window's layout.
#pragma once

#include "platform/layout.h"

namespace duomira {

inline constexpr std::wstring_view kMainWindowCaption = L"Duomira起動ツール";

// The option buttons' captions as laid out; the load replaces them with the stored names.
const WindowLayout& MainWindowLayout();

}  // namespace duomira
