#include "platform/program_end_win.h"

#include <windows.h>

#include <cwchar>
#include <string>

#include "platform/window_win.h"

namespace duomira {

void ShowProgramMessage(std::wstring_view text) {
    StartWindowSystem();
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
    ExitProcess(0);
}

}  // namespace duomira
