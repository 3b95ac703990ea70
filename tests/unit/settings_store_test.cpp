#include <gtest/gtest.h>

#include <set>

#include "fakes.h"
#include "launch/settings_store.h"

namespace duomira {
namespace {

TEST(SettingsStore, KeyTableHasTenDistinctKeysWithTheirDefaults) {
    std::set<std::wstring_view> names;
    for (const auto& info : kSettingTable) names.insert(info.name);
    EXPECT_EQ(names.size(), 10u);
    EXPECT_EQ(Describe(SettingKey::DispStyle).defaultValue, L"0");
    EXPECT_EQ(Describe(SettingKey::CmdPath).defaultValue, L"FC");
    EXPECT_EQ(Describe(SettingKey::WinMergeName).defaultValue, L"WINMERGEで比較");
    EXPECT_EQ(Describe(SettingKey::CmdName).defaultValue, L"結果を出力");
}

TEST(SettingsStore, AbsentGivesDefaultButStoredEmptyStaysEmpty) {
    MemorySettingsBackend store;
    EXPECT_EQ(ReadSetting(store, SettingKey::WinDiffPath), L"WINDIFF.exe");
    ASSERT_TRUE(WriteSetting(store, SettingKey::WinDiffPath, L""));
    EXPECT_EQ(ReadSetting(store, SettingKey::WinDiffPath), L"");
    EXPECT_EQ(store.Stored(L"WinDiffPath"), L"");
}

TEST(SettingsStore, FailuresAreReportedNotDefaulted) {
    MemorySettingsBackend store;
    store.Put(L"SelectExe", L"2");
    store.failReads = true;
    EXPECT_EQ(ReadSetting(store, SettingKey::SelectExe), std::nullopt);
    store.failWrites = true;
    EXPECT_FALSE(WriteSetting(store, SettingKey::FileName, L"x"));
    EXPECT_EQ(store.Stored(L"FileName"), std::nullopt);
}

}  // namespace
}  // namespace duomira
