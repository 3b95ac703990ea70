#include "platform/registry_watch_win.h"

#include "platform/registry_store_win.h"

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

}  // namespace duomira
