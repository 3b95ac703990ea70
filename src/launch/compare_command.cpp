#include "launch/compare_command.h"

namespace duomira {

namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

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

std::optional<std::wstring> BuildCompareCommand(std::int16_t toolIndex, bool subdirectories,
                                                const std::array<std::wstring, 3>& toolPaths,
                                                std::wstring_view firstArgument,
                                                std::wstring_view secondArgument) {
    auto first = PickedPath(firstArgument);
    auto second = PickedPath(secondArgument);
    if (!first || !second || toolIndex < kWinDiff || toolIndex > kFcCommand) return std::nullopt;

    std::wstring line;
    switch (toolIndex) {
    case kWinDiff:
        line = toolPaths[kWinDiff] + (subdirectories ? L" -D " : L" ");
        break;
    case kWinMerge:
        line = toolPaths[kWinMerge] + (subdirectories ? L" -r " : L" ");
        break;
    default:
        line = L"\"" + toolPaths[kFcCommand] + L"\" ";
        break;
    }
    const QuoteTarget target =
        toolIndex == kFcCommand ? QuoteTarget::CommandScript : QuoteTarget::ProcessCommandLine;
    line += QuotedPathPair(*first, *second, target);
    if (toolIndex == kFcCommand) {
        line += L" > ";
        line += kReportFileName;
    }
    return line;
}

}  // namespace duomira
