#include "launch/compare_command.h"

#include <algorithm>

namespace duomira {

namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

bool EndsWithNoCase(std::wstring_view text, std::wstring_view end) {
    return text.size() >= end.size() && SameNoCase(text.substr(text.size() - end.size()), end);
}

// The last part of a path, after its last backslash or slash.
std::wstring_view FileNameOf(std::wstring_view path) {
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring_view::npos ? path : path.substr(slash + 1);
}

// A known program's file name matches it whole, or without its extension.
bool NamesProgram(std::wstring_view fileName, std::wstring_view known) {
    if (SameNoCase(fileName, known)) return true;
    const size_t dot = known.rfind(L'.');
    return dot == fileName.size() && SameNoCase(fileName, known.substr(0, dot));
}

struct KnownProgram {
    std::wstring_view fileName;
    ComparisonProgram program;
};
constexpr ComparisonProgram kFolders{LineForm::TwoPaths, false};
constexpr ComparisonProgram kVsCode{LineForm::VsCodeDiff, true};
constexpr KnownProgram kKnownPrograms[] = {
    {L"WINDIFF.exe", {LineForm::WinDiff, false}},
    {L"WinMergeU.exe", {LineForm::WinMerge, false}},
    {L"WinMerge.exe", {LineForm::WinMerge, false}},
    {L"Meld.exe", kFolders},
    {L"MeldConsole.exe", kFolders},
    {L"BCompare.exe", kFolders},
    {L"BComp.exe", kFolders},
    {L"BComp.com", kFolders},
    {L"kdiff3.exe", kFolders},
    {L"Code.exe", kVsCode},
    {L"Code - Insiders.exe", kVsCode},
    {L"VSCodium.exe", kVsCode},
    {L"code.cmd", kVsCode},
    {L"code-insiders.cmd", kVsCode},
    {L"codium.cmd", kVsCode},
    {L"TortoiseGitMerge.exe", {LineForm::BaseMine, true}},
    {L"TortoiseMerge.exe", {LineForm::BaseMine, true}},
    {L"p4merge.exe", {LineForm::TwoPaths, true}},
};

// VS Code's scripts in its bin folder and the programs they run from the folder above.
constexpr std::pair<std::wstring_view, std::wstring_view> kBinScripts[] = {
    {L"code.cmd", L"Code.exe"},
    {L"code-insiders.cmd", L"Code - Insiders.exe"},
    {L"codium.cmd", L"VSCodium.exe"},
};

// One path between quotes. Backslashes right before the closing quote would
// escape it under the usual argument-splitting rules, so they are doubled.
void AppendQuoted(std::wstring& out, std::wstring_view path, QuoteTarget target) {
    out += L'"';
    for (wchar_t c : path) {
        out += c;
        if (c == L'%' && target == QuoteTarget::CommandScript) out += L'%';
    }
    size_t trailing = 0;
    while (trailing < path.size() && path[path.size() - 1 - trailing] == L'\\') ++trailing;
    out.append(trailing, L'\\');
    out += L'"';
}

}  // namespace

bool SameNoCase(std::wstring_view a, std::wstring_view b) {
    auto lower = [](wchar_t c) { return c >= L'A' && c <= L'Z' ? wchar_t(c - L'A' + L'a') : c; };
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(),
                      [&](wchar_t x, wchar_t y) { return lower(x) == lower(y); });
}

std::wstring_view ArgumentText(std::wstring_view commandLine) {
    size_t pos = 0;
    if (!commandLine.empty() && commandLine[0] == L'"') {
        size_t close = commandLine.find(L'"', 1);
        pos = close == std::wstring_view::npos ? commandLine.size() : close + 1;
    } else {
        while (pos < commandLine.size() && !IsBlank(commandLine[pos])) ++pos;
    }
    while (pos < commandLine.size() && IsBlank(commandLine[pos])) ++pos;
    return commandLine.substr(pos);
}

std::wstring_view ProgramPart(std::wstring_view commandLine) {
    std::wstring_view program =
        commandLine.substr(0, commandLine.size() - ArgumentText(commandLine).size());
    while (!program.empty() && IsBlank(program.back())) program.remove_suffix(1);
    if (program.size() >= 2 && program.front() == L'"' && program.back() == L'"') {
        program = program.substr(1, program.size() - 2);
    }
    return program;
}

std::wstring_view ToolProgram(std::wstring_view toolPath,
                              const std::function<bool(std::wstring_view)>& namesFile) {
    if (!toolPath.empty() && toolPath.front() == L'"') {
        toolPath.remove_prefix(1);
        return toolPath.substr(0, toolPath.find(L'"'));
    }
    const auto blank = std::find_if(toolPath.begin(), toolPath.end(), IsBlank);
    if (blank == toolPath.end() || namesFile(toolPath)) return toolPath;
    return toolPath.substr(0, static_cast<size_t>(blank - toolPath.begin()));
}

