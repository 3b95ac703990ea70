#include "launch/settings_store.h"

namespace duomira {

const SettingInfo& Describe(SettingKey key) {
    for (const auto& info : kSettingTable) {
        if (info.key == key) return info;
    }
    return kSettingTable.front();  // unreachable: every key is in the table
}

std::optional<std::wstring> ReadSetting(SettingsBackend& store, SettingKey key) {
    bool absent = false;
    return ReadSetting(store, key, absent);
}

std::optional<std::wstring> ReadSetting(SettingsBackend& store, SettingKey key, bool& absent) {
    const SettingInfo& info = Describe(key);
    StoreValue value = store.Get(info.name);
    absent = value.status == StoreStatus::Absent;
    switch (value.status) {
    case StoreStatus::Found:
        return std::move(value.text);
    case StoreStatus::Absent:
        return std::wstring(info.defaultValue);
    case StoreStatus::Failed:
        break;
    }
    return std::nullopt;
}

bool WriteSetting(SettingsBackend& store, SettingKey key, std::wstring_view value) {
    return store.Set(Describe(key).name, value);
}

}  // namespace duomira
