// The setup program Duomira-1.00-setup-x64.exe (built by the package step) in
// silent mode, as package managers run it: install, a pair picked through the
// registered command, an upgrade over a waiting Duomira, uninstall.
#include <shlobj.h>

#include <string>
#include <utility>
#include <vector>

#include "driver.h"
#include "main_window/main_window_ids.h"

using namespace duomira::wine;
namespace ids = duomira::ids;

namespace {

constexpr wchar_t kSetup[] = L"package-test\\Duomira-1.00-setup-x64.exe";
constexpr wchar_t kUninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Duomira";
constexpr wchar_t kGuide[] = L"はじめにお読みください.txt";
const std::vector<std::wstring> kKinds{L"*", L"Directory", L"Drive"};

std::wstring VerbKey(const std::wstring& kind) { return L"Software\\Classes\\" + kind + L"\\shell\\Duomira"; }

std::wstring KnownFolder(int csidl) {
    wchar_t path[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path)))
        Abort("no known folder");
    return path;
}

// Where the shortcut at lnkPath leads.
std::wstring ShortcutTarget(const std::wstring& lnkPath) {
    std::wstring target;
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    IShellLinkW* link = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                   reinterpret_cast<void**>(&link)))) {
        IPersistFile* file = nullptr;
        if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
            wchar_t path[MAX_PATH] = {};
            if (SUCCEEDED(file->Load(lnkPath.c_str(), STGM_READ)) &&
                SUCCEEDED(link->GetPath(path, MAX_PATH, nullptr, SLGP_RAWPATH)))
                target = path;
            file->Release();
        }
        link->Release();
    }
    CoUninitialize();
    return target;
}

// Runs a program with /S; it must end by itself, successfully.
void RunSilently(const std::wstring& program) {
    Process run = StartProcess(Quoted(program) + L" /S");
    if (!run.WaitForExit(90000)) Abort(ToUtf8(program) + " /S did not end within 90 s");
    ASSERT_EQ(run.ExitCode(), std::optional<DWORD>(0));
}

}  // namespace

