// The process entry: runs the start-up procedure, then, on a first start, the
// message loop of the waiting main window.
#include <windows.h>

#include <commctrl.h>

#include "launch/startup.h"
#include "main_window/main_window_win.h"
#include "platform/registry_store_win.h"
#include "platform/system_win.h"

namespace duomira {
namespace {

// Until the tool path dialog exists, its modal showing returns at once.
class NoPathDialog : public PathDialogApi {
  public:
    void ShowModal() override {}
};

int RunMessageLoop() {
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        // Tab and arrow keys move between the controls of the active window.
        HWND active = GetActiveWindow();
        if (active && IsDialogMessageW(active, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}

int Run() {
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);

    RegistrySettingsBackend store;
    SharedVariables shared;
    Win32StartupPlatform platform;
    Win32MainWindow mainWindow(store, shared);
    NoPathDialog pathDialog;

    StartupContext context{store, shared, platform, mainWindow.Logic(), pathDialog};
    if (Main(context) == StartupOutcome::EndProgram) EndProgram();
    RunMessageLoop();
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
