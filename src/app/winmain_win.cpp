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
#include "platform/window_win.h"

namespace duomira {
namespace {

void OnSettingsChanged(void* context) {
    if (!static_cast<MainWindow*>(context)->OnSettingsChanged()) FailUnhandled();
}

// The message loop of a waiting instance: dispatches window messages, and
// calls onChange(context) whenever the watch's event is signalled. Returns
// at WM_QUIT.
int RunMessageLoop(SettingsKeyWatch* watch, void (*onChange)(void*), void* context) {
    StartWindowSystem();
    HANDLE event = watch ? watch->Event() : nullptr;
    for (;;) {
        if (event) {
            const DWORD wait =
                MsgWaitForMultipleObjectsEx(1, &event, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
            if (wait == WAIT_OBJECT_0) {
                if (!watch->Rearm()) event = nullptr;  // the timer alone watches from now on
                onChange(context);
                continue;
            }
        }
        MSG msg;
        // Everything queued is handled before the next wait.
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) return static_cast<int>(msg.wParam);
            // Tab and arrow keys move between the controls of the active window
            // (thread messages, such as Timer1's ticks, belong to no window).
            if (msg.hwnd) {
                HWND active = GetActiveWindow();
                if (active && IsDialogMessageW(active, &msg)) continue;
            }
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (!event) {
            if (!WaitMessage()) return 0;
        }
    }
}

int Run() {
    RegistrySettingsBackend store;
    SharedVariables shared;
    Win32StartupPlatform platform;
    Win32InstallProbe probe;
    Win32MainWindow mainWindow(store, shared, &platform);
    Win32PathDialog pathDialog(store, mainWindow.Logic(), &probe);
    Win32HelpWindow helpWindow;
    // Both open modeless and without owner; the main window stays usable.
    mainWindow.onSettings = [&pathDialog] { pathDialog.ShowModeless(); };
    mainWindow.onHelp = [&helpWindow] { helpWindow.Open(); };

    StartupContext context{store, shared, platform, mainWindow.Logic(), pathDialog, &probe};
    // A drop that completes the pair clears FileName: the window ends at once.
    // The window stays usable while a drop's message is up; a drop made then
    // is ignored, so that one drop's outcome never lands inside another's.
    bool dropping = false;
    mainWindow.onDrop = [&context, &mainWindow, &dropping](const std::vector<std::wstring>& paths) {
        if (dropping) return;
        dropping = true;
        DropItems(context, mainWindow.Logic().Model().firstPath, paths);
        dropping = false;
        OnSettingsChanged(&mainWindow.Logic());
    };
    if (Main(context) == StartupOutcome::EndProgram) EndProgram();

    // The waiting instance ends as soon as FileName is cleared: a watch on the
    // settings key wakes it at once, and Timer1 still looks every 500 ms.
    SettingsKeyWatch watch;
    const bool watching = watch.Start();
    OnSettingsChanged(&mainWindow.Logic());  // a change before the watch was armed
    RunMessageLoop(watching ? &watch : nullptr, &OnSettingsChanged, &mainWindow.Logic());
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