TEST(install, silent_install_pair_upgrade_and_uninstall) {
    const std::wstring dir = KnownFolder(CSIDL_LOCAL_APPDATA) + L"\\Programs\\Duomira";
    const std::wstring exe = dir + L"\\Duomira.exe";
    const std::wstring sendTo = KnownFolder(CSIDL_SENDTO) + L"\\Diffﾂｰﾙで比較.lnk";
    const std::optional<std::string> builtExe = ReadFileBytes(ExePath(L"Duomira.exe"));
    ASSERT_TRUE(builtExe.has_value());
    // Which holder keys (…\*\shell, …\*) exist before: uninstalling leaves them so.
    std::vector<std::pair<std::wstring, bool>> holders;
    for (const std::wstring& kind : kKinds)
        for (const std::wstring& key : {L"Software\\Classes\\" + kind + L"\\shell", L"Software\\Classes\\" + kind})
            holders.emplace_back(key, RegistryKeyExists(key));
    DeleteAppKey();

    RunSilently(ExePath(kSetup));
    EXPECT_TRUE(ReadFileBytes(exe) == builtExe);
    EXPECT_TRUE(FileExists(dir + L"\\" + kGuide));
    EXPECT_TRUE(FileExists(dir + L"\\uninstall.exe"));
    const std::vector<std::pair<const wchar_t*, std::wstring>> entry{
        {L"DisplayName", L"Duomira"},
        {L"DisplayVersion", L"1.00"},
        {L"Publisher", L"Duomira"},
        {L"DisplayIcon", exe + L",0"},
        {L"InstallLocation", dir},
        {L"UninstallString", Quoted(dir + L"\\uninstall.exe")},
        {L"QuietUninstallString", Quoted(dir + L"\\uninstall.exe") + L" /S"},
        {L"NoModify", L"1"},
        {L"NoRepair", L"1"},
    };
    for (const auto& [name, want] : entry) EXPECT_EQ(RegistryValue(kUninstallKey, name), want);
    EXPECT_TRUE(std::stoul(RegistryValue(kUninstallKey, L"EstimatedSize").value_or(L"0")) >=
          builtExe->size() / 1024);
    for (const std::wstring& kind : kKinds) {
        SCOPED_TRACE(ToUtf8(kind));
        EXPECT_EQ(RegistryValue(VerbKey(kind), L""), L"Diffﾂｰﾙで比較");
        EXPECT_EQ(RegistryValue(VerbKey(kind), L"Icon"), exe + L",0");
        EXPECT_EQ(RegistryValue(VerbKey(kind) + L"\\command", L""), Quoted(exe) + L" \"%1\"");
    }
    EXPECT_TRUE(_wcsicmp(ShortcutTarget(sendTo).c_str(), exe.c_str()) == 0);

    // A pair picked through the registered command reaches the tool.
    WriteStoredSetting(L"SelectExe", L"1");
    WriteStoredSetting(L"WinMergePath", ExePath(L"fake_tool.exe"));
    const std::wstring log = UseFreshFakeLog();
    const std::wstring first = ExePath(L"Duomira.exe"), second = ExePath(L"fake_tool.exe");
    auto pick = [&](const std::wstring& item) { return StartProcess(Quoted(exe) + L" " + Quoted(item)); };
    Process waiting = pick(first);
    RequireWindow(waiting.Id(), ids::kMainWindowClass, 10000);
    EXPECT_TRUE(pick(second).WaitForExit(10000));
    const std::vector<FakeRecord> records = WaitForFakeRecords(log, 1, 10000);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].args,
              (std::vector<std::wstring>{ExePath(L"fake_tool.exe"), L"-r", first, second}));
    EXPECT_TRUE(waiting.WaitForExit(10000));

    // Upgrade in place while a first pick waits: silent setup closes it and
    // replaces every file.
    Process stale = pick(first);
    RequireWindow(stale.Id(), ids::kMainWindowClass, 10000);
    const std::optional<std::string> guide = ReadFileBytes(dir + L"\\" + kGuide);
    ASSERT_TRUE(WriteFileBytes(dir + L"\\" + kGuide, "old guide"));
    RunSilently(ExePath(kSetup));
    EXPECT_TRUE(stale.WaitForExit(5000));
    EXPECT_TRUE(ReadFileBytes(dir + L"\\" + kGuide) == guide);
    EXPECT_TRUE(ReadFileBytes(exe) == builtExe);
    EXPECT_EQ(RegistryValue(kUninstallKey, L"InstallLocation"), dir);

    // package_installer_imports checks the uninstaller's imports on this copy.
    EXPECT_TRUE(CopyFileW((dir + L"\\uninstall.exe").c_str(), (ArtifactsDir() + L"\\uninstall.exe").c_str(), FALSE));

    // Silent uninstall: the uninstaller goes on from a copy in %TEMP% after
    // the started one has ended, so wait for its work to show.
    RunSilently(dir + L"\\uninstall.exe");
    EXPECT_TRUE(WaitUntil([&] { return !RegistryKeyExists(kUninstallKey) && !FileExists(dir); }, 30000,
                    100));
    EXPECT_TRUE(!FileExists(dir));
    EXPECT_TRUE(!FileExists(sendTo));
    EXPECT_TRUE(!RegistryKeyExists(kUninstallKey));
    for (const std::wstring& kind : kKinds) EXPECT_TRUE(!RegistryKeyExists(VerbKey(kind)));
    for (const auto& [key, existed] : holders) {
        SCOPED_TRACE(ToUtf8(key));
        EXPECT_EQ(RegistryKeyExists(key), existed);
    }
    // The settings stay unless the user ticks the box, which /S never does.
    EXPECT_EQ(ReadStoredSetting(L"WinMergePath"), ExePath(L"fake_tool.exe"));
    DeleteAppKey();
}
