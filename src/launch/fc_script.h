// The command script that runs the FC command with its report redirected to a
// file, opens the report for the user and then deletes the report and itself.
#pragma once

#include <string>
#include <string_view>

namespace duomira {

// The script's fixed text around its FC line (line 2): the whole script is
// before + line + after, 15 lines with CR LF after each but the last ("pause").
struct FcScriptFrame {
    std::wstring before;
    std::wstring after;
};
FcScriptFrame FcScriptAround();

// The PATH of the script's environment: path with the working folder added as
// its last entry, where the script finds its report, which it opens by name.
// A folder with ";" in its name is quoted, or it would split into two entries.
std::wstring ScriptSearchPath(std::wstring_view path, std::wstring_view workingFolder);

}  // namespace duomira
