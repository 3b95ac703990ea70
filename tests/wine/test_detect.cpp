// First use on a machine with nothing stored: the tool paths' defaults point at
// what is installed (a stand-in WinMergeU.exe where WinMerge's per-user
// installer puts it, with its uninstall entry), a bare WINDIFF.exe that the
// program search finds stays bare, and anything stored wins.
#include <string>
#include <vector>

#include "driver.h"
#include "platform/control_ids.h"

using namespace duomira::wine;
namespace ids = duomira::ids;

namespace {

constexpr wchar_t kUninstallKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\WinMerge_is1";

std::wstring Environment(const wchar_t* name) {
    std::wstring value(GetEnvironmentVariableW(name, nullptr, 0), L'\0');
    value.resize(GetEnvironmentVariableW(name, value.data(), static_cast<DWORD>(value.size())));
    return value;
}

// fake_tool.exe as %LOCALAPPDATA%\Programs\WinMerge\WinMergeU.exe with the
// per-user uninstall entry that records its folder; all gone again at the end.
class InstalledWinMerge {
  public:
    InstalledWinMerge() {
        folder_ = Environment(L"LOCALAPPDATA") + L"\\Programs\\WinMerge";
        REQUIRE(Environment(L"LOCALAPPDATA").size() > 0);
        MakeDirs(folder_);
        REQUIRE(CopyFileW(ExePath(L"fake_tool.exe").c_str(), Program().c_str(), FALSE));
        HKEY key = nullptr;
        REQUIRE(RegCreateKeyExW(HKEY_CURRENT_USER, kUninstallKey, 0, nullptr, 0, KEY_SET_VALUE,
                                nullptr, &key, nullptr) == ERROR_SUCCESS);
        const std::wstring location = folder_ + L"\\";
        RegSetValueExW(key, L"InstallLocation", 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(location.c_str()),
                       static_cast<DWORD>((location.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(key);
    }
    ~InstalledWinMerge() {
        KillProcessesNamed(L"Duomira.exe");
        RegDeleteKeyW(HKEY_CURRENT_USER, kUninstallKey);
        DeleteFileW(Program().c_str());
        RemoveDirectoryW(folder_.c_str());
    }
    InstalledWinMerge(const InstalledWinMerge&) = delete;
    InstalledWinMerge& operator=(const InstalledWinMerge&) = delete;

    std::wstring Program() const { return folder_ + L"\\WinMergeU.exe"; }

  private:
    std::wstring folder_;
};

bool IsChosen(HWND main, int tool) {
    DWORD_PTR state = 0;
    SendMessageTimeoutW(RequireChild(main, ids::kOption1 + tool), BM_GETCHECK, 0, 0,
                        SMTO_ABORTIFHUNG, 3000, &state);
    return state == BST_CHECKED;
}

// "設定", the two diff tools' path boxes as shown, then "キャンセル".
std::vector<std::wstring> DialogPaths(const WaitingStart& waiting) {
    ClickButton(RequireChild(waiting.main, ids::kMainCommand1));
    HWND dialog = RequireWindow(waiting.process.Id(), ids::kPathDialogClass, 5000);
    HWND box0 = RequireChild(dialog, ids::kPathText1);
    WaitUntil([&] { return !TextOf(box0).empty(); }, 3000);
    std::vector<std::wstring> paths{TextOf(box0), TextOf(RequireChild(dialog, ids::kPathText1 + 1))};
    SaveScreenshot(L"detect_dialog");
    ClickButton(RequireChild(dialog, ids::kPathCommand4));
    return paths;
}

FakeRecord RunSecondAndReadTool(const std::wstring& log) {
    Process second = StartDuomira(L"C:\\work\\b.txt", TestTempDir());
    CHECK(second.WaitForExit(10000));
    WaitUntil([&] { return !ReadFakeLog(log).empty(); }, 5000);
    std::vector<FakeRecord> records = ReadFakeLog(log);
    REQUIRE_EQ(records.size(), 1u);
    return records.front();
}

}  // namespace

DUOMIRA_WINE_TEST(detect, installed_winmerge_is_the_first_tool_and_gets_both_paths) {
    InstalledWinMerge winMerge;
    const std::wstring log = UseFreshFakeLog();

    WaitingStart first = StartWaiting(L"C:\\work\\a.txt");
    CHECK(IsChosen(first.main, 1));
    CHECK_EQ(DialogPaths(first), (std::vector<std::wstring>{L"WINDIFF.exe", winMerge.Program()}));

    FakeRecord tool = RunSecondAndReadTool(log);
    CHECK_EQ(tool.args, (std::vector<std::wstring>{winMerge.Program(), L"C:\\work\\a.txt",
                                                   L"C:\\work\\b.txt"}));
    CHECK(first.process.WaitForExit(5000));
    // Chosen by the option button's own handler; the detected path is not stored.
    CHECK_EQ(ReadStoredSetting(L"SelectExe"), L"1");
    CHECK_EQ(ReadStoredSetting(L"WinMergePath"), std::nullopt);
    CHECK_EQ(ReadStoredSetting(L"WinDiffPath"), std::nullopt);
}

DUOMIRA_WINE_TEST(detect, windiff_on_the_search_path_stays_a_bare_name) {
    const std::wstring bin = MakeDirs(TestTempDir() + L"\\bin");
    REQUIRE(CopyFileW(ExePath(L"fake_tool.exe").c_str(), (bin + L"\\WINDIFF.exe").c_str(), FALSE));
    const std::wstring path = Environment(L"PATH");
    SetEnvironmentVariableW(L"PATH", (bin + L";" + path).c_str());
    struct RestorePath {
        std::wstring value;
        ~RestorePath() { SetEnvironmentVariableW(L"PATH", value.c_str()); }
    } restore{path};
    // Registered under App Paths as well: the bare name still comes first.
    const std::wstring appPath = L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\WinDiff.exe";
    const std::wstring program = bin + L"\\WINDIFF.exe";
    REQUIRE(RegSetKeyValueW(HKEY_CURRENT_USER, appPath.c_str(), nullptr, REG_SZ, program.c_str(),
                            static_cast<DWORD>((program.size() + 1) * sizeof(wchar_t))) ==
            ERROR_SUCCESS);
    struct RemoveKey {
        std::wstring key;
        ~RemoveKey() { RegDeleteKeyW(HKEY_CURRENT_USER, key.c_str()); }
    } removeKey{appPath};
    const std::wstring log = UseFreshFakeLog();

    WaitingStart first = StartWaiting(L"C:\\work\\a.txt");
    CHECK(IsChosen(first.main, 0));
    FakeRecord tool = RunSecondAndReadTool(log);
    CHECK_EQ(tool.commandLine, L"WINDIFF.exe \"C:\\work\\a.txt\" \"C:\\work\\b.txt\"");
}

DUOMIRA_WINE_TEST(detect, anything_stored_wins_over_what_is_installed) {
    InstalledWinMerge winMerge;
    // An empty path is a stored path: neither shown as detected nor found.
    WriteStoredSetting(L"WinMergePath", L"");
    WaitingStart first = StartWaiting(L"C:\\work\\a.txt");
    CHECK(IsChosen(first.main, 0));
    CHECK_EQ(DialogPaths(first), (std::vector<std::wstring>{L"WINDIFF.exe", L""}));
    first.process.Kill();

    // A stored choice of WinDiff stays, though only WinMerge is installed.
    DeleteAppKey();
    WriteStoredSetting(L"SelectExe", L"0");
    WaitingStart again = StartWaiting(L"C:\\work\\a.txt");
    CHECK(IsChosen(again.main, 0));
}
