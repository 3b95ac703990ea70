// How the tool start looks for a program given by bare name.
#pragma once

#include <string_view>

namespace duomira {

// Whether starting a command line whose program is this bare name (no folder
// in it) finds a program: in this program's own folder, the system folder,
// the Windows folder's System and itself, then each folder of PATH, with
// ".exe" added when the name has no extension. The working directory is left
// out, as the tool start leaves it out.
bool StartFindsBareProgram(std::wstring_view name);

}  // namespace duomira
