// One line of debug output for a failed system call, so that a failure the
// user sees only as the program's one message can be traced to its step.
#pragma once

#include <windows.h>

#include <string_view>

namespace duomira {

// Writes "Duomira: <step> failed for <subject>: error <code>" with
// OutputDebugStringW (a debugger or a debug-output viewer shows it).
void TraceFailure(std::wstring_view step, std::wstring_view subject, DWORD error);

}  // namespace duomira
