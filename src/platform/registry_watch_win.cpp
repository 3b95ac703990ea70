#include "platform/registry_watch_win.h"

#include "platform/registry_store_win.h"
#include "platform/window_win.h"

namespace duomira {

bool SettingsKeyWatch::Start() {
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsRegistryPath, 0, nullptr,
                        REG_OPTION_NON_VOLATILE, KEY_NOTIFY, nullptr, key_.put(),
                        nullptr) != ERROR_SUCCESS) {
        return false;
    }
    event_.reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    if (!event_) return false;
    if (!Rearm()) {
        event_.reset();
        return false;
    }
    return true;
}

bool SettingsKeyWatch::Rearm() {
    return RegNotifyChangeKeyValue(key_.get(), FALSE,
                                   REG_NOTIFY_CHANGE_LAST_SET | REG_NOTIFY_THREAD_AGNOSTIC,
                                   event_.get(), TRUE) == ERROR_SUCCESS;
}

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

}  // namespace duomira
