// Command lines of the three comparison tools.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace duomira {

// Tool index, the same everywhere: option button, dialog row, SelectExe value.
enum ToolIndex : std::int16_t { kWinDiff = 0, kWinMerge = 1, kFcCommand = 2 };

inline constexpr std::wstring_view kReportFileName = L"diff_tmp.txt";
inline constexpr std::wstring_view kScriptFileName = L"diff_tmp.bat";
// The result script is started by a name with a folder part, so that it is
// found in the working directory although that is left out of the program search.
inline constexpr std::wstring_view kScriptStartName = L".\\diff_tmp.bat";

// Show-window values of the process start.
inline constexpr int kShowNormal = 1;             // SW_SHOWNORMAL
inline constexpr int kShowMinimizedNoActive = 7;  // SW_SHOWMINNOACTIVE: minimised, focus stays

// What follows the program's own name in a process command line: the name ends
// at its closing quote when it starts with one, else at the first blank; the
// blanks after it are skipped. The rest is returned whole.
std::wstring_view ArgumentText(std::wstring_view commandLine);

// Whether two names are the same but for the case of A–Z, as the file system
// compares program and file names.
bool SameNoCase(std::wstring_view a, std::wstring_view b);

// The program part of a command line as the process start reads it: up to the
// closing quote when it starts with one (the quotes dropped), else up to the
// first blank.
std::wstring_view ProgramPart(std::wstring_view commandLine);

// The program that a tool path names, as the start finds it: the quoted part
// when the path starts with a quote; else the whole path when it has blanks
// and names a file (namesFile is asked only then); else up to the first blank.
std::wstring_view ToolProgram(std::wstring_view toolPath,
                              const std::function<bool(std::wstring_view)>& namesFile);

// How a comparison program takes the pair A, B after its tool path P.
enum class LineForm {
    WinDiff,     // P "A" "B", or P -D "A" "B" when SubFlg is set (box cleared)
    WinMerge,    // P -r "A" "B" when SubFlg is empty (box ticked), else P "A" "B"
    TwoPaths,    // P "A" "B"
    VsCodeDiff,  // P --diff "A" "B"
    BaseMine,    // P /base:"A" /mine:"B"
};
struct ComparisonProgram {
    LineForm form;
    bool filesOnly;  // compares two files, never two folders
    // Whether the subfolder box changes the line.
    bool HonoursBox() const { return form == LineForm::WinDiff || form == LineForm::WinMerge; }
};

// The comparison program a tool row's program names, known by its file name
// (any case, with or without its extension). Any other program takes its
// row's form: row 0 WinDiff's, row 1 WinMerge's.
ComparisonProgram ProgramFor(std::wstring_view program, std::int16_t row);

// VS Code's command scripts (bin\code.cmd and the like) run the program in
// the folder above bin: that program's path, for a script of theirs named
// from a drive's root or a share; nullopt for any other program or path.
std::optional<std::wstring> ProgramAboveBin(std::wstring_view program);

// Whether a program is one of those scripts named bare, as found on PATH.
bool IsBareBinScript(std::wstring_view program);

// Whether a program is a command script, which runs through the command
// interpreter (trailing dots and blanks, which the system drops, left out).
bool IsCommandScript(std::wstring_view program);

// Whether the command interpreter would change a path given to a script even
// inside quotes: it expands % always, and ! with delayed expansion on.
bool InterpreterChangesPath(std::wstring_view path);

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

// The whole command line for a tool index (0, 1 or 2), in the form of the
// program its tool path names (ProgramFor). subFlgSet: SubFlg is not empty,
// the subfolder box is cleared. For the FC command the line is the one that
// the result script runs, with its report redirected. nullopt when either
// path is unusable (see PickedPath).
std::optional<std::wstring> BuildCompareCommand(std::int16_t toolIndex, bool subFlgSet,
                                                const std::array<std::wstring, 3>& toolPaths,
                                                std::wstring_view firstArgument,
                                                std::wstring_view secondArgument);

}  // namespace duomira
