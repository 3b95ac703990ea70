// Two items picked together: a start with two paths, and items dropped onto
// the waiting main window.
//
// Drops are posted as WM_DROPFILES with a drop block built in the waiting
// process, as the system's own drop hands it over. A real drag from here
// can't stand in: Wine's DoDragDrop drops only onto windows that registered
// an OLE drop target. Dragged onto the waiting window (WS_EX_ACCEPTFILES), it
// returns DRAGDROP_S_DROP with DROPEFFECT_NONE and the window gets no message,
// where Windows would post it WM_DROPFILES.
#include <windows.h>

#include <shellapi.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "common/expected_texts.h"
#include "driver.h"
#include "launch/command_line.h"

using namespace duomira::wine;

namespace {

// The DROPFILES block of an HDROP: the header, then the paths, each ended by a
// NUL, and one more NUL.
std::string DropBlock(const std::vector<std::wstring>& paths) {
    DROPFILES header{};
    header.pFiles = sizeof header;
    header.fWide = TRUE;
    std::wstring list;
    for (const std::wstring& path : paths) list += path + L'\0';
    list += L'\0';
    std::string block(reinterpret_cast<const char*>(&header), sizeof header);
    block.append(reinterpret_cast<const char*>(list.data()), list.size() * sizeof(wchar_t));
    return block;
}

// Posts WM_DROPFILES to a window of another process, with the drop block in
// that process's memory: a handle of the driver's would mean nothing there.
void PostDrop(HWND target, const std::vector<std::wstring>& paths) {
    DWORD processId = 0;
    GetWindowThreadProcessId(target, &processId);
    const UniqueKernelHandle process(
        OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, processId));
    ASSERT_TRUE(process);
    const std::string block = DropBlock(paths);
    void* remote = VirtualAllocEx(process.get(), nullptr, block.size(), MEM_COMMIT | MEM_RESERVE,
                                  PAGE_READWRITE);
    ASSERT_TRUE(remote &&
            WriteProcessMemory(process.get(), remote, block.data(), block.size(), nullptr));
    ASSERT_TRUE(PostMessageW(target, WM_DROPFILES, reinterpret_cast<WPARAM>(remote), 0));
}

// ---------------------------------------------------------------- starts

void UseFakeForBothTools() {
    WriteStoredSetting(L"WinDiffPath", FakeTool());
    WriteStoredSetting(L"WinMergePath", FakeTool());
}

}  // namespace

TEST(together, arguments_split_as_command_line_to_argv) {
    // The start's own splitter against the system's, on the quoting that
    // shells, shortcuts and hand-written lines produce.
    const std::vector<std::wstring> texts{
        L"C:\\a D:\\b",
        L"\"C:\\my docs\\a b.txt\" \"D:\\x y\"",
        L"  C:\\lead\ttab\t\t",
        L"\"C:\\\\\" \"D:\\\\\"",
        L"\"C:\\\" D:\\",
        L"a\\\\\\\"b \"c\\\\\"d e\\\\\\\\\"f g\"",
        L"\"\" \"\"\"\" \"\"\"\"\"\" x\"\"\"y\"\"\"\"z",
        L"\"a\"\"b c\" \"unclosed d e",
        L"a\"b\"c\"\"d \\\\srv\\share\\ \\x\\\"",
        L"\"C:\\Program Files\\a b.txt\"\"",
        L"C:\\資料\\ﾃｽﾄ　１.txt \"D:\\表 ソ\\\"",
    };
    for (const std::wstring& text : texts) {
        SCOPED_TRACE("text " + Show(text));
        const std::wstring line = L"Duomira.exe " + text;
        int count = 0;
        wchar_t** argv = CommandLineToArgvW(line.c_str(), &count);
        ASSERT_TRUE(argv);
        std::vector<std::wstring> system(argv + 1, argv + count);
        LocalFree(argv);
        EXPECT_EQ(duomira::SplitArguments(text), system);
    }
}

