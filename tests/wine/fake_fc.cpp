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
#include "fake_log.h"

namespace {

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
    using namespace duomira::fake;
    const std::wstring copy = Environment(L"DUOMIRA_FAKE_FC_COPY");
    if (!copy.empty()) CopyFileW(L"diff_tmp.bat", copy.c_str(), FALSE);
    LogStart("stdout=" + Field(OutputFileName()) + "\n");

    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv) argc = 0;
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
