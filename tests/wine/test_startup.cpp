// Start-up and pairing of two starts, watched from outside: what each start
// leaves in the registry, which windows it shows, and the exact command line
// with which a second start launches the comparison tool (fake_tool.exe).
#include <algorithm>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "common/expected_texts.h"
#include "driver.h"
#include "main_window/main_window_ids.h"
#include "path_dialog/path_dialog_ids.h"

using namespace duomira::wine;
namespace ids = duomira::ids;

namespace {

using duomira::expected::kPathError;
constexpr wchar_t kNoProgram[] = L"C:\\nowhere\\nothing.exe";

// A first start whose window is up and whose path is recorded.
Process StartFirst(std::wstring_view argument) { return StartWaiting(argument).process; }

struct SecondStart {
    Process process;
    bool ended = false;
    std::vector<std::wstring> windowsSeen;  // classes of visible top-level windows
    Stopwatch sinceEnd;                     // restarted when the end was seen
};

SecondStart RunSecond(std::wstring_view argument) {
    SecondStart second;
    second.process = StartDuomira(argument, TestTempDir());
    second.windowsSeen = VisibleWindowClassesWhileRunning(second.process, 10000);
    second.sinceEnd.Restart();
    second.ended = !second.process.IsRunning();
    return second;
}

// The one record of the fake's log; waits for it, since the tool runs on
// after the start that launched it has ended.
FakeRecord SingleFakeRecord(const std::wstring& log) {
    WaitUntil([&] { return !ReadFakeLog(log).empty(); }, 5000);
    Sleep(100);  // a second, unwanted start would show up by now
    std::vector<FakeRecord> records = ReadFakeLog(log);
    if (records.size() != 1)
        Abort("the tool started " + std::to_string(records.size()) + " times, not once");
    return records.front();
}

// After the message of the error path: OK, then Cancel in the tool path
// dialog should it come up. true when the process has ended.
bool FinishErrorPath(Process& process, HWND messageBox) {
    PressMessageBoxOk(messageBox);
    std::optional<Stopwatch> sinceCancel;
    return WaitUntil(
        [&] {
            if (!process.IsRunning()) return true;
            if (sinceCancel && sinceCancel->ElapsedMs() < 500) return false;
            if (HWND dialog = WaitForWindow(process.Id(), ids::kPathDialogClass, 0)) {
                if (HWND cancel = FindChild(dialog, ids::kPathCommand4)) ClickButton(cancel);
                sinceCancel.emplace();
            }
            return false;
        },
        10000);
}

// What programs write with OutputDebugString while this lives, read as a
// debug-output viewer reads it: from the shared DBWIN buffer.
class DebugOutput {
  public:
    DebugOutput()
        : bufferReady_(CreateEventW(nullptr, FALSE, TRUE, L"DBWIN_BUFFER_READY")),
          dataReady_(CreateEventW(nullptr, FALSE, FALSE, L"DBWIN_DATA_READY")),
          mapping_(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kSize, L"DBWIN_BUFFER")),
          stop_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
        view_ = mapping_ ? MapViewOfFile(mapping_.get(), FILE_MAP_READ, 0, 0, kSize) : nullptr;
        if (!(bufferReady_ && dataReady_ && view_ && stop_))
            Abort("cannot set up the debug output buffer");
        thread_.reset(CreateThread(nullptr, 0, &Read, this, 0, nullptr));
    }
    ~DebugOutput() {
        SetEvent(stop_.get());
        WaitForSingleObject(thread_.get(), 5000);
        if (view_) UnmapViewOfFile(view_);
    }
    DebugOutput(const DebugOutput&) = delete;
    DebugOutput& operator=(const DebugOutput&) = delete;

    std::wstring Text() {
        std::lock_guard guard(lock_);
        return FromCp932(text_);
    }

  private:
    static constexpr DWORD kSize = 4096;  // a process id, then the text
    static DWORD WINAPI Read(void* self) {
        auto* me = static_cast<DebugOutput*>(self);
        const HANDLE events[] = {me->dataReady_.get(), me->stop_.get()};
        while (WaitForMultipleObjects(2, events, FALSE, INFINITE) == WAIT_OBJECT_0) {
            const char* text = static_cast<const char*>(me->view_) + sizeof(DWORD);
            {
                std::lock_guard guard(me->lock_);
                me->text_.append(text, strnlen(text, kSize - sizeof(DWORD)));
            }
            SetEvent(me->bufferReady_.get());
        }
        return 0;
    }
    UniqueKernelHandle bufferReady_, dataReady_, mapping_, stop_, thread_;
    void* view_ = nullptr;
    std::mutex lock_;
    std::string text_;
};

