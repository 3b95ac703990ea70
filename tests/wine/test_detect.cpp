// First use on a machine with nothing stored: the tool paths' defaults point at
// what is installed (a stand-in WinMergeU.exe where WinMerge's per-user
// installer puts it, with its uninstall entry), a bare WINDIFF.exe that the
// program search finds stays bare, and anything stored wins.
#include <string>
#include <vector>

#include "driver.h"
#include "main_window/main_window_ids.h"
#include "path_dialog/path_dialog_ids.h"

using namespace duomira::wine;
namespace ids = duomira::ids;

namespace {

constexpr wchar_t kUninstallKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\WinMerge_is1";

// fake_tool.exe as %LOCALAPPDATA%\Programs\WinMerge\WinMergeU.exe with the
// per-user uninstall entry that records its folder; all gone again at the end.
class InstalledWinMerge {
  public:
    InstalledWinMerge() {
        const std::wstring localAppData = EnvironmentVariable(L"LOCALAPPDATA");
        if (localAppData.empty()) Abort("LOCALAPPDATA is not set");
        folder_ = localAppData + L"\\Programs\\WinMerge";
        MakeDirs(folder_);
        if (!CopyFileW(ExePath(L"fake_tool.exe").c_str(), Program().c_str(), FALSE))
            Abort("cannot copy fake_tool.exe to " + Show(Program()));
        if (!CopyFileW(ExePath(L"fake_tool.exe").c_str(), Sibling(L"other.exe").c_str(), FALSE))
            Abort("cannot copy fake_tool.exe to " + Show(Sibling(L"other.exe")));
        SetRegistryString(kUninstallKey, L"InstallLocation", folder_ + L"\\");
    }
    ~InstalledWinMerge() {
        KillProcessesNamed(L"Duomira.exe");
        RegDeleteKeyW(HKEY_CURRENT_USER, kUninstallKey);
        DeleteFileW(Program().c_str());
        DeleteFileW(Sibling(L"other.exe").c_str());
        RemoveDirectoryW(folder_.c_str());
    }
    InstalledWinMerge(const InstalledWinMerge&) = delete;
    InstalledWinMerge& operator=(const InstalledWinMerge&) = delete;

    std::wstring Program() const { return Sibling(L"WinMergeU.exe"); }
    std::wstring Sibling(std::wstring_view name) const {
        return folder_ + L"\\" + std::wstring(name);
    }

  private:
    std::wstring folder_;
};

bool IsChosen(HWND main, int tool) {
    DWORD_PTR state = 0;
    SendMessageTimeoutW(RequireChild(main, ids::kOption1 + tool), BM_GETCHECK, 0, 0,
                        SMTO_ABORTIFHUNG, 3000, &state);
    return state == BST_CHECKED;
}

// "設定": the tool path dialog, once its boxes are filled.
HWND OpenDialog(const WaitingStart& waiting) {
    ClickButton(RequireChild(waiting.main, ids::kMainCommand1));
    HWND dialog = RequireWindow(waiting.process.Id(), ids::kPathDialogClass, 5000);
    WaitUntil([&] { return !TextOf(RequireChild(dialog, ids::kPathText1)).empty(); }, 3000);
    return dialog;
}

// The two diff tools' path boxes as shown; a screenshot of the dialog.
std::vector<std::wstring> DiffToolPaths(HWND dialog, std::wstring_view shot) {
    Sleep(300);  // painted, for the screenshot
    SaveScreenshot(shot);
    return {TextOf(RequireChild(dialog, ids::kPathText1)),
            TextOf(RequireChild(dialog, ids::kPathText1 + 1))};
}

// "参照..." of tool 1, then a bare file name typed and confirmed: the file
// dialog takes it from the folder it opened in.
void BrowseTool1For(const WaitingStart& waiting, HWND dialog, const std::wstring& fileName) {
    ClickButton(RequireChild(dialog, ids::kPathCommand2));
    HWND open = nullptr;
    WaitUntil(
        [&] {
            for (HWND window : TopLevelWindows(waiting.process.Id(), kMessageBoxClass))
                if (GetWindow(window, GW_OWNER) == dialog) open = window;
            return open != nullptr;
        },
        5000);
    ASSERT_TRUE(open);
    // The file name box: an edit, or a combo box with or without an edit in it.
    HWND name = nullptr;
    WaitUntil([&] { return (name = FindChild(open, 0x480)) || (name = FindChild(open, 0x47c)); },
              3000);
    ASSERT_TRUE(name);
    if (HWND edit = FindWindowExW(name, nullptr, L"Edit", nullptr)) name = edit;
    DWORD_PTR result = 0;
    SendMessageTimeoutW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(fileName.c_str()),
                        SMTO_ABORTIFHUNG, 5000, &result);
    ClickButton(RequireChild(open, IDOK));
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(open); }, 5000));
}

