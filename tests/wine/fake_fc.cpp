// fake_fc.exe: stands in for the FC command that the result script runs.
//
// - Appends one record to the UTF-8 log named by DUOMIRA_FAKE_LOG, in the
//   format of fake_tool.exe (driver.h, ReadFakeLog): command line, working
//   directory and the arguments as CommandLineToArgvW splits them, and one
//   more field, "stdout=<the file its standard output goes to>" (empty when
//   that is no file), which ReadFakeLog skips.
// - When DUOMIRA_FAKE_FC_COPY names a file, copies "diff_tmp.bat" of its
//   working directory there first: the script deletes itself later, and this
//   is the moment it surely still exists.
// - Writes its report to standard output in the ANSI code page (what a text
//   editor opens without a byte-order mark):
//       fake_fc report<CR LF>
//       argc=N<CR LF>
//       arg1=<first argument><CR LF>
//       ...
// Always exits 0.
#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <string>
#include <string_view>

namespace {

std::string Convert(UINT codePage, std::wstring_view text) {
    if (text.empty()) return {};
    int size = WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                   0, nullptr, nullptr);
    std::string out(size, '\0');
    WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), out.data(), size,
                        nullptr, nullptr);
    return out;
}

// '%' and control characters as %XX, so that every field stays on one line.
std::string Field(std::wstring_view text) {
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

std::wstring Environment(const wchar_t* name) {
    DWORD size = GetEnvironmentVariableW(name, nullptr, 0);
    if (size == 0) return {};
    std::wstring value(size, L'\0');
    value.resize(GetEnvironmentVariableW(name, value.data(), size));
    return value;
}

void Append(const std::wstring& path, const std::string& record) {
    for (int attempt = 0; attempt < 200; ++attempt) {
        HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            DWORD written = 0;
            WriteFile(file, record.data(), static_cast<DWORD>(record.size()), &written, nullptr);
            CloseHandle(file);
            return;
        }
        Sleep(10);
    }
}

// The full path of the file behind standard output, without the "\\?\" prefix.
std::wstring OutputFileName() {
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    if (!out || out == INVALID_HANDLE_VALUE || GetFileType(out) != FILE_TYPE_DISK) return {};
    wchar_t path[MAX_PATH * 4];
    DWORD length =
        GetFinalPathNameByHandleW(out, path, static_cast<DWORD>(std::size(path)), VOLUME_NAME_DOS);
    if (length == 0 || length >= std::size(path)) return {};
    std::wstring_view name(path, length);
    if (name.substr(0, 4) == L"\\\\?\\") name.remove_prefix(4);
    return std::wstring(name);
}

}  // namespace

int wmain() {
    const wchar_t* commandLine = GetCommandLineW();
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(commandLine, &argc);
    if (!argv) argc = 0;

    const std::wstring copy = Environment(L"DUOMIRA_FAKE_FC_COPY");
    if (!copy.empty()) CopyFileW(L"diff_tmp.bat", copy.c_str(), FALSE);

    const std::wstring log = Environment(L"DUOMIRA_FAKE_LOG");
    if (!log.empty()) {
        wchar_t dir[MAX_PATH * 4];
        DWORD dirLength = GetCurrentDirectoryW(static_cast<DWORD>(std::size(dir)), dir);
        std::string record = "[start]\n";
        record += "cmdline=" + Field(commandLine) + "\n";
        record += "cwd=" + Field(std::wstring_view(dir, dirLength)) + "\n";
        record += "argc=" + std::to_string(argc) + "\n";
        for (int i = 0; i < argc; ++i) record += "arg=" + Field(argv[i]) + "\n";
        record += "stdout=" + Field(OutputFileName()) + "\n";
        record += "[end]\n";
        Append(log, record);
    }

    std::string report = "fake_fc report\r\nargc=" + std::to_string(argc) + "\r\n";
    for (int i = 1; i < argc; ++i)
        report += "arg" + std::to_string(i) + "=" + Convert(CP_ACP, argv[i]) + "\r\n";
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD written = 0;
    if (out && out != INVALID_HANDLE_VALUE)
        WriteFile(out, report.data(), static_cast<DWORD>(report.size()), &written, nullptr);
    if (argv) LocalFree(argv);
    return 0;
}
