// Command lines of the three comparison tools.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace duomira {

// Tool index, the same everywhere: option button, dialog row, SelectExe value.
enum ToolIndex : std::int16_t { kWinDiff = 0, kWinMerge = 1, kFcCommand = 2 };

inline constexpr std::wstring_view kReportFileName = L"diff_tmp.txt";
inline constexpr std::wstring_view kScriptFileName = L"diff_tmp.bat";

// Show-window values of the process start.
inline constexpr int kShowNormal = 1;             // SW_SHOWNORMAL
inline constexpr int kShowMinimizedNoActive = 7;  // SW_SHOWMINNOACTIVE: minimised, focus stays

// What follows the program's own name in a process command line: the name ends
// at its closing quote when it starts with one, else at the first blank; the
// blanks after it are skipped. The rest is returned whole.
std::wstring_view ArgumentText(std::wstring_view commandLine);

// A picked path as the tools receive it: one pair of quotes that wraps the whole
// text is dropped (the shell passes "%1" that way). nullopt when what is left
// can't be a Windows path at all (a quote or a control character in it), since
// it could not be passed on as one argument.
std::optional<std::wstring> PickedPath(std::wstring_view argumentText);

// Where the quoted paths end up: a process command line, or a line of a
// command script, where the interpreter expands % and so each % is doubled.
enum class QuoteTarget { ProcessCommandLine, CommandScript };

// "first" "second", each path quoted so that the tool's own argument
// splitting gives back exactly the path (trailing backslashes doubled).
std::wstring QuotedPathPair(std::wstring_view first, std::wstring_view second, QuoteTarget target);

// The whole command line for a tool index (0, 1 or 2). For the FC command the
// line is the one that the result script runs, with its report redirected.
// nullopt when either path is unusable (see PickedPath).
std::optional<std::wstring> BuildCompareCommand(std::int16_t toolIndex, bool subdirectories,
                                                const std::array<std::wstring, 3>& toolPaths,
                                                std::wstring_view firstArgument,
                                                std::wstring_view secondArgument);

}  // namespace duomira