FakeRecord RunSecondAndReadTool(const std::wstring& log) {
    Process second = StartDuomira(L"C:\\work\\b.txt", TestTempDir());
    EXPECT_TRUE(second.WaitForExit(10000));
    const std::vector<FakeRecord> records = WaitForFakeRecords(log, 1);
    if (records.size() != 1)
        Abort("the tool started " + std::to_string(records.size()) + " times, not once");
    return records.front();
}

}  // namespace

TEST(detect, installed_winmerge_is_the_first_tool_and_gets_both_paths) {
    InstalledWinMerge winMerge;
    const std::wstring log = UseFreshFakeLog();

    WaitingStart first = StartWaiting(L"C:\\work\\a.txt");
    EXPECT_TRUE(IsChosen(first.main, 1));
    HWND dialog = OpenDialog(first);
    EXPECT_EQ(DiffToolPaths(dialog, L"detect-installed-winmerge"),
             (std::vector<std::wstring>{L"WINDIFF.exe", winMerge.Program()}));
    // "参照..." opens in the folder of the path in its box.
    BrowseTool1For(first, dialog, L"other.exe");
    EXPECT_EQ(TextOf(RequireChild(dialog, ids::kPathText1 + 1)), winMerge.Sibling(L"other.exe"));
    ClickButton(RequireChild(dialog, ids::kPathCommand4));

    FakeRecord tool = RunSecondAndReadTool(log);
    EXPECT_EQ(tool.args, (std::vector<std::wstring>{winMerge.Program(), L"-r", L"C:\\work\\a.txt",
                                                   L"C:\\work\\b.txt"}));
    EXPECT_TRUE(first.process.WaitForExit(5000));
    // Chosen by the option button's own handler; the detected path is not stored.
    EXPECT_EQ(ReadStoredSetting(L"SelectExe"), L"1");
    EXPECT_EQ(ReadStoredSetting(L"WinMergePath"), std::nullopt);
    EXPECT_EQ(ReadStoredSetting(L"WinDiffPath"), std::nullopt);
}

TEST(detect, windiff_on_the_search_path_stays_a_bare_name) {
    const std::wstring bin = MakeDirs(TestTempDir() + L"\\bin");
    ASSERT_TRUE(
        CopyFileW(ExePath(L"fake_tool.exe").c_str(), (bin + L"\\WINDIFF.exe").c_str(), FALSE));
    const PathPrepended path(bin);
    // Registered under App Paths as well: the bare name still comes first.
    const std::wstring appPath =
        L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\WinDiff.exe";
    const std::wstring program = bin + L"\\WINDIFF.exe";
    SetRegistryString(appPath, L"", program);
    struct RemoveKey {
        std::wstring key;
        ~RemoveKey() { RegDeleteKeyW(HKEY_CURRENT_USER, key.c_str()); }
    } removeKey{appPath};
    const std::wstring log = UseFreshFakeLog();

    WaitingStart first = StartWaiting(L"C:\\work\\a.txt");
    EXPECT_TRUE(IsChosen(first.main, 0));
    FakeRecord tool = RunSecondAndReadTool(log);
    EXPECT_EQ(tool.commandLine, L"WINDIFF.exe \"C:\\work\\a.txt\" \"C:\\work\\b.txt\"");

    // A portable copy's own WINDIFF.exe comes before the one on PATH.
    const std::wstring portable = MakeDirs(TestTempDir() + L"\\portable");
    const std::wstring copyExe = portable + L"\\Duomira.exe";
    ASSERT_TRUE(CopyFileW(ExePath(L"Duomira.exe").c_str(), copyExe.c_str(), FALSE));
    ASSERT_TRUE(CopyFileW(FakeTool().c_str(), (portable + L"\\WINDIFF.exe").c_str(), FALSE));
    WriteStoredSetting(L"FileName", L"C:\\work\\a.txt");
    Process copy = StartProcess(Quoted(copyExe) + L" C:\\work\\b.txt", TestTempDir());
    EXPECT_TRUE(copy.WaitForExit(10000));
    const std::vector<FakeRecord> records = WaitForFakeRecords(log, 2);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(_wcsicmp(records[1].exe.c_str(), (portable + L"\\WINDIFF.exe").c_str()), 0)
        << "started " << Show(records[1].exe);
}

