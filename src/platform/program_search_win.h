// Where a program named without a folder is looked for when it is started.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace duomira {

// Whether a program name has no folder part (no drive, no backslash or slash),
// so that it is looked for along the program search.
bool IsBareProgramName(std::wstring_view name);

// The file a bare program name starts: the first match in the platform's
// order of folders (the program's own folder, the system folder, the 16-bit
// system folder, the Windows folder, then PATH), with ".exe" added when the
// name has no extension. The working directory is left out: a program start
// must never pick up a file of that name among the items being compared,
// which is where the picks are started. nullopt when there is no such file.
std::optional<std::wstring> FindProgramOutsideWorkingDirectory(std::wstring_view name);

// A variable of this process's environment; empty when it is unset.
std::wstring EnvironmentValue(std::wstring_view name);

// Sets NoDefaultCurrentDirectoryInExePath in this process's environment: the
// programs it starts (the script's command interpreter among them) inherit it
// and leave the working directory out of their own program search too.
void LeaveWorkingDirectoryOutOfProgramSearch();

}  // namespace duomira