// The message box of the error path, checked for caption and text.
HWND RequirePathErrorMessage(const Process& process) {
    std::optional<MessageBoxInfo> box = WaitForMessageBox(process.Id(), 10000);
    if (!box) Abort("no message box");
    EXPECT_EQ(box->caption, L"Duomira");
    EXPECT_EQ(box->text, kPathError);
    return box->window;
}

}  // namespace

TEST(startup, start_without_argument_ends_untouched) {
    // The argument text is what follows the program name and its blanks.
    for (std::wstring_view argument : {L"", L"   "}) {
        std::wstring line = Quoted(ExePath(L"Duomira.exe")) + std::wstring(argument);
        SCOPED_TRACE("command line " + Show(line));

        DeleteAppKey();
        Process bare = StartProcess(line, TestTempDir());
        std::vector<std::wstring> windows = VisibleWindowClassesWhileRunning(bare, 5000);
        EXPECT_TRUE(!bare.IsRunning());
        EXPECT_EQ(windows, std::vector<std::wstring>{});
        EXPECT_TRUE(!AppKeyExists());

        // Whatever the store holds: not even values that would send a start
        // with an argument to the error path are looked at.
        WriteStoredSetting(L"FileName", L"C:\\waiting.txt");
        WriteStoredSetting(L"SelectExe", L"3");
        WriteStoredSetting(L"DispStyle", L"x");
        WriteStoredSetting(L"WinDiffPath", kNoProgram);
        auto before = AllStoredSettings();
        Process again = StartProcess(line, TestTempDir());
        windows = VisibleWindowClassesWhileRunning(again, 5000);
        EXPECT_TRUE(!again.IsRunning());
        EXPECT_EQ(windows, std::vector<std::wstring>{});
        EXPECT_TRUE(AllStoredSettings() == before);
    }
}

TEST(startup, first_start_records_argument_text_and_waits) {
    const std::vector<std::wstring> arguments{
        L"C:\\My Documents\\report 2024.txt",
        L"\"C:\\My Documents\\report 2024.txt\"",  // the quotes are part of the text
        L"D:\\作業\\比較　対象\\ﾃｽﾄ 1.txt",
        L"C:\\",
    };
    for (const std::wstring& argument : arguments) {
        SCOPED_TRACE("argument " + Show(argument));
        DeleteAppKey();
        Process first = StartDuomira(argument, TestTempDir());
        HWND window = RequireWindow(first.Id(), ids::kMainWindowClass, 10000);
        EXPECT_TRUE(WaitUntil([&] { return ReadStoredSetting(L"FileName").has_value(); }, 2000));
        EXPECT_EQ(ReadStoredSetting(L"FileName"), argument);
        EXPECT_EQ(TextOf(RequireChild(window, ids::kMainLabel2)), argument);
        if (&argument == &arguments.front()) {
            Sleep(300);  // let the controls paint
            SaveScreenshot(L"startup-first-start");
        }

        // It keeps waiting for its partner ...
        Sleep(700);
        EXPECT_TRUE(first.IsRunning());
        // ... until FileName is cleared.
        WriteStoredSetting(L"FileName", L"");
        EXPECT_TRUE(first.WaitForExit(2000));
    }
}

