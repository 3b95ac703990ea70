#include "launch/command_line.h"

namespace duomira {

namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

}  // namespace

std::vector<std::wstring> SplitArguments(std::wstring_view text) {
    std::vector<std::wstring> args;
    size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) ++i;
    while (i < text.size()) {
        std::wstring arg;
        int quotes = 0;  // 1 while inside quotes
        size_t slashes = 0;
        while (i < text.size() && (quotes != 0 || !IsBlank(text[i]))) {
            const wchar_t c = text[i++];
            if (c == L'\\') {
                arg += c;
                ++slashes;
                continue;
            }
            if (c != L'"') {
                arg += c;
                slashes = 0;
                continue;
            }
            // Backslashes before a quote: half of them stay; an odd one escapes it.
            arg.resize(arg.size() - slashes / 2);
            if (slashes % 2) {
                arg.back() = L'"';
            } else {
                ++quotes;
            }
            slashes = 0;
            for (; i < text.size() && text[i] == L'"'; ++i) {
                if (++quotes == 3) {
                    arg += L'"';
                    quotes = 0;
                }
            }
            if (quotes == 2) quotes = 0;
        }
        args.push_back(std::move(arg));
        while (i < text.size() && IsBlank(text[i])) ++i;
    }
    return args;
}

bool IsAbsolutePath(std::wstring_view path) {
    if (path.size() >= 3 && path[1] == L':' && path[2] == L'\\') {
        const wchar_t drive = path[0] | 0x20;
        return drive >= L'a' && drive <= L'z';
    }
    if (path.size() < 5 || path[0] != L'\\' || path[1] != L'\\') return false;
    const size_t serverEnd = path.find(L'\\', 2);
    return serverEnd != std::wstring_view::npos && serverEnd > 2 && serverEnd + 1 < path.size() &&
           path[serverEnd + 1] != L'\\';
}

std::vector<std::wstring> SeveralPaths(std::wstring_view argumentText) {
    std::vector<std::wstring> paths = SplitArguments(argumentText);
    if (paths.size() < 2) return {};
    for (const auto& path : paths) {
        if (!IsAbsolutePath(path)) return {};
    }
    return paths;
}

}  // namespace duomira
