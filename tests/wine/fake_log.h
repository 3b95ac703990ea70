// What the stand-in programs (fake_*.exe) share: the record each start appends
// to the UTF-8 log named by DUOMIRA_FAKE_LOG (format and parser: driver.h,
// ReadFakeLog).
#pragma once

#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <string>
#include <string_view>

#include "platform/unique_handle_win.h"

namespace duomira::fake {

inline std::string Convert(UINT codePage, std::wstring_view text) {
    if (text.empty()) return {};
    int size = WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                   0, nullptr, nullptr);
    std::string out(size, '\0');
    WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), out.data(), size,
                        nullptr, nullptr);
    return out;
}

// '%' and control characters as %XX, so that every field stays on one line.
inline std::string Field(std::wstring_view text) {
    std::string out;
    for (unsigned char c : Convert(CP_UTF8, text)) {
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

inline std::wstring Environment(const wchar_t* name) {
    DWORD size = GetEnvironmentVariableW(name, nullptr, 0);
    if (size == 0) return {};
    std::wstring value(size, L'\0');
    value.resize(GetEnvironmentVariableW(name, value.data(), size));
    return value;
}

// One WriteFile on a handle opened for appending, so that records of starts
// that overlap don't interleave. A log held open by another start is retried.
inline void Append(const std::wstring& path, const std::string& record) {
    for (int attempt = 0; attempt < 200; ++attempt) {
        const UniqueFile file(CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                          OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file) {
            DWORD written = 0;
            WriteFile(file.get(), record.data(), static_cast<DWORD>(record.size()), &written,
                      nullptr);
            return;
        }
        Sleep(10);
    }
}

// Appends this start's record: its exact command line, its working directory,
// its own file, its NoDefaultCurrentDirectoryInExePath and PATH, its arguments
// as CommandLineToArgvW splits them, and any extra "name=value" lines. Nothing
// without DUOMIRA_FAKE_LOG.
inline void LogStart(const std::string& extraFields = {}) {
    const std::wstring log = Environment(L"DUOMIRA_FAKE_LOG");
    if (log.empty()) return;
    const wchar_t* commandLine = GetCommandLineW();
    std::wstring dir(GetCurrentDirectoryW(0, nullptr), L'\0');
    dir.resize(GetCurrentDirectoryW(static_cast<DWORD>(dir.size()), dir.data()));

    std::string record = "[start]\n";
    record += "cmdline=" + Field(commandLine) + "\n";
    record += "cwd=" + Field(dir) + "\n";
    // Which copy of the stand-in ran, and whether it was told to leave the
    // working directory out of its own program search.
    std::wstring exe(32768, L'\0');
    exe.resize(GetModuleFileNameW(nullptr, exe.data(), static_cast<DWORD>(exe.size())));
    record += "exe=" + Field(exe) + "\n";
    record += "nocwd=" + Field(Environment(L"NoDefaultCurrentDirectoryInExePath")) + "\n";
    record += "path=" + Field(Environment(L"PATH")) + "\n";
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(commandLine, &argc);
    record += "argc=" + std::to_string(argv ? argc : 0) + "\n";
    for (int i = 0; argv && i < argc; ++i) record += "arg=" + Field(argv[i]) + "\n";
    if (argv) LocalFree(argv);
    record += extraFields;
    record += "[end]\n";
    Append(log, record);
}

}  // namespace duomira::fake
