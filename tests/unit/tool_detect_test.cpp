#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <tuple>

#include "fakes.h"
#include "launch/startup.h"
#include "launch/tool_detect.h"
#include "main_window/main_window.h"

namespace duomira {
namespace {

constexpr wchar_t kUninstall[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\WinMerge_is1";
constexpr wchar_t kAppPaths[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";
constexpr wchar_t kKitsRoots[] = L"Software\\Microsoft\\Windows Kits\\Installed Roots";

constexpr auto kUser = RegistryRoot::CurrentUser;
constexpr auto kMachine = RegistryRoot::LocalMachine;
constexpr auto k64 = RegistryView::Wide64;
constexpr auto k32 = RegistryView::Narrow32;

// A machine as detection sees it; counts every question asked.
class FakeProbe : public InstallProbe {
  public:
    using Place = std::tuple<RegistryRoot, RegistryView, std::wstring, std::wstring>;
    std::map<Place, std::wstring> registry;
    std::set<std::wstring> files;
    std::map<std::wstring, std::wstring> environment;
    std::map<std::wstring, std::vector<std::wstring>> folders;
    std::set<std::wstring> onSearchPath;
    int questions = 0;
    std::vector<std::wstring> bareNamesAsked;

    std::optional<std::wstring> RegistryText(RegistryRoot root, RegistryView view,
                                             std::wstring_view key,
                                             std::wstring_view value) override {
        ++questions;
        auto it = registry.find({root, view, std::wstring(key), std::wstring(value)});
        return it == registry.end() ? std::nullopt : std::optional(it->second);
    }
    bool IsFile(std::wstring_view path) override {
        ++questions;
        return files.contains(std::wstring(path));
    }
    std::wstring Environment(std::wstring_view name) override {
        ++questions;
        auto it = environment.find(std::wstring(name));
        return it == environment.end() ? std::wstring() : it->second;
    }
    std::vector<std::wstring> Subfolders(std::wstring_view folder) override {
        ++questions;
        auto it = folders.find(std::wstring(folder));
        return it == folders.end() ? std::vector<std::wstring>{} : it->second;
    }
    bool StartFindsBareName(std::wstring_view name) override {
        ++questions;
        bareNamesAsked.emplace_back(name);
        return onSearchPath.contains(std::wstring(name));
    }
};

TEST(ToolDetectTest, WinMergeIsFoundWhereItsInstallersRecordIt) {
    FakeProbe probe;
    EXPECT_EQ(DetectedToolPath(probe, 1), L"WINMERGE.exe");  // nothing installed

    // A machine-wide 32-bit install, and a per-user one whose entry is stale.
    probe.registry[{kMachine, k32, kUninstall, L"InstallLocation"}] =
        L"C:\\Program Files (x86)\\WinMerge\\";
    probe.files.insert(L"C:\\Program Files (x86)\\WinMerge\\WinMergeU.exe");
    probe.registry[{kUser, k64, kUninstall, L"InstallLocation"}] = L"C:\\Users\\u\\Old\\WinMerge\\";
    EXPECT_EQ(DetectedToolPath(probe, 1), L"C:\\Program Files (x86)\\WinMerge\\WinMergeU.exe");
    // A 64-bit install beside it comes first: the 32-bit one may be stale.
    probe.registry[{kMachine, k64, kUninstall, L"InstallLocation"}] =
        L"C:\\Program Files\\WinMerge";
    probe.files.insert(L"C:\\Program Files\\WinMerge\\WinMergeU.exe");
    EXPECT_EQ(DetectedToolPath(probe, 1), L"C:\\Program Files\\WinMerge\\WinMergeU.exe");

    // The user's own copy comes first; a folder without its trailing backslash.
    probe.registry[{kUser, k64, kUninstall, L"InstallLocation"}] =
        L"C:\\Users\\u\\Programs\\WinMerge";
    probe.files.insert(L"C:\\Users\\u\\Programs\\WinMerge\\WinMergeU.exe");
    EXPECT_EQ(DetectedToolPath(probe, 1), L"C:\\Users\\u\\Programs\\WinMerge\\WinMergeU.exe");

    // Without uninstall entries: App Paths (quoted as some write it), then the usual folders.
    FakeProbe appPaths;
    appPaths.registry[{kMachine, k64, std::wstring(kAppPaths) + L"WinMergeU.exe", L""}] =
        L"\"D:\\Tools\\WinMerge\\WinMergeU.exe\"";
    appPaths.files.insert(L"D:\\Tools\\WinMerge\\WinMergeU.exe");
    EXPECT_EQ(DetectedToolPath(appPaths, 1), L"D:\\Tools\\WinMerge\\WinMergeU.exe");
    FakeProbe folder;
    folder.environment[L"LOCALAPPDATA"] = L"C:\\Users\\u\\AppData\\Local";
    folder.files.insert(L"C:\\Users\\u\\AppData\\Local\\Programs\\WinMerge\\WinMergeU.exe");
    EXPECT_EQ(DetectedToolPath(folder, 1),
              L"C:\\Users\\u\\AppData\\Local\\Programs\\WinMerge\\WinMergeU.exe");

    // A bare name that the start finds stays bare, whatever is installed.
    probe.onSearchPath.insert(L"WINMERGE.exe");
    EXPECT_EQ(DetectedToolPath(probe, 1), L"WINMERGE.exe");
}

TEST(ToolDetectTest, WinDiffComesFromTheNewestSdkThatHasIt) {
    FakeProbe probe;
    probe.registry[{kMachine, k32, kKitsRoots, L"KitsRoot10"}] = L"C:\\Kits\\10\\";
    probe.folders[L"C:\\Kits\\10\\bin\\"] = {L"10.0.9.0", L"x64", L"10.0.22621.0", L"10.0.19041.0"};
    probe.files.insert(L"C:\\Kits\\10\\bin\\10.0.9.0\\x64\\windiff.exe");
    probe.files.insert(L"C:\\Kits\\10\\bin\\10.0.19041.0\\x86\\windiff.exe");
    probe.files.insert(L"C:\\Kits\\10\\bin\\x64\\windiff.exe");
    // 22621 lacks it; 19041 is newer than 9 by number, not by text.
    EXPECT_EQ(DetectedToolPath(probe, 0), L"C:\\Kits\\10\\bin\\10.0.19041.0\\x86\\windiff.exe");
    EXPECT_EQ(DetectedToolPath(probe, 2), L"FC");
}

TEST(ToolDetectTest, FirstToolIsWinMergeOnlyWhereWinDiffIsMissing) {
    const struct {
        bool winDiff, winMerge;
        std::int16_t expected;
        std::vector<std::wstring> bareNamesAsked;  // WinDiff's not at all without WinMerge
    } rows[] = {
        {false, false, 0, {L"WINMERGE.exe"}},
        {false, true, 1, {L"WINMERGE.exe", L"WINDIFF.exe"}},
        {true, false, 0, {L"WINMERGE.exe"}},
        {true, true, 0, {L"WINMERGE.exe", L"WINDIFF.exe"}},
    };
    for (const auto& row : rows) {
        FakeProbe probe;
        if (row.winDiff) probe.onSearchPath.insert(L"WINDIFF.exe");
        if (row.winMerge) probe.onSearchPath.insert(L"WINMERGE.exe");
        MemorySettingsBackend store;
        EXPECT_EQ(FirstToolIndex(store, probe), row.expected) << row.winDiff << row.winMerge;
        EXPECT_EQ(probe.bareNamesAsked, row.bareNamesAsked) << row.winDiff << row.winMerge;
    }
}

TEST(ToolDetectTest, AnUnreadableToolPathLeavesAFirstToolOnlyWhereWinDiffIsFound) {
    FakeProbe probe;  // neither tool's program is found
    MemorySettingsBackend store;
    store.failReadName = L"WinDiffPath";
    EXPECT_EQ(FirstToolIndex(store, probe), std::nullopt);
    store.failReadName = L"WinMergePath";
    EXPECT_EQ(FirstToolIndex(store, probe), std::nullopt);
    probe.onSearchPath.insert(L"WINDIFF.exe");
    EXPECT_EQ(FirstToolIndex(store, probe), 0);
}

TEST(ToolDetectTest, ProgramOfAToolPathIsLookedForAsTheStartWouldTakeIt) {
    FakeProbe probe;
    probe.files = {L"C:\\Program Files\\WinMerge\\WinMergeU.exe", L"C:\\t\\wd.exe"};
    probe.onSearchPath = {L"windiff"};
    EXPECT_TRUE(ToolProgramFound(probe, L"C:\\Program Files\\WinMerge\\WinMergeU.exe"));
    EXPECT_TRUE(ToolProgramFound(probe, L"\"C:\\Program Files\\WinMerge\\WinMergeU.exe\" /r"));
    EXPECT_TRUE(ToolProgramFound(probe, L"C:\\t\\wd"));  // ".exe" added
    EXPECT_TRUE(ToolProgramFound(probe, L"windiff -x"));
    EXPECT_FALSE(ToolProgramFound(probe, L"C:\\Program Files\\WinMerge"));
    EXPECT_FALSE(ToolProgramFound(probe, L"C:\\t\\wd.bin"));
    EXPECT_FALSE(ToolProgramFound(probe, L""));
}

class ToolDetectStartTest : public ::testing::Test, protected fakes::StartRig {};

TEST_F(ToolDetectStartTest, StoredChoicesAreNeverSecondGuessedNorPaidFor) {
    FakeProbe probe;  // only WinMerge is installed
    probe.registry[{kMachine, k64, kUninstall, L"InstallLocation"}] = L"C:\\WinMerge\\";
    probe.files.insert(L"C:\\WinMerge\\WinMergeU.exe");

    // The second start of a user who kept WinDiff (SelectExe never written)
    // with the paths stored asks the system nothing.
    store.Put(L"FileName", L"C:\\a.txt");
    for (auto key : {L"WinDiffPath", L"WinMergePath", L"CmdPath"})
        store.Put(key, L"tool.exe");
    ASSERT_EQ(Start(L"C:\\b.txt", &probe), StartupOutcome::EndProgram);
    EXPECT_EQ(probe.questions, 0);
    ASSERT_EQ(platform.started.size(), 1u);
    EXPECT_TRUE(platform.started[0].commandLine.starts_with(L"tool.exe "));

    // A stored choice of WinDiff stays, though only WinMerge can be found.
    store.Put(L"SelectExe", L"0");
    store.Put(L"WinDiffPath", L"C:\\nowhere\\windiff.exe");
    store.Put(L"WinMergePath", L"C:\\WinMerge\\WinMergeU.exe");
    ASSERT_EQ(Start(L"C:\\a.txt", &probe), StartupOutcome::RunMessageLoop);
    EXPECT_EQ(window.Model().selectedOption, 0);

    // Items picked together before any tool was ever chosen go to the
    // installed one, as a first start would choose it.
    MemorySettingsBackend fresh;
    platform.started.clear();
    platform.commandLine = L"Duomira.exe C:\\a.txt D:\\b.txt";
    StartupContext together{fresh, shared, platform, window, dialog, &probe};
    ASSERT_EQ(Main(together), StartupOutcome::EndProgram);
    ASSERT_EQ(platform.started.size(), 1u);
    EXPECT_EQ(platform.started[0].commandLine,
              L"C:\\WinMerge\\WinMergeU.exe -r \"C:\\a.txt\" \"D:\\b.txt\"");
}

TEST_F(ToolDetectStartTest, FirstUseSelectsTheInstalledToolAndLaterStartsDontSearch) {
    FakeProbe probe;  // only WinMerge is installed
    probe.registry[{kMachine, k64, kUninstall, L"InstallLocation"}] = L"C:\\WinMerge\\";
    probe.files.insert(L"C:\\WinMerge\\WinMergeU.exe");
    ASSERT_EQ(Start(L"C:\\a.txt", &probe), StartupOutcome::RunMessageLoop);
    EXPECT_EQ(window.Model().selectedOption, 1);
    EXPECT_EQ(store.Stored(L"SelectExe"), L"1");
    // With a tool chosen there is nothing to search for.
    store.Put(L"FileName", L"");
    const int asked = probe.questions;
    ASSERT_EQ(Start(L"C:\\b.txt", &probe), StartupOutcome::RunMessageLoop);
    EXPECT_EQ(probe.questions, asked);
}

}  // namespace
}  // namespace duomira
