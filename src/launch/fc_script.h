// The command script that runs the FC command with its report redirected to a
// file, opens the report for the user and then deletes the report and itself.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace duomira {

// The script's text: 15 lines, CR LF after each but the last ("pause").
std::wstring FcScriptText(std::wstring_view fcCommandLine);

// The script's fixed text around its FC line (line 2): FcScriptText(line) is
// before + line + after.
struct FcScriptFrame {
    std::wstring before;
    std::wstring after;
};
FcScriptFrame FcScriptAround();

// Converts text to the code page in which the command interpreter reads a
// script: the OEM code page (932 on a Japanese system, 850 or 437 on a
// Western one, 65001 with the system-wide UTF-8 option).
class AnsiEncoder {
  public:
    virtual ~AnsiEncoder() = default;
    // Exactly: nullopt when any character has no representation there (the
    // conversion would have to substitute it, or would change it).
    virtual std::optional<std::string> ToAnsi(std::wstring_view text) = 0;
    // With the system's ordinary replacement for what the code page lacks.
    virtual std::string ToAnsiReplacing(std::wstring_view text) = 0;
};

}  // namespace duomira
