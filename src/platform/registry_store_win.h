// The settings store over the per-user registry: one REG_SZ value per key
// under HKCU\Software\VB and VBA Program Settings\Duomira\Settings.
#pragma once

#include "launch/settings_store.h"

namespace duomira {

inline constexpr wchar_t kSettingsRegistryPath[] =
    L"Software\\VB and VBA Program Settings\\Duomira\\Settings";

class RegistrySettingsBackend : public SettingsBackend {
  public:
    StoreValue Get(std::wstring_view name) override;
    bool Set(std::wstring_view name, std::wstring_view value) override;
};

}  // namespace duomira
