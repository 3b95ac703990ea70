// The tool path dialog's layout and the settings of its file-open dialog.
#pragma once

#include <string_view>

#include "platform/layout.h"

namespace duomira {

inline constexpr std::wstring_view kPathDialogCaption = L"パス選択";

// Controls in tab order: the six boxes, the four buttons, then the frames and
// their labels. Frames and labels are laid out relative to their frame.
const WindowLayout& PathDialogLayout();

// The file-open dialog behind both "参照..." buttons.
inline constexpr std::wstring_view kBrowseTitle = L"開く";
inline constexpr std::wstring_view kBrowseInitialFolder = L"C:\\";
inline constexpr std::wstring_view kBrowsePattern = L"*.exe";

}  // namespace duomira