TEST(startup, second_start_launches_tool_and_ends_pairing) {
    struct Case {
        const wchar_t* selectExe;
        const wchar_t* subFlg;
        std::wstring first, second;
        std::wstring switches;  // between the tool path and the paths
    };
    const std::vector<Case> cases{
        {L"0", L"", L"C:\\work\\old\\list.txt", L"C:\\work\\new\\list.txt", L" "},
        {L"0", L"1", L"C:\\work\\old", L"C:\\work\\new", L" -D "},
        {L"1", L"", L"C:\\work\\old", L"C:\\work\\new", L" -r "},
        {L"1", L"1", L"C:\\work\\old\\list.txt", L"C:\\work\\new\\list.txt", L" "},
    };
    double slowestEndMs = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE("SelectExe " + ToUtf8(c.selectExe) + ", SubFlg " + Show(c.subFlg));
        DeleteAppKey();
        // Only the chosen tool's path names a program: the other one fails.
        const bool winMerge = c.selectExe == std::wstring(L"1");
        WriteStoredSetting(L"WinDiffPath", winMerge ? kNoProgram : FakeTool());
        WriteStoredSetting(L"WinMergePath", winMerge ? FakeTool() : kNoProgram);
        WriteStoredSetting(L"SelectExe", c.selectExe);
        WriteStoredSetting(L"SubFlg", c.subFlg);
        const std::wstring log = UseFreshFakeLog();

        Process first = StartFirst(c.first);
        // A second start applies its (hidden) window's display style too:
        // with none stored it is the detailed style, recorded as "3".
        DeleteStoredSetting(L"DispStyle");
        SecondStart second = RunSecond(c.second);
        ASSERT_TRUE(second.ended);
        EXPECT_TRUE(first.WaitForExit(3000));
        const double firstEndMs = second.sinceEnd.ElapsedMs();
        slowestEndMs = std::max(slowestEndMs, firstEndMs);
        EXPECT_TRUE(firstEndMs <= 1000.0);
        EXPECT_EQ(second.windowsSeen, std::vector<std::wstring>{});

        const FakeRecord tool = SingleFakeRecord(log);
        const std::wstring expected = FakeTool() + c.switches + Quoted(c.first) + L" " + Quoted(c.second);
        EXPECT_EQ(tool.commandLine, expected);
        EXPECT_EQ(ReadStoredSetting(L"FileName"), L"");
        EXPECT_EQ(ReadStoredSetting(L"DispStyle"), L"3");
        // A completed pairing leaves the subdirectory option cleared.
        EXPECT_EQ(ReadStoredSetting(L"SubFlg"), L"");
    }
    Note("the first start ended at most " + std::to_string(static_cast<int>(slowestEndMs)) +
         " ms after the second");
}

