// Ending the program: a message box with the program's title, the report of a
// failure that nothing handles, and the end of the process.
#pragma once

#include <string_view>

namespace duomira {

// A message box with the program's title, an OK button and no icon.
void ShowProgramMessage(std::wstring_view text);

// A failure that nothing handles: report it and end the process at once.
[[noreturn]] void FailUnhandled();

// Ends the process at once; windows go without their close handling.
[[noreturn]] void EndProgram();

}  // namespace duomira