namespace {

// A value under HKLM in one registry view; the key is deleted again at the end.
class MachineValue {
  public:
    MachineValue(REGSAM view, std::wstring key, const wchar_t* name, const std::wstring& data)
        : view_(view), key_(std::move(key)) {
        UniqueRegKey handle;
        const DWORD size = static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t));
        const auto* bytes = reinterpret_cast<const BYTE*>(data.c_str());
        if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, key_.c_str(), 0, nullptr, 0,
                            KEY_SET_VALUE | WRITE_DAC | view_, nullptr, handle.put(),
                            nullptr) != ERROR_SUCCESS ||
            RegSetValueExW(handle.get(), name, 0, REG_SZ, bytes, size) != ERROR_SUCCESS)
            Abort("could not write HKLM\\" + ToUtf8(key_));
    }
    ~MachineValue() { RegDeleteKeyExW(HKEY_LOCAL_MACHINE, key_.c_str(), view_, 0); }
    MachineValue(const MachineValue&) = delete;
    MachineValue& operator=(const MachineValue&) = delete;

    // Everyone may read the key (and take it away again), no more: as a
    // standard user meets a machine-wide key.
    void MakeReadOnly() {
        UniqueRegKey handle;
        ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, key_.c_str(), 0, WRITE_DAC | view_,
                                handle.put()),
                  ERROR_SUCCESS);
        ASSERT_TRUE(GrantEveryone(handle.get(), KEY_READ | DELETE));
        UniqueRegKey writable;
        ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, key_.c_str(), 0, KEY_SET_VALUE | view_,
                                writable.put()),
                  ERROR_ACCESS_DENIED);
    }

  private:
    REGSAM view_;
    std::wstring key_;
};

}  // namespace

TEST(detect, machine_wide_64_bit_winmerge_comes_before_a_32_bit_one) {
    // Both views hold an install, each with its program; the 64-bit one's key
    // is read-only, as machine keys are for a standard user.
    const std::wstring x64 = MakeDirs(TestTempDir() + L"\\x64");
    const std::wstring x86 = MakeDirs(TestTempDir() + L"\\x86");
    for (const std::wstring& folder : {x64, x86})
        ASSERT_TRUE(CopyFileW(FakeTool().c_str(), (folder + L"\\WinMergeU.exe").c_str(), FALSE));
    MachineValue wide(KEY_WOW64_64KEY, kUninstallKey, L"InstallLocation", x64);
    MachineValue narrow(KEY_WOW64_32KEY, kUninstallKey, L"InstallLocation", x86);
    wide.MakeReadOnly();
    WriteStoredSetting(L"SelectExe", L"1");
    WriteStoredSetting(L"FileName", L"C:\\work\\a.txt");
    const std::wstring log = UseFreshFakeLog();
    EXPECT_EQ(RunSecondAndReadTool(log).args[0], x64 + L"\\WinMergeU.exe");
}

TEST(detect, anything_stored_wins_over_what_is_installed) {
    InstalledWinMerge winMerge;
    // An empty path is a stored path: neither shown as detected nor found.
    WriteStoredSetting(L"WinMergePath", L"");
    WaitingStart first = StartWaiting(L"C:\\work\\a.txt");
    EXPECT_TRUE(IsChosen(first.main, 0));
    EXPECT_EQ(DiffToolPaths(OpenDialog(first), L"detect-stored-empty"),
             (std::vector<std::wstring>{L"WINDIFF.exe", L""}));
}
