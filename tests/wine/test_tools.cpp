// Comparison programs other than the rows' own, named by the tool path:
// stand-ins copied under their names.
#include <windows.h>

#include <string>
#include <vector>

#include "common/expected_texts.h"
#include "driver.h"

using namespace duomira::wine;

namespace {

std::wstring Copy(const std::wstring& folder, const wchar_t* name) {
    const std::wstring path = MakeDirs(folder) + L"\\" + name;
    REQUIRE(CopyFileW(FakeTool().c_str(), path.c_str(), FALSE));
    return path;
}

void SetWriteTime(const std::wstring& path, ULONGLONG time) {
    REQUIRE(WriteFileBytes(path, "x"));
    const UniqueFile file(CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr,
                                      OPEN_EXISTING, 0, nullptr));
    const FILETIME written{static_cast<DWORD>(time), static_cast<DWORD>(time >> 32)};
    REQUIRE(file && SetFileTime(file.get(), nullptr, nullptr, &written));
}

}  // namespace

DUOMIRA_WINE_TEST(tools, each_program_gets_its_own_line) {
    const std::wstring dir = TestTempDir();
    const std::wstring meld = Copy(dir + L"\\Meld", L"Meld.exe");
    const std::wstring code = Copy(dir + L"\\VS Code", L"Code.exe");
    REQUIRE(WriteFileBytes(MakeDirs(dir + L"\\VS Code\\bin") + L"\\code.cmd", "@exit /b 1\r\n"));
    const std::wstring older = dir + L"\\older.txt", newer = dir + L"\\newer.txt";
    SetWriteTime(older, 133'000'000'000'000'000ull);
    SetWriteTime(newer, 133'100'000'000'000'000ull);
    WriteStoredSetting(L"WinDiffPath", meld);
    WriteStoredSetting(L"WinMergePath", dir + L"\\VS Code\\bin\\code.cmd");
    WriteStoredSetting(L"SelectExe", L"1");
    WriteStoredSetting(L"SubFlg", L"1");
    const std::wstring log = UseFreshFakeLog();

    // Two at once, the newer first: the program in the folder above bin gets
    // the older on the left, in an ordinary environment.
    CHECK(StartDuomira(Quoted(newer) + L" " + Quoted(older), dir).WaitForExit(10000));
    std::vector<FakeRecord> records = WaitForFakeRecords(log, 1);
    REQUIRE_EQ(records.size(), 1u);
    CHECK_EQ(records[0].args, (std::vector<std::wstring>{code, L"--diff", older, newer}));
    CHECK_EQ(records[0].noCwdSwitch, L"1");

    // Given a folder, VS Code is refused with a message and the first pick
    // waits on; with Meld chosen, the next pick completes it (without -D).
    WaitingStart waiting = StartWaiting(Quoted(dir));
    Process second = StartDuomira(Quoted(older), dir);
    std::optional<MessageBoxInfo> box = WaitForMessageBox(second.Id(), 10000);
    REQUIRE(box.has_value());
    CHECK_EQ(box->text, duomira::expected::kFilesOnly);
    PressMessageBoxOk(box->window);
    CHECK(second.WaitForExit(5000));
    CHECK_EQ(ReadStoredSetting(L"FileName"), Quoted(dir));
    WriteStoredSetting(L"SelectExe", L"0");
    CHECK(StartDuomira(Quoted(older), dir).WaitForExit(10000));
    CHECK(waiting.process.WaitForExit(5000));
    records = WaitForFakeRecords(log, 2);
    REQUIRE_EQ(records.size(), 2u);
    CHECK_EQ(records[1].args, (std::vector<std::wstring>{meld, dir, older}));
}
