// The process entry: runs the start-up procedure, then, on a first start, the
// message loop of the waiting main window.
#include <windows.h>

#include "help_window/help_window_win.h"
#include "launch/startup.h"
#include "main_window/main_window_win.h"
#include "path_dialog/path_dialog_win.h"
#include "platform/install_probe_win.h"
#include "platform/program_end_win.h"
#include "platform/registry_store_win.h"
#include "platform/registry_watch_win.h"
#include "platform/system_win.h"
#include "platform/trace_win.h"
#include "platform/window_win.h"

namespace duomira {
namespace {

void OnSettingsChanged(void* context) {
    if (!static_cast<MainWindow*>(context)->OnSettingsChanged()) FailUnhandled();
}

// The message loop of a waiting instance: dispatches window messages, and
// calls onChange(context) whenever the watch's event is signalled. Returns
// true at WM_QUIT, false when waiting for messages failed.
bool RunMessageLoop(SettingsKeyWatch* watch, void (*onChange)(void*), void* context) {
    StartWindowSystem();
    HANDLE event = watch ? watch->Event() : nullptr;
    for (;;) {
        if (event) {
            const DWORD wait =
                MsgWaitForMultipleObjectsEx(1, &event, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
            if (wait == WAIT_FAILED) {
                TraceFailure(L"MsgWaitForMultipleObjectsEx", L"the waiting window's messages",
                             GetLastError());
                return false;
            }
            if (wait == WAIT_OBJECT_0) {
                if (!watch->Rearm()) event = nullptr;  // the timer alone watches from now on
                onChange(context);
                continue;
            }
        }
        MSG msg;
        // Everything queued is handled before the next wait.
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) return true;
            // Tab and arrow keys move between the controls of the active window
            // (thread messages, such as Timer1's ticks, belong to no window).
            if (msg.hwnd) {
                HWND active = GetActiveWindow();
                if (active && IsDialogMessageW(active, &msg)) continue;
            }
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (!event && !WaitMessage()) {
            TraceFailure(L"WaitMessage", L"the waiting window's messages", GetLastError());
            return false;
        }
    }
}

int Run() {
    RegistrySettingsBackend store;
    SharedVariables shared;
    Win32StartupPlatform platform;
    Win32InstallProbe probe;
    Win32MainWindow mainWindow(store, shared);
    Win32PathDialog pathDialog(store, mainWindow.Logic(), &probe);
    Win32HelpWindow helpWindow;
    // Both open modeless and without owner; the main window stays usable.
    mainWindow.onSettings = [&pathDialog] { pathDialog.ShowModeless(); };
    mainWindow.onHelp = [&helpWindow] { helpWindow.Open(); };

    StartupContext context{store, shared, platform, mainWindow.Logic(), pathDialog, &probe};
    // Drops onto the waiting window, and its end, pair through the start-up's lock.
    mainWindow.Logic().Connect(context);
    if (Main(context) == StartupOutcome::EndProgram) EndProgram();

    // The waiting instance ends as soon as FileName is cleared: a watch on the
    // settings key wakes it at once, and Timer1 still looks every 500 ms.
    SettingsKeyWatch watch;
    const bool watching = watch.Start();
    OnSettingsChanged(&mainWindow.Logic());  // a change before the watch was armed
    if (!RunMessageLoop(watching ? &watch : nullptr, &OnSettingsChanged, &mainWindow.Logic())) {
        // Nothing can be waited for any more: end as closing the window does,
        // so that the waiting pick is not left behind.
        if (!mainWindow.Logic().Form_QueryUnload()) FailUnhandled();
    }
    EndProgram();
}

}  // namespace
}  // namespace duomira

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    try {
        return duomira::Run();
    } catch (...) {
        duomira::FailUnhandled();
    }
}