ComparisonProgram ProgramFor(std::wstring_view program, std::int16_t row) {
    const std::wstring_view fileName = FileNameOf(program);
    for (const KnownProgram& known : kKnownPrograms) {
        if (NamesProgram(fileName, known.fileName)) return known.program;
    }
    return {row == kWinDiff ? LineForm::WinDiff : LineForm::WinMerge, false};
}

bool IsBareBinScript(std::wstring_view program) {
    return std::any_of(std::begin(kBinScripts), std::end(kBinScripts),
                       [program](const auto& script) { return SameNoCase(program, script.first); });
}

std::optional<std::wstring> ProgramAboveBin(std::wstring_view program) {
    // Only a path from a drive's root or a share: any other (bin\..., .\bin\...,
    // C:bin\...) would name a program by way of the working folder.
    const bool fromDriveRoot = program.size() >= 3 && program[1] == L':' &&
                               (program[2] == L'\\' || program[2] == L'/');
    if (!fromDriveRoot && !program.starts_with(L"\\\\")) return std::nullopt;
    const std::wstring_view fileName = FileNameOf(program);
    std::wstring_view folder = program.substr(0, program.size() - fileName.size());
    folder.remove_suffix(1);  // its backslash
    const std::wstring_view bin = FileNameOf(folder);
    if (!SameNoCase(bin, L"bin")) return std::nullopt;
    for (const auto& [script, above] : kBinScripts) {
        if (SameNoCase(fileName, script)) {
            return std::wstring(folder.substr(0, folder.size() - bin.size())) + std::wstring(above);
        }
    }
    return std::nullopt;
}

bool IsCommandScript(std::wstring_view program) {
    // The system drops trailing dots and blanks from a name: "x.cmd. " runs x.cmd.
    while (!program.empty() && (program.back() == L'.' || IsBlank(program.back()))) {
        program.remove_suffix(1);
    }
    return EndsWithNoCase(program, L".bat") || EndsWithNoCase(program, L".cmd");
}

bool InterpreterChangesPath(std::wstring_view path) {
    return path.find_first_of(L"%!") != std::wstring_view::npos;
}

std::optional<std::wstring> PickedPath(std::wstring_view argumentText) {
    std::wstring_view path = argumentText;
    if (path.size() >= 2 && path.front() == L'"' && path.back() == L'"') {
        path = path.substr(1, path.size() - 2);
    }
    for (wchar_t c : path) {
        if (c == L'"' || static_cast<unsigned>(c) < 0x20u) return std::nullopt;
    }
    return std::wstring(path);
}

std::wstring QuotedPathPair(std::wstring_view first, std::wstring_view second,
                            QuoteTarget target) {
    std::wstring out;
    out.reserve(first.size() + second.size() + 8);
    AppendQuoted(out, first, target);
    out += L' ';
    AppendQuoted(out, second, target);
    return out;
}

std::optional<std::wstring> BuildCompareCommand(std::int16_t toolIndex, bool subFlgSet,
                                                const std::array<std::wstring, 3>& toolPaths,
                                                std::wstring_view firstArgument,
                                                std::wstring_view secondArgument) {
    auto first = PickedPath(firstArgument);
    auto second = PickedPath(secondArgument);
    if (!first || !second || toolIndex < kWinDiff || toolIndex > kFcCommand) return std::nullopt;

    if (toolIndex == kFcCommand) {
        std::wstring line = L"\"" + toolPaths[kFcCommand] + L"\" ";
        line += QuotedPathPair(*first, *second, QuoteTarget::CommandScript);
        line += L" > ";
        line += kReportFileName;
        return line;
    }
    const std::wstring& tool = toolPaths[toolIndex];
    std::wstring line = tool;
    switch (ProgramFor(ProgramPart(tool), toolIndex).form) {
    case LineForm::WinDiff:
        line += subFlgSet ? L" -D " : L" ";
        break;
    case LineForm::WinMerge:
        // -r takes WinMerge into every subfolder: exactly while the box is ticked.
        line += subFlgSet ? L" " : L" -r ";
        break;
    case LineForm::TwoPaths:
        line += L" ";
        break;
    case LineForm::VsCodeDiff:
        line += L" --diff ";
        break;
    case LineForm::BaseMine:
        line += L" /base:";
        AppendQuoted(line, *first, QuoteTarget::ProcessCommandLine);
        line += L" /mine:";
        AppendQuoted(line, *second, QuoteTarget::ProcessCommandLine);
        return line;
    }
    line += QuotedPathPair(*first, *second, QuoteTarget::ProcessCommandLine);
    return line;
}

}  // namespace duomira
