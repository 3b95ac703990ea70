#include "platform/registry_watch_win.h"

#include "platform/registry_store_win.h"
#include "platform/trace_win.h"

namespace duomira {

bool SettingsKeyWatch::Start() {
    const LONG status = RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsRegistryPath, 0, nullptr,
                                        REG_OPTION_NON_VOLATILE, KEY_NOTIFY, nullptr, key_.put(),
                                        nullptr);
    if (status != ERROR_SUCCESS) {
        TraceFailure(L"RegCreateKeyExW (watch)", kSettingsRegistryPath, status);
        return false;
    }
    event_.reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    if (!event_) {
        TraceFailure(L"CreateEventW (watch)", kSettingsRegistryPath, GetLastError());
        return false;
    }
    if (!Rearm()) {
        event_.reset();
        return false;
    }
    return true;
}

bool SettingsKeyWatch::Rearm() {
    const LONG status = RegNotifyChangeKeyValue(
        key_.get(), FALSE, REG_NOTIFY_CHANGE_LAST_SET | REG_NOTIFY_THREAD_AGNOSTIC, event_.get(), TRUE);
    if (status != ERROR_SUCCESS) {
        TraceFailure(L"RegNotifyChangeKeyValue", kSettingsRegistryPath, status);
        return false;
    }
    return true;
}

}  // namespace duomira
