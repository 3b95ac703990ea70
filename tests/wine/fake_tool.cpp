// fake_tool.exe: stands in for a comparison tool. Each start appends one
// record to the UTF-8 log named by DUOMIRA_FAKE_LOG: its exact command line,
// its working directory and its arguments as CommandLineToArgvW splits them
// (format and parser: driver.h, ReadFakeLog). Always exits 0; without
// DUOMIRA_FAKE_LOG it only exits.
#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <string>
#include <string_view>

namespace {

std::string ToUtf8(std::wstring_view text) {
    if (text.empty()) return {};
    int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                   nullptr, nullptr);
    std::string out(size, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size,
                        nullptr, nullptr);
    return out;
}

// '%' and control characters as %XX, so that every field stays on one line.
std::string Field(std::wstring_view text) {
    std::string out;
    for (unsigned char c : ToUtf8(text)) {
        if (c < 0x20 || c == '%') {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", c);
            out += escaped;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::wstring Environment(const wchar_t* name) {
    DWORD size = GetEnvironmentVariableW(name, nullptr, 0);
    if (size == 0) return {};
    std::wstring value(size, L'\0');
    value.resize(GetEnvironmentVariableW(name, value.data(), size));
    return value;
}

// One WriteFile on a handle opened for appending, so that records of starts
// that overlap don't interleave. A log held open by another start is retried.
void Append(const std::wstring& path, const std::string& record) {
    for (int attempt = 0; attempt < 200; ++attempt) {
        HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            DWORD written = 0;
            WriteFile(file, record.data(), static_cast<DWORD>(record.size()), &written, nullptr);
            CloseHandle(file);
            return;
        }
        Sleep(10);
    }
}

}  // namespace

int wmain() {
    const std::wstring log = Environment(L"DUOMIRA_FAKE_LOG");
    if (log.empty()) return 0;

    const wchar_t* commandLine = GetCommandLineW();
    wchar_t dir[MAX_PATH * 4];
    DWORD dirLength = GetCurrentDirectoryW(static_cast<DWORD>(std::size(dir)), dir);

    std::string record = "[start]\n";
    record += "cmdline=" + Field(commandLine) + "\n";
    record += "cwd=" + Field(std::wstring_view(dir, dirLength)) + "\n";
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(commandLine, &argc);
    record += "argc=" + std::to_string(argv ? argc : 0) + "\n";
    for (int i = 0; argv && i < argc; ++i) record += "arg=" + Field(argv[i]) + "\n";
    if (argv) LocalFree(argv);
    record += "[end]\n";
    Append(log, record);
    return 0;
}