TEST(startup, paths_reach_tool_as_single_arguments) {
    struct Case {
        std::wstring recorded;  // FileName as a first start left it
        std::wstring argument;  // the second start's argument text
        std::wstring first, second;  // what the tool must receive
    };
    const std::vector<Case> cases{
        {L"\"C:\\My Files\\a.txt\"", L"\"C:\\My Files\\b.txt\"", L"C:\\My Files\\a.txt", L"C:\\My Files\\b.txt"},
        {L"C:\\My Files\\a.txt", L"\"D:\\other dir\"", L"C:\\My Files\\a.txt", L"D:\\other dir"},
        {L"C:\\", L"D:\\data", L"C:\\", L"D:\\data"},
        {L"\"C:\\\"", L"\"D:\\\"", L"C:\\", L"D:\\"},
        {L"C:\\same.txt", L"C:\\same.txt", L"C:\\same.txt", L"C:\\same.txt"},
        {L"C:\\資料\\ﾃｽﾄ　１.txt", L"C:\\資料\\ﾃｽﾄ　２.txt", L"C:\\資料\\ﾃｽﾄ　１.txt", L"C:\\資料\\ﾃｽﾄ　２.txt"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("FileName " + Show(c.recorded) + ", argument " + Show(c.argument));
        DeleteAppKey();
        WriteStoredSetting(L"WinDiffPath", FakeTool());
        // A path left by a first start that no longer runs pairs all the same.
        WriteStoredSetting(L"FileName", c.recorded);
        const std::wstring log = UseFreshFakeLog();

        SecondStart second = RunSecond(c.argument);
        ASSERT_TRUE(second.ended);
        const FakeRecord tool = SingleFakeRecord(log);
        EXPECT_EQ(tool.args, (std::vector<std::wstring>{FakeTool(), c.first, c.second}))
            << "command line " << Show(tool.commandLine);
        EXPECT_EQ(ReadStoredSetting(L"FileName"), L"");
    }
}

TEST(startup, tool_path_with_blanks_is_started) {
    // As with a tool under "C:\Program Files".
    const std::wstring dir = MakeDirs(TestTempDir() + L"\\Diff Tools");
    const std::wstring tool = dir + L"\\fake tool.exe";
    ASSERT_TRUE(CopyFileW(FakeTool().c_str(), tool.c_str(), FALSE));
    WriteStoredSetting(L"SelectExe", L"1");
    WriteStoredSetting(L"WinMergePath", tool);
    WriteStoredSetting(L"FileName", L"C:\\a.txt");
    const std::wstring log = UseFreshFakeLog();

    SecondStart second = RunSecond(L"C:\\b.txt");
    ASSERT_TRUE(second.ended);
    const FakeRecord started = SingleFakeRecord(log);
    ASSERT_TRUE(started.args.size() >= 3);
    EXPECT_EQ(started.args[started.args.size() - 2], L"C:\\a.txt");
    EXPECT_EQ(started.args.back(), L"C:\\b.txt");
    EXPECT_EQ(ReadStoredSetting(L"FileName"), L"");
}

TEST(startup, tool_that_cannot_start_shows_message_and_drops_pair) {
    for (const wchar_t* selectExe : {L"0", L"1"}) {
        SCOPED_TRACE("SelectExe " + ToUtf8(selectExe));
        DeleteAppKey();
        WriteStoredSetting(L"SelectExe", selectExe);
        WriteStoredSetting(L"WinDiffPath", kNoProgram);
        WriteStoredSetting(L"WinMergePath", kNoProgram);
        const std::wstring log = UseFreshFakeLog();

        Process first = StartFirst(L"C:\\work\\a.txt");
        DebugOutput debug;
        Process second = StartDuomira(L"C:\\work\\b.txt", TestTempDir());
        HWND box = RequirePathErrorMessage(second);
        // The failed step, what it started and the system's error code.
        const std::wstring traced = debug.Text();
        const std::wstring step = L"Duomira: CreateProcessW failed for " + std::wstring(kNoProgram) + L" ";
        const size_t at = traced.find(step);
        EXPECT_TRUE(at != std::wstring::npos) << "debug output: " << Show(traced);
        if (at != std::wstring::npos) {
            EXPECT_TRUE(traced.find(L": error ", at) < traced.find(L'\n', at));
        }
        SaveScreenshot(L"startup-path-error-" + std::wstring(selectExe));

        // While the user reads the message, the pick still waits.
        Sleep(700);
        EXPECT_TRUE(first.IsRunning());
        EXPECT_EQ(ReadStoredSetting(L"FileName"), L"C:\\work\\a.txt");
        EXPECT_TRUE(TopLevelWindows(second.Id(), ids::kMainWindowClass).empty());

        EXPECT_TRUE(FinishErrorPath(second, box));
        EXPECT_EQ(ReadStoredSetting(L"FileName"), L"");
        EXPECT_TRUE(first.WaitForExit(2000));
        EXPECT_TRUE(ReadFakeLog(log).empty());
    }
}

TEST(startup, unusable_stored_numbers_take_error_path) {
    struct Case {
        const wchar_t* key;
        const wchar_t* value;
        const wchar_t* recorded;  // FileName before the start: "" = a first start
    };
    const std::vector<Case> cases{
        {L"DispStyle", L"x", L""},
        {L"DispStyle", L"x", L"C:\\work\\a.txt"},
        {L"DispStyle", L"40000", L"C:\\work\\a.txt"},
        {L"SelectExe", L"3", L"C:\\work\\a.txt"},
        {L"SelectExe", L"-1", L"C:\\work\\a.txt"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(ToUtf8(c.key) + " " + Show(c.value) + ", FileName " + Show(c.recorded));
        DeleteAppKey();
        WriteStoredSetting(L"WinDiffPath", FakeTool());
        WriteStoredSetting(c.key, c.value);
        WriteStoredSetting(L"FileName", c.recorded);
        const std::wstring log = UseFreshFakeLog();

        Process start = StartDuomira(L"C:\\work\\b.txt", TestTempDir());
        HWND box = RequirePathErrorMessage(start);
        // The path is not recorded, and no window comes up.
        EXPECT_EQ(ReadStoredSetting(L"FileName"), c.recorded);
        EXPECT_TRUE(TopLevelWindows(start.Id(), ids::kMainWindowClass).empty());
        EXPECT_TRUE(FinishErrorPath(start, box));
        EXPECT_EQ(ReadStoredSetting(L"FileName"), L"");
        EXPECT_TRUE(ReadFakeLog(log).empty());
    }
}

TEST(startup, first_start_with_bad_tool_index_ends_by_its_timer) {
    // The window is loaded (and its timer runs) before the option fails; with
    // FileName still empty the next tick ends the process, OK or not.
    WriteStoredSetting(L"SelectExe", L"3");
    Process start = StartDuomira(L"C:\\work\\a.txt", TestTempDir());
    HWND box = RequirePathErrorMessage(start);
    Stopwatch sinceMessage;
    const bool endedAlone = start.WaitForExit(1000);
    EXPECT_TRUE(endedAlone);
    if (!endedAlone) FinishErrorPath(start, box);
    Note("ended " + std::to_string(static_cast<int>(sinceMessage.ElapsedMs())) + " ms after the message appeared");
    EXPECT_EQ(ReadStoredSetting(L"FileName").value_or(L""), L"");
}

// Other comparison programs, named by the tool path: stand-ins under their names.
TEST(startup, each_program_named_gets_its_own_line) {
    const std::wstring dir = TestTempDir(), meld = dir + L"\\Meld.exe";
    const std::wstring code = dir + L"\\VS Code\\Code.exe";
    const std::wstring script = MakeDirs(dir + L"\\VS Code\\bin") + L"\\code.cmd";
    ASSERT_TRUE(WriteFileBytes(script, "@exit /b 1\r\n"));
    ASSERT_TRUE(CopyFileW(FakeTool().c_str(), meld.c_str(), FALSE));
    ASSERT_TRUE(CopyFileW(FakeTool().c_str(), code.c_str(), FALSE));
    const std::wstring older = dir + L"\\older.txt", newer = dir + L"\\newer.txt";
    ASSERT_TRUE(WriteFileBytes(older, "old"));
    Sleep(100);  // well beyond the file system's time step
    ASSERT_TRUE(WriteFileBytes(newer, "new"));
    WriteStoredSetting(L"WinDiffPath", meld);
    WriteStoredSetting(L"WinMergePath", script);
    WriteStoredSetting(L"SelectExe", L"1");
    WriteStoredSetting(L"SubFlg", L"1");
    const std::wstring log = UseFreshFakeLog();

    // Two at once, the newer first: the program in the folder above bin gets
    // the older on the left.
    EXPECT_TRUE(StartDuomira(Quoted(newer) + L" " + Quoted(older), dir).WaitForExit(10000));
    std::vector<FakeRecord> records = WaitForFakeRecords(log, 1);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].args, (std::vector<std::wstring>{code, L"--diff", older, newer}));

    // Given a folder, VS Code is refused with a message and the first pick
    // waits on; with Meld chosen, the next pick completes it (without -D).
    WaitingStart waiting = StartWaiting(Quoted(dir));
    Process second = StartDuomira(Quoted(older), dir);
    std::optional<MessageBoxInfo> box = WaitForMessageBox(second.Id(), 10000);
    ASSERT_TRUE(box.has_value());
    EXPECT_EQ(box->text, duomira::expected::kFilesOnly);
    PressMessageBoxOk(box->window);
    EXPECT_TRUE(second.WaitForExit(5000));
    WriteStoredSetting(L"SelectExe", L"0");
    EXPECT_TRUE(StartDuomira(Quoted(older), dir).WaitForExit(10000));
    EXPECT_TRUE(waiting.process.WaitForExit(5000));
    records = WaitForFakeRecords(log, 2);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[1].args, (std::vector<std::wstring>{meld, dir, older}));
}