TEST(together, two_paths_compared_at_once_waiting_pick_left_alone) {
    struct Case {
        const wchar_t* selectExe;
        const wchar_t* subFlg;
        std::wstring argument;
        std::vector<std::wstring> args;  // what the tool receives after its name
    };
    const std::vector<Case> cases{
        {L"1", L"", L"\"C:\\My Documents\\old report.txt\" \"D:\\新しい 資料\\report.txt\"",
         {L"-r", L"C:\\My Documents\\old report.txt", L"D:\\新しい 資料\\report.txt"}},
        {L"0", L"", L"C:\\ D:\\", {L"C:\\", L"D:\\"}},  // drive roots, as the shell passes them
    };
    UseFakeForBothTools();
    WaitingStart waiting = StartWaiting(L"\"C:\\waiting pick.txt\"");
    for (const Case& c : cases) {
        SCOPED_TRACE("argument " + Show(c.argument));
        WriteStoredSetting(L"SelectExe", c.selectExe);
        WriteStoredSetting(L"SubFlg", c.subFlg);
        const std::wstring log = UseFreshFakeLog();

        Process start = StartDuomira(c.argument, TestTempDir());
        EXPECT_EQ(VisibleWindowClassesWhileRunning(start, 10000), std::vector<std::wstring>{});
        ASSERT_TRUE(!start.IsRunning());
        const std::vector<FakeRecord> records = WaitForFakeRecords(log, 1);
        ASSERT_EQ(records.size(), 1u);
        std::vector<std::wstring> expected{FakeTool()};
        expected.insert(expected.end(), c.args.begin(), c.args.end());
        EXPECT_EQ(records[0].args, expected);
        // The waiting pick and the options are as they were.
        EXPECT_EQ(ReadStoredSetting(L"FileName"), L"\"C:\\waiting pick.txt\"");
        EXPECT_EQ(ReadStoredSetting(L"SubFlg"), c.subFlg);
        EXPECT_TRUE(waiting.process.IsRunning());
    }

    // Three are refused: a message, nothing started, the pick still waits.
    const std::wstring log = UseFreshFakeLog();
    Process three = StartDuomira(L"C:\\a D:\\b \"E:\\c d\"", TestTempDir());
    std::optional<MessageBoxInfo> box = WaitForMessageBox(three.Id(), 10000);
    ASSERT_TRUE(box.has_value());
    EXPECT_EQ(box->caption, L"Duomira");
    EXPECT_EQ(box->text, duomira::expected::kTwoItemsOnly);
    SaveScreenshot(L"together-three-items");
    PressMessageBoxOk(box->window);
    EXPECT_TRUE(three.WaitForExit(5000));
    EXPECT_TRUE(TopLevelWindows(three.Id()).empty());
    EXPECT_TRUE(ReadFakeLog(log).empty());
    EXPECT_EQ(ReadStoredSetting(L"FileName"), L"\"C:\\waiting pick.txt\"");
    EXPECT_TRUE(waiting.process.IsRunning());
}

TEST(together, drop_onto_waiting_window) {
    UseFakeForBothTools();
    WriteStoredSetting(L"SelectExe", L"1");
    WriteStoredSetting(L"SubFlg", L"1");
    const std::wstring log = UseFreshFakeLog();
    WaitingStart waiting = StartWaiting(L"\"C:\\first pick\\a.txt\"");
    // Explorer drops only onto a window that asks for it.
    EXPECT_TRUE(GetWindowLongPtrW(waiting.main, GWL_EXSTYLE) & WS_EX_ACCEPTFILES);

    // Two items: compared at once; the first pick waits on.
    PostDrop(waiting.main, {L"C:\\x y\\one.txt", L"\\\\server\\share\\two"});
    std::vector<FakeRecord> records = WaitForFakeRecords(log, 1);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].args, (std::vector<std::wstring>{FakeTool(), L"C:\\x y\\one.txt",
                                                          L"\\\\server\\share\\two"}));
    EXPECT_TRUE(waiting.process.IsRunning());
    EXPECT_EQ(ReadStoredSetting(L"FileName"), L"\"C:\\first pick\\a.txt\"");

    // One: the second pick. The pair is compared, FileName cleared, the window ends.
    PostDrop(waiting.main, {L"D:\\second pick"});
    EXPECT_TRUE(waiting.process.WaitForExit(3000));
    records = WaitForFakeRecords(log, 2);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[1].args, (std::vector<std::wstring>{FakeTool(), L"C:\\first pick\\a.txt",
                                                          L"D:\\second pick"}));
    EXPECT_EQ(ReadStoredSetting(L"FileName"), L"");
    EXPECT_EQ(ReadStoredSetting(L"SubFlg"), L"");  // as after any completed pairing
}
