// baseline_launcher.exe: the least a second start has to do. It takes its
// argument text as the second path, the first path from DUOMIRA_BENCH_FIRST,
// and starts the tool named by DUOMIRA_BENCH_TOOL on both, in the same form of
// command line and with the same show-window value as Duomira.exe.
#include <windows.h>

#include <string>

namespace {

std::wstring Environment(const wchar_t* name) {
    wchar_t value[32768];
    const DWORD length = GetEnvironmentVariableW(name, value, 32768);
    return length > 0 && length < 32768 ? std::wstring(value, length) : std::wstring();
}

// What follows the program's own name and its blanks.
const wchar_t* ArgumentText(const wchar_t* line) {
    if (*line == L'"') {
        for (++line; *line && *line != L'"'; ++line) {
        }
        if (*line) ++line;
    } else {
        while (*line && *line != L' ' && *line != L'\t') ++line;
    }
    while (*line == L' ' || *line == L'\t') ++line;
    return line;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    std::wstring line = Environment(L"DUOMIRA_BENCH_TOOL") + L" \"" + Environment(L"DUOMIRA_BENCH_FIRST") +
                        L"\" \"" + ArgumentText(GetCommandLineW()) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        return 1;
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return 0;
}
