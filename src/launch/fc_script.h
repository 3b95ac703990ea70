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

// Converts text to the system's ANSI code page; nullopt when any character
// has no representation there (the conversion would have to substitute it).
class AnsiEncoder {
  public:
    virtual ~AnsiEncoder() = default;
    virtual std::optional<std::string> ToAnsi(std::wstring_view text) = 0;
};

}  // namespace duomira
