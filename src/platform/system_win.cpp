#include "platform/system_win.h"

#include <windows.h>

#include <algorithm>
#include <climits>
#include <cwchar>
#include <vector>

#include "platform/trace_win.h"
#include "platform/unique_handle_win.h"
#include "platform/window_win.h"

namespace duomira {

std::wstring Win32StartupPlatform::CommandLine() {
    const wchar_t* line = GetCommandLineW();
    return line ? std::wstring(line) : std::wstring();
}

bool Win32StartupPlatform::StartProcess(std::wstring_view commandLine, int showWindow) {
    // The system's limit, terminating NUL included. Windows refuses a longer
    // line; Wine cuts it, and the tool would be handed some other path.
    constexpr size_t kMaxCommandLine = 32767;
    if (commandLine.size() >= kMaxCommandLine) {
        TraceFailure(L"CreateProcessW (command line too long)", commandLine.substr(0, 260),
                     ERROR_FILENAME_EXCED_RANGE);
        return false;
    }
    // CreateProcessW may write into the command line, so it gets its own copy.
    std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
    line.push_back(L'\0');
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(showWindow);
    UniqueProcessInformation process;
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, process.put())) {
        TraceFailure(L"CreateProcessW", commandLine, GetLastError());
        return false;
    }
    return true;
}

bool Win32StartupPlatform::WriteNewFile(std::wstring_view name, std::string_view bytes) {
    const std::wstring fileName(name);
    UniqueFile file(CreateFileW(fileName.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        TraceFailure(L"CreateFileW", fileName, GetLastError());
        return false;
    }
    size_t done = 0;
    while (done < bytes.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 20));
        DWORD written = 0;
        if (!WriteFile(file.get(), bytes.data() + done, chunk, &written, nullptr)) {
            TraceFailure(L"WriteFile", fileName, GetLastError());
            return false;
        }
        if (written == 0) {
            TraceFailure(L"WriteFile (nothing written)", fileName, ERROR_WRITE_FAULT);
            return false;
        }
        done += written;
    }
    return true;
}

std::optional<std::string> Win32StartupPlatform::ToAnsi(std::wstring_view text) {
    if (text.empty()) return std::string();
    if (text.size() > static_cast<size_t>(INT_MAX / 4)) return std::nullopt;
    const int length = static_cast<int>(text.size());
    BOOL usedDefault = FALSE;
    const int size = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), length,
                                         nullptr, 0, nullptr, &usedDefault);
    if (size <= 0 || usedDefault) return std::nullopt;
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), length, bytes.data(), size,
                        nullptr, &usedDefault);
    if (usedDefault) return std::nullopt;
    return bytes;
}

bool Win32StartupPlatform::IsExistingFile(std::wstring_view path) {
    const std::wstring name(path);
    const DWORD attributes = GetFileAttributesW(name.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::optional<std::wstring> Win32StartupPlatform::ShortPath(std::wstring_view path) {
    const std::wstring longPath(path);
    DWORD size = GetShortPathNameW(longPath.c_str(), nullptr, 0);
    if (size == 0) return std::nullopt;
    std::wstring shortPath(size, L'\0');
    DWORD length = GetShortPathNameW(longPath.c_str(), shortPath.data(), size);
    if (length == 0 || length >= size) return std::nullopt;
    shortPath.resize(length);
    return shortPath;
}

void Win32StartupPlatform::ShowMessage(std::wstring_view text) { ShowProgramMessage(text); }

void ShowProgramMessage(std::wstring_view text) {
    StartWindowSystem();
    WaitForCommonControls();
    const std::wstring message(text);
    MessageBoxW(nullptr, message.c_str(), L"Duomira", MB_OK | MB_SETFOREGROUND);
}

namespace {

constexpr wchar_t kUnhandledFailure[] = L"予期しないエラーが発生しました。プログラムを終了します。";

// The visible report of an unhandled failure among this thread's windows.
HWND FindFailureReport() {
    HWND found = nullptr;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND hwnd, LPARAM param) -> BOOL {
            wchar_t className[16] = {};
            wchar_t text[64] = {};
            HWND textControl = GetDlgItem(hwnd, 0xFFFF);  // a message box's text
            if (!IsWindowVisible(hwnd) || !GetClassNameW(hwnd, className, 16) ||
                wcscmp(className, L"#32770") != 0 || !textControl ||
                !GetWindowTextW(textControl, text, 64) || wcscmp(text, kUnhandledFailure) != 0) {
                return TRUE;
            }
            *reinterpret_cast<HWND*>(param) = hwnd;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

// Where the handling of an unhandled failure stands.
enum class FailureState {
    None,
    Reporting,  // the report is up, in its own message loop
    TakenOver,  // a failure recurred in the report's loop; this loop took over
};
FailureState g_failure = FailureState::None;

}  // namespace

void FailUnhandled() {
    switch (g_failure) {
    case FailureState::None:
        g_failure = FailureState::Reporting;
        ShowProgramMessage(kUnhandledFailure);
        EndProgram();
    case FailureState::TakenOver:
        // It recurs even without Timer1: the report has been shown; end now.
        EndProgram();
    case FailureState::Reporting:
        break;
    }
    // The report's message loop goes on dispatching timer ticks and window
    // events, and the failure may recur in them (the timer's watch fails every
    // 500 ms). No second report: this call takes over the report's loop,
    // without Timer1's ticks (thread messages), and the program ends once the
    // user has closed the report.
    g_failure = FailureState::TakenOver;
    const HWND report = FindFailureReport();
    while (report && IsWindowVisible(report)) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) EndProgram();
            if (msg.message == WM_TIMER && !msg.hwnd) continue;
            if (IsDialogMessageW(report, &msg)) continue;
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        // Also closed by a message sent from outside: look again now and then.
        if (IsWindowVisible(report))
            MsgWaitForMultipleObjectsEx(0, nullptr, 250, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
    EndProgram();
}

void EndProgram() {
    // Not while a thread is loading a DLL: that thread would hold the loader
    // lock that the process's exit needs.
    WaitForCommonControls();
    ExitProcess(0);
}

}  // namespace duomira
