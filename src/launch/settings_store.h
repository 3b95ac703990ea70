// The per-user settings store: text values under the fixed application name
// "Duomira" and section "Settings". Every key has exactly one default, kept in
// the key table below, and every read of a key passes that default.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace duomira {

inline constexpr std::wstring_view kAppTitle = L"Duomira";
inline constexpr std::wstring_view kSettingsSection = L"Settings";

enum class SettingKey {
    FileName,
    SubFlg,
    DispStyle,
    SelectExe,
    WinDiffPath,
    WinMergePath,
    CmdPath,
    WinDiffName,
    WinMergeName,
    CmdName,
};

struct SettingInfo {
    SettingKey key;
    std::wstring_view name;
    std::wstring_view defaultValue;
};

// The ten keys, their value names in the store and their defaults.
inline constexpr std::array<SettingInfo, 10> kSettingTable{{
    {SettingKey::FileName, L"FileName", L""},
    {SettingKey::SubFlg, L"SubFlg", L""},
    {SettingKey::DispStyle, L"DispStyle", L"0"},
    {SettingKey::SelectExe, L"SelectExe", L"0"},
    {SettingKey::WinDiffPath, L"WinDiffPath", L"WINDIFF.exe"},
    {SettingKey::WinMergePath, L"WinMergePath", L"WINMERGE.exe"},
    {SettingKey::CmdPath, L"CmdPath", L"FC"},
    {SettingKey::WinDiffName, L"WinDiffName", L"WINDIFFで比較"},
    {SettingKey::WinMergeName, L"WinMergeName", L"WINMERGEで比較"},
    {SettingKey::CmdName, L"CmdName", L"結果を出力"},
}};

const SettingInfo& Describe(SettingKey key);

// Per tool index (0 WinDiff, 1 WinMerge, 2 the FC command): its path and name keys.
inline constexpr int kToolCount = 3;
inline constexpr std::array<SettingKey, kToolCount> kToolPathKeys{
    SettingKey::WinDiffPath, SettingKey::WinMergePath, SettingKey::CmdPath};
inline constexpr std::array<SettingKey, kToolCount> kToolNameKeys{
    SettingKey::WinDiffName, SettingKey::WinMergeName, SettingKey::CmdName};

// What a backing store answers for one value.
enum class StoreStatus { Found, Absent, Failed };

struct StoreValue {
    StoreStatus status = StoreStatus::Absent;
    std::wstring text;
};

// A backing store: the registry on Windows, memory in tests. Each call is one
// indivisible operation on one value; nothing is cached.
class SettingsBackend {
  public:
    virtual ~SettingsBackend() = default;
    virtual StoreValue Get(std::wstring_view name) = 0;
    virtual bool Set(std::wstring_view name, std::wstring_view value) = 0;
};

// Reads a key with its default: an absent value gives the default, a stored
// empty string gives "". nullopt when the store itself failed.
std::optional<std::wstring> ReadSetting(SettingsBackend& store, SettingKey key);
// The same, and absent tells whether the key has no stored value at all (the
// read still gives the key's default then), so that a reader may put a better
// default in its place. A stored empty string is not absent.
std::optional<std::wstring> ReadSetting(SettingsBackend& store, SettingKey key, bool& absent);

// Stores the value (the empty string clears a key). false when the store failed.
bool WriteSetting(SettingsBackend& store, SettingKey key, std::wstring_view value);

}  // namespace duomira
