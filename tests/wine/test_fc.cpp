// The FC result script, run for real: a second start with the FC command
// chosen writes diff_tmp.bat into its working directory and starts it through
// the command interpreter. fake_fc.exe stands in for FC: it records how it was
// started and where its output went, and copies the script before the script
// deletes itself. The test reads the script's console, lets it end at its
// final "pause", and leaves no process of it behind.
#include <windows.h>

#include <algorithm>
#include <cwchar>
#include <cwctype>
#include <set>
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

std::wstring FakeFc() { return ExePath(L"fake_fc.exe"); }

// ---------------------------------------------------------------- script text

// Whether the script's (OEM) code page holds the text exactly.
bool ScriptCodePageHolds(std::wstring_view text) {
    return FromOemCodePage(ToOemCodePage(text)) == text;
}

const std::wstring kRule = L"echo #####################################################";
const std::wstring kBanner[] = {
    L"echo   ★Duomiraツール起動★",
    L"echo   出力が終わりました。任意場所に保存して下さい。",
    L"echo   出力結果保存後この画面は消去しますので閉じないで下さい。",
};

// The whole script around its FC line, CR LF after every line but "pause".
std::string ExpectedScript(std::string_view line2) {
    const std::wstring lines[] = {
        L"@echo off",
        L"",  // line 2
        kRule,
        kBanner[0],
        kBanner[1],
        kBanner[2],
        kRule,
        L"rem pause",
        L"diff_tmp.txt",
        L"del diff_tmp.txt",
        L"del diff_tmp.bat",
        L"if exist diff_tmp.txt echo [ｴﾗｰ:diff_tmp.txt削除に失敗。削除して下さい。] & goto Err",
        L"if exist diff_tmp.bat echo [ｴﾗｰ:diff_tmp.bat削除に失敗。削除して下さい。] & goto Err",
        L":Err",
        L"pause",
    };
    std::string bytes;
    for (size_t i = 0; i < std::size(lines); ++i) {
        bytes += i == 1 ? std::string(line2) : ToOemCodePage(lines[i]);
        if (i + 1 < std::size(lines)) bytes += "\r\n";
    }
    return bytes;
}

// Line 2 of a script (between the first and second CR LF).
std::string ScriptLine2(const std::string& script) {
    const size_t begin = script.find("\r\n");
    if (begin == std::string::npos) return {};
    const size_t end = script.find("\r\n", begin + 2);
    return script.substr(begin + 2, end == std::string::npos ? std::string::npos : end - begin - 2);
}

// ---------------------------------------------------------------- processes

// Starts Duomira.exe as the shell's menu does: from a process without a
// console. (Started like the driver's other programs, it would share the
// driver's console and standard handles, and so would the script's
// interpreter: no window of its own, and its "pause" would read the driver's
// empty input and return at once.)
Process StartFromShell(std::wstring_view argumentText, const std::wstring& workDir) {
    std::wstring line = DuomiraCommandLine(argumentText);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, DETACHED_PROCESS, nullptr,
                        workDir.c_str(), &startup, &info))
        Abort("CreateProcessW failed (error " + std::to_string(GetLastError()) + ") for " +
             Show(line));
    const UniqueKernelHandle thread(info.hThread);
    return Process(info.hProcess, info.dwProcessId);
}

// Running processes started by parent, optionally only those of one file name.
std::vector<DWORD> ChildrenOf(DWORD parent, std::wstring_view exe = {}) {
    std::vector<DWORD> ids;
    for (const ProcessEntry& p : RunningProcesses())
        if (p.parent == parent &&
            (exe.empty() || _wcsicmp(p.exe.c_str(), std::wstring(exe).c_str()) == 0))
            ids.push_back(p.id);
    return ids;
}

bool IsRunning(DWORD id) {
    const UniqueKernelHandle process(OpenProcess(SYNCHRONIZE, FALSE, id));
    return process && WaitForSingleObject(process.get(), 0) == WAIT_TIMEOUT;
}

void KillTree(DWORD id) {
    for (DWORD child : ChildrenOf(id)) KillTree(child);
    KillProcessById(id);
}

// The driver ends only Duomira.exe and the fakes between tests; the command
// interpreter that a second start leaves behind (with its console and whatever
// the script opened) is ended here when the test is over, pass or fail. Also
// clears DUOMIRA_FAKE_FC_COPY.
class ScriptCleanup {
  public:
    ScriptCleanup() = default;
    ScriptCleanup(const ScriptCleanup&) = delete;
    ScriptCleanup& operator=(const ScriptCleanup&) = delete;
    ~ScriptCleanup() {
        for (DWORD start : starts_)
            for (DWORD cmd : ChildrenOf(start, L"cmd.exe")) KillTree(cmd);
        SetEnvironmentVariableW(L"DUOMIRA_FAKE_FC_COPY", nullptr);
    }
    void Watch(const Process& start) { starts_.push_back(start.Id()); }

  private:
    std::vector<DWORD> starts_;
};

// ---------------------------------------------------------------- the script's console

// The driver joins the console of another process while this lives: reads its
// screen, types into it. Its own standard handles are put back afterwards.
class ForeignConsole {
  public:
    explicit ForeignConsole(DWORD processId) {
        for (size_t i = 0; i < 3; ++i) saved_[i] = GetStdHandle(kStd[i]);
        FreeConsole();
        attached_ = AttachConsole(processId) != FALSE;
        if (!attached_) return;
        out_.reset(CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
        in_.reset(CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
    }
    ~ForeignConsole() {
        out_.reset();
        in_.reset();
        if (attached_) FreeConsole();
        for (size_t i = 0; i < 3; ++i) SetStdHandle(kStd[i], saved_[i]);
    }
    ForeignConsole(const ForeignConsole&) = delete;
    ForeignConsole& operator=(const ForeignConsole&) = delete;

    bool Attached() const {
        return attached_ && out_ && in_;
    }

    // The screen's rows up to the cursor, blanks at their ends cut.
    std::vector<std::wstring> Lines() const {
        std::vector<std::wstring> lines;
        CONSOLE_SCREEN_BUFFER_INFO info{};
        if (!GetConsoleScreenBufferInfo(out_.get(), &info)) return lines;
        std::wstring row(static_cast<size_t>(info.dwSize.X), L' ');
        for (SHORT y = 0; y <= info.dwCursorPosition.Y; ++y) {
            DWORD read = 0;
            ReadConsoleOutputCharacterW(out_.get(), row.data(), info.dwSize.X, COORD{0, y}, &read);
            std::wstring line = row.substr(0, read);
            line.erase(line.find_last_not_of(L' ') + 1);
            lines.push_back(line);
        }
        return lines;
    }

    // One press and release of Enter.
    bool PressEnter() const {
        INPUT_RECORD keys[2]{};
        for (int i = 0; i < 2; ++i) {
            keys[i].EventType = KEY_EVENT;
            keys[i].Event.KeyEvent.bKeyDown = i == 0;
            keys[i].Event.KeyEvent.wRepeatCount = 1;
            keys[i].Event.KeyEvent.wVirtualKeyCode = VK_RETURN;
            keys[i].Event.KeyEvent.uChar.UnicodeChar = L'\r';
        }
        DWORD written = 0;
        return WriteConsoleInputW(in_.get(), keys, 2, &written) && written == 2;
    }

  private:
    static constexpr DWORD kStd[3] = {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};
    HANDLE saved_[3]{};
    bool attached_ = false;
    UniqueFile out_;
    UniqueFile in_;
};

// ---------------------------------------------------------------- one FC comparison

bool SameText(std::wstring_view a, std::wstring_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(),
                      [](wchar_t x, wchar_t y) { return std::towlower(x) == std::towlower(y); });
}

// Whether two paths name the same file or folder (same volume, same file id).
bool SameItem(const std::wstring& a, const std::wstring& b) {
    auto identify = [](const std::wstring& path) -> std::optional<std::pair<DWORD, ULONGLONG>> {
        const UniqueFile file(
            CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        if (!file) return std::nullopt;
        BY_HANDLE_FILE_INFORMATION info{};
        const bool ok = GetFileInformationByHandle(file.get(), &info) != FALSE;
        if (!ok) return std::nullopt;
        return std::make_pair(info.dwVolumeSerialNumber,
                              (static_cast<ULONGLONG>(info.nFileIndexHigh) << 32) |
                                  info.nFileIndexLow);
    };
    auto idA = identify(a);
    return idA && idA == identify(b);
}

// The "stdout=" field of fake_fc.exe's last record (its %XX escapes undone).
std::wstring FcOutputFile(const std::wstring& log) {
    const std::string bytes = ReadFileBytes(log).value_or("");
    const size_t at = bytes.rfind("\nstdout=");
    if (at == std::string::npos) return {};
    const size_t begin = at + 8;
    const std::string field = bytes.substr(begin, bytes.find('\n', begin) - begin);
    std::string raw;
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '%' && i + 2 < field.size()) {
            raw += static_cast<char>(std::stoi(field.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            raw += field[i];
        }
    }
    return FromUtf8(raw);
}

struct ScriptRun {
    std::optional<std::string> script;    // diff_tmp.bat as it was when FC ran
    std::optional<FakeRecord> fc;         // how FC was started
    std::wstring fcOutput;                // where FC's output went
    double msToFc = 0;                    // from the second start to FC's start
    Stopwatch sinceSecondEnded;
    bool secondEnded = false;
    bool cmdStarted = false;
    bool consoleRead = false;
    std::vector<std::wstring> console;    // the script's screen before its last "pause"
    std::set<HWND> consoleWindows;        // visible windows of its console host
    bool consoleWindowRestored = false;   // one of them seen not minimised
    bool consoleWindowActive = false;     // one of them seen in the foreground
    bool editorSeen = false;              // line 9 opened the report in a window
    std::wstring editorText;              // what that window showed
    bool cmdEnded = false;                // the script ran to its end
    size_t fcStarts = 0;                  // FC starts in all
};

// A second start for the FC command with argumentText, in workDir; then the
// script is followed to its end. FileName and CmdPath must be set.
ScriptRun RunFcComparison(ScriptCleanup& cleanup, std::wstring_view argumentText,
                          const std::wstring& workDir) {
    ScriptRun run;
    const std::wstring log = UseFreshFakeLog();
    const std::wstring copy = log + L".script.bat";
    SetEnvironmentVariableW(L"DUOMIRA_FAKE_FC_COPY", copy.c_str());
    WriteStoredSetting(L"SelectExe", L"2");

    Stopwatch sinceStart;
    Process second = StartFromShell(argumentText, workDir);
    cleanup.Watch(second);
    const bool fcStarted = WaitUntil([&] { return !ReadFakeLog(log).empty(); }, 10000, 5);
    run.msToFc = sinceStart.ElapsedMs();
    run.secondEnded = second.WaitForExit(5000);
    run.sinceSecondEnded.Restart();
    if (!fcStarted) return run;
    run.fc = ReadFakeLog(log).front();
    run.fcOutput = FcOutputFile(log);
    run.script = ReadFileBytes(copy);

    std::vector<DWORD> cmds;
    run.cmdStarted =
        WaitUntil([&] { return !(cmds = ChildrenOf(second.Id(), L"cmd.exe")).empty(); }, 3000);
    if (!run.cmdStarted) return run;
    const DWORD cmd = cmds.front();

    // Line 9 may open the report in an editor, which the script waits for;
    // once the report has been deleted (line 10) the script heads for "pause".
    const std::wstring report = workDir + L"\\diff_tmp.txt";
    std::optional<Stopwatch> lastKey;
    run.cmdEnded = WaitUntil(
        [&] {
            if (!IsRunning(cmd)) return true;
            // The script's window: minimised, and the focus stays where it was.
            for (DWORD host : ChildrenOf(cmd, L"conhost.exe")) {
                for (HWND window : TopLevelWindows(host)) {
                    run.consoleWindows.insert(window);
                    if (!IsIconic(window)) run.consoleWindowRestored = true;
                    if (GetForegroundWindow() == window) run.consoleWindowActive = true;
                }
            }
            if (!run.editorSeen) {
                for (DWORD child : ChildrenOf(cmd)) {
                    for (HWND editor : TopLevelWindows(child, L"Notepad")) {
                        run.editorSeen = true;
                        if (HWND edit = FindWindowExW(editor, nullptr, L"Edit", nullptr))
                            run.editorText = TextOf(edit);
                        duomira::wine::CloseWindow(editor);
                    }
                }
            }
            if (FileExists(report)) return false;
            ForeignConsole console(cmd);
            if (!console.Attached()) return false;
            if (!run.consoleRead) {
                run.console = console.Lines();
                run.consoleRead = true;
            }
            if (!lastKey || lastKey->ElapsedMs() >= 200) {
                console.PressEnter();
                lastKey.emplace();
            }
            return false;
        },
        10000, 20);
    if (!run.cmdEnded) KillTree(cmd);
    run.fcStarts = ReadFakeLog(log).size();
    return run;
}

// Whether the rows hold the banner of lines 3 to 7, as echo prints it (with
// what the script's code page lacks replaced).
bool ShowsBanner(const std::vector<std::wstring>& rows) {
    std::vector<std::wstring> banner{kRule.substr(5)};
    for (const std::wstring& line : kBanner)
        banner.push_back(FromOemCodePage(ToOemCodePage(line.substr(5))));
    banner.push_back(kRule.substr(5));
    return std::search(rows.begin(), rows.end(), banner.begin(), banner.end()) != rows.end();
}

// The checks every comparison shares: FC ran once, in workDir, with its output
// in the report there, on exactly the two paths; the script window came up
// minimised without the focus, showed the banner, and the script ran to its
// end, deleting the report and itself.
void CheckComparison(const ScriptRun& run, const std::wstring& workDir, const std::wstring& first,
                     const std::wstring& second, std::wstring_view fileNameAfter = L"") {
    ASSERT_TRUE(run.fc.has_value());
    EXPECT_TRUE(run.secondEnded);
    EXPECT_EQ(run.fcStarts, 1u);
    EXPECT_EQ(run.fc->args, (std::vector<std::wstring>{FakeFc(), first, second}));
    EXPECT_TRUE(SameText(run.fc->workDir, workDir));
    EXPECT_TRUE(SameText(run.fcOutput, workDir + L"\\diff_tmp.txt"))
        << "FC's output went to " << Show(run.fcOutput);
    ASSERT_TRUE(run.cmdStarted);
    EXPECT_TRUE(!run.consoleWindows.empty());
    EXPECT_TRUE(!run.consoleWindowRestored);
    EXPECT_TRUE(!run.consoleWindowActive);
    if (run.editorSeen) {
        const std::wstring report =
            L"fake_fc report\r\nargc=3\r\narg1=" + first + L"\r\narg2=" + second + L"\r\n";
        EXPECT_EQ(run.editorText, report);
    }
    EXPECT_TRUE(run.consoleRead);
    EXPECT_TRUE(ShowsBanner(run.console)) << "console: " << Show(run.console);
    EXPECT_TRUE(run.cmdEnded);
    EXPECT_TRUE(WaitUntil(
        [&] {
            return !FileExists(workDir + L"\\diff_tmp.txt") &&
                   !FileExists(workDir + L"\\diff_tmp.bat");
        },
        2000));
    EXPECT_EQ(ReadStoredSetting(L"FileName"), fileNameAfter);
}

// The error path: the message box, OK, then the tool path dialog must come
// up; "キャンセル" closes it and the start ends.
void FinishErrorPath(Process& start) {
    std::optional<MessageBoxInfo> box = WaitForMessageBox(start.Id(), 10000);
    if (!box) Abort("no message box");
    EXPECT_EQ(box->caption, L"Duomira");
    EXPECT_EQ(box->text, kPathError);
    PressMessageBoxOk(box->window);
    HWND dialog = RequireWindow(start.Id(), ids::kPathDialogClass, 10000);
    ClickButton(RequireChild(dialog, ids::kPathCommand4));
    EXPECT_TRUE(start.WaitForExit(5000));
}

}  // namespace

TEST(fc, second_start_runs_script_on_both_paths) {
    ScriptCleanup cleanup;
    const std::wstring temp = TestTempDir();
    const std::wstring fc = FakeFc();
    struct Case {
        std::wstring name;
        bool firstStart;             // a waiting first instance, or only FileName left over
        std::wstring recorded;       // the first pick's argument text
        std::wstring argument;       // the second pick's
        std::wstring first, second;  // what FC must receive
        std::wstring line2;          // the script's FC line
        std::string oldScript;       // a diff_tmp.bat already in the working folder
    };
    const std::wstring a = temp + L"\\old (1) & co\\list 100%.txt";
    const std::wstring b = temp + L"\\new ^ 2!\\list %PATH%.txt";
    const std::wstring c = temp + L"\\資料\\ﾃｽﾄ　１.txt";
    const std::wstring d = temp + L"\\資料\\表ソ";  // its last character's second byte is 5C
    std::string junk;
    for (int i = 0; i < 2000; ++i) junk += "echo leftover line " + std::to_string(i) + "\r\n";
    const std::vector<Case> cases{
        {L"specials", true, a, b, a, b,
         L"\"" + fc + L"\" \"" + temp + L"\\old (1) & co\\list 100%%.txt\" \"" + temp +
             L"\\new ^ 2!\\list %%PATH%%.txt\" > diff_tmp.txt",
         ""},
        {L"roots", false, L"\"C:\\\"", L"Z:\\", L"C:\\", L"Z:\\",
         L"\"" + fc + L"\" \"C:\\\\\" \"Z:\\\\\" > diff_tmp.txt", junk},
        {L"japanese", false, c, L"\"" + d + L"\"", c, d,
         L"\"" + fc + L"\" \"" + c + L"\" \"" + d + L"\" > diff_tmp.txt", ""},
    };
    double slowestToFc = 0, slowestFirstEnd = 0;
    bool editorSeen = false;
    for (const Case& k : cases) {
        SCOPED_TRACE(ToUtf8(k.name));
        DeleteAppKey();
        WriteStoredSetting(L"CmdPath", fc);
        WriteStoredSetting(L"SelectExe", L"2");
        const std::wstring workDir = MakeDirs(temp + L"\\run-" + k.name);
        if (!k.oldScript.empty()) {
            ASSERT_TRUE(WriteFileBytes(workDir + L"\\diff_tmp.bat", k.oldScript));
        }

        std::optional<Process> first;
        if (k.firstStart) {
            first = StartFromShell(k.recorded, temp);
            RequireWindow(first->Id(), ids::kMainWindowClass, 10000);
            ASSERT_TRUE(
                WaitUntil([&] { return ReadStoredSetting(L"FileName") == k.recorded; }, 5000));
        } else {
            WriteStoredSetting(L"FileName", k.recorded);
        }

        ScriptRun run = RunFcComparison(cleanup, k.argument, workDir);
        if (first) {
            EXPECT_TRUE(first->WaitForExit(3000));
            const double endMs = run.sinceSecondEnded.ElapsedMs();
            slowestFirstEnd = std::max(slowestFirstEnd, endMs);
            EXPECT_TRUE(endMs <= 1000.0);
        }
        slowestToFc = std::max(slowestToFc, run.msToFc);
        ASSERT_TRUE(run.script.has_value());
        const std::string expected = ExpectedScript(Cp932(k.line2).value());
        EXPECT_TRUE(*run.script == expected)
            << "line 2 written: " << Show(FromCp932(ScriptLine2(*run.script))) << ", "
            << run.script->size() << " bytes, expected " << expected.size();
        CheckComparison(run, workDir, k.first, k.second);
        editorSeen = editorSeen || run.editorSeen;
    }
    Note(editorSeen ? "line 9 opened the report in Notepad"
                    : "line 9 opened no window (this interpreter runs no document by its type)");
    Note("second start to FC start: at most " + std::to_string(static_cast<int>(slowestToFc)) +
         " ms; the first start ended " + std::to_string(static_cast<int>(slowestFirstEnd)) +
         " ms after the second");
}

TEST(fc, path_outside_script_code_page_uses_short_name) {
    ScriptCleanup cleanup;
    const std::wstring temp = TestTempDir();
    const std::wstring folder = MakeDirs(temp + L"\\café œuvre");
    const std::wstring file = folder + L"\\note.txt";
    ASSERT_TRUE(WriteFileBytes(file, "note\r\n"));
    const std::wstring toolDir = MakeDirs(temp + L"\\outils é");
    const std::wstring tool = toolDir + L"\\fake_fc.exe";
    ASSERT_TRUE(CopyFileW(FakeFc().c_str(), tool.c_str(), FALSE));

    // Whether this system keeps short names that its (OEM) code page can spell.
    wchar_t shortName[MAX_PATH * 2] = {};
    const DWORD length = GetShortPathNameW(folder.c_str(), shortName, MAX_PATH * 2);
    const bool shortNames = length > 0 && Cp932(std::wstring_view(shortName, length)).has_value();
    Note(std::string("short names: ") +
         (shortNames ? Show(std::wstring(shortName, length)) : "none"));

    const std::wstring workDir = MakeDirs(temp + L"\\run");
    WriteStoredSetting(L"CmdPath", tool);
    WriteStoredSetting(L"FileName", file);
    if (shortNames) {
        ScriptRun run = RunFcComparison(cleanup, folder, workDir);
        ASSERT_TRUE(run.script.has_value());
        // The script's FC line spells each item in the OEM code page, with no
        // stand-in characters, and everything else is the usual script.
        const std::string line2 = ScriptLine2(*run.script);
        EXPECT_EQ(*run.script, ExpectedScript(line2));
        EXPECT_TRUE(line2.find('?') == std::string::npos);
        EXPECT_TRUE(Cp932(FromCp932(line2)) == line2);
        ASSERT_TRUE(run.fc.has_value());
        ASSERT_EQ(run.fc->args.size(), 3u);
        EXPECT_TRUE(SameItem(run.fc->args[0], tool));
        EXPECT_TRUE(SameItem(run.fc->args[1], file));
        EXPECT_TRUE(SameItem(run.fc->args[2], folder));
        Note("FC line: " + Show(FromCp932(line2)));
        EXPECT_TRUE(run.cmdEnded);
        EXPECT_TRUE(WaitUntil([&] { return !FileExists(workDir + L"\\diff_tmp.bat"); }, 2000));
        EXPECT_EQ(ReadStoredSetting(L"FileName"), L"");
    }

    // An item that doesn't exist has no short name: nothing is written or
    // started, and the pair is dropped.
    const std::wstring missing = temp + L"\\déjà vu\\gone.txt";
    for (const std::wstring& argument : {missing, shortNames ? std::wstring() : folder}) {
        if (argument.empty()) continue;
        SCOPED_TRACE("argument " + Show(argument));
        const std::wstring log = UseFreshFakeLog();
        WriteStoredSetting(L"SelectExe", L"2");
        WriteStoredSetting(L"FileName", file);
        Process second = StartFromShell(argument, workDir);
        cleanup.Watch(second);
        FinishErrorPath(second);
        EXPECT_EQ(ReadStoredSetting(L"FileName"), L"");
        EXPECT_TRUE(!FileExists(workDir + L"\\diff_tmp.bat"));
        EXPECT_TRUE(ChildrenOf(second.Id()).empty());
        EXPECT_TRUE(ReadFakeLog(log).empty());
    }
}

TEST(fc, script_that_cannot_be_written_takes_error_path) {
    ScriptCleanup cleanup;
    // A folder in the way: even an administrator can't create the file.
    const std::wstring workDir = MakeDirs(TestTempDir() + L"\\run");
    MakeDirs(workDir + L"\\diff_tmp.bat");
    WriteStoredSetting(L"SelectExe", L"2");
    WriteStoredSetting(L"CmdPath", FakeFc());
    const std::wstring log = UseFreshFakeLog();

    Process first = StartFromShell(L"C:\\work\\a.txt", TestTempDir());
    RequireWindow(first.Id(), ids::kMainWindowClass, 10000);
    ASSERT_TRUE(
        WaitUntil([] { return ReadStoredSetting(L"FileName") == L"C:\\work\\a.txt"; }, 5000));

    Process second = StartFromShell(L"C:\\work\\b.txt", workDir);
    cleanup.Watch(second);
    FinishErrorPath(second);
    EXPECT_EQ(ReadStoredSetting(L"FileName"), L"");
    EXPECT_TRUE(first.WaitForExit(2000));
    EXPECT_TRUE(ChildrenOf(second.Id()).empty());
    EXPECT_TRUE(ReadFakeLog(log).empty());
    const DWORD attributes = GetFileAttributesW((workDir + L"\\diff_tmp.bat").c_str());
    EXPECT_TRUE(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY));
}

TEST(fc, two_paths_in_one_start_run_script_and_leave_pick) {
    ScriptCleanup cleanup;
    const std::wstring temp = TestTempDir();
    const std::wstring a = temp + L"\\old (1)\\list 100%.txt";
    const std::wstring b = temp + L"\\資料\\ﾃｽﾄ　２.txt";
    WriteStoredSetting(L"CmdPath", FakeFc());
    WriteStoredSetting(L"FileName", L"C:\\waiting.txt");
    const std::wstring workDir = MakeDirs(temp + L"\\run");
    ScriptRun run = RunFcComparison(cleanup, Quoted(a) + L" " + Quoted(b), workDir);
    ASSERT_TRUE(run.script.has_value());
    const std::wstring line2 = Quoted(FakeFc()) + L" \"" + temp + L"\\old (1)\\list 100%%.txt\" " +
                               Quoted(b) + L" > diff_tmp.txt";
    EXPECT_TRUE(*run.script == ExpectedScript(Cp932(line2).value()));
    CheckComparison(run, workDir, a, b, L"C:\\waiting.txt");
}

TEST(fc, script_in_code_page_of_system) {
    // Run under several locales (see cmake/windows.cmake). The script is
    // written in the interpreter's (OEM) code page: its FC line exactly, the
    // Japanese banner with the system's replacement where the page lacks it.
    ScriptCleanup cleanup;
    const UINT oem = GetOEMCP();
    Note("ANSI code page " + std::to_string(GetACP()) + ", OEM code page " + std::to_string(oem));
    wchar_t locale[64] = {};
    GetEnvironmentVariableW(L"DUOMIRA_WINE_LOCALE", locale, 64);
    const std::wstring_view system(locale);
    const UINT expected = system.starts_with(L"en_US") ? 437u
                          : system.starts_with(L"zh_CN") ? 936u
                          : system.starts_with(L"hi_IN") ? 65001u
                                                         : 932u;
    ASSERT_EQ(oem, expected);

    // Item names with what this code page holds beyond ASCII; "é" is where
    // ANSI 1252 and OEM 437 differ.
    std::wstring name;
    for (const wchar_t* part : {L"é", L"ü", L"資料", L"资料", L"ﾃｽﾄ", L"😀"})
        if (ScriptCodePageHolds(part)) name += part;
    ASSERT_TRUE(!name.empty());
    const std::wstring temp = TestTempDir();
    const std::wstring a = temp + L"\\" + name + L"\\old 1.txt";
    const std::wstring b = temp + L"\\" + name + L"\\new 2.txt";
    WriteStoredSetting(L"CmdPath", FakeFc());
    WriteStoredSetting(L"FileName", a);
    const std::wstring workDir = MakeDirs(temp + L"\\run");

    ScriptRun run = RunFcComparison(cleanup, b, workDir);
    ASSERT_TRUE(run.script.has_value());
    const std::wstring line2 = Quoted(FakeFc()) + L" " + Quoted(a) + L" " + Quoted(b) + L" > diff_tmp.txt";
    ASSERT_TRUE(ScriptCodePageHolds(line2));
    EXPECT_TRUE(*run.script == ExpectedScript(ToOemCodePage(line2)))
        << "script written: " << Show(FromOemCodePage(*run.script));
    CheckComparison(run, workDir, a, b);
}

TEST(fc, programs_never_start_from_the_working_directory) {
    // The picks are started in the folder of the picked items. A program of
    // the tool's name lying there must not run: a stand-in WINDIFF.exe on PATH
    // runs, the decoy among the items never does. Wine's own command
    // interpreter looks in the working directory whatever it is told, so for
    // FC the check is what the script's processes inherit: the switch that
    // tells Windows' interpreter to leave the working directory out.
    ScriptCleanup cleanup;
    const std::wstring temp = TestTempDir();
    const std::wstring bin = MakeDirs(temp + L"\\bin");
    const std::wstring workDir = MakeDirs(temp + L"\\picked; items");
    ASSERT_TRUE(
        CopyFileW(ExePath(L"fake_tool.exe").c_str(), (bin + L"\\WINDIFF.exe").c_str(), FALSE));
    ASSERT_TRUE(
        CopyFileW(ExePath(L"fake_tool.exe").c_str(), (workDir + L"\\WINDIFF.exe").c_str(), FALSE));
    ASSERT_TRUE(CopyFileW(FakeFc().c_str(), (bin + L"\\FC.exe").c_str(), FALSE));
    const PathPrepended path(bin);

    const std::wstring a = workDir + L"\\a.txt", b = workDir + L"\\b.txt";
    const std::wstring log = UseFreshFakeLog();
    WriteStoredSetting(L"FileName", a);
    Process second = StartDuomira(b, workDir);
    EXPECT_TRUE(second.WaitForExit(10000));
    const std::vector<FakeRecord> tools = WaitForFakeRecords(log, 1);
    ASSERT_EQ(tools.size(), 1u);
    EXPECT_TRUE(SameItem(tools[0].exe, bin + L"\\WINDIFF.exe"));
    EXPECT_EQ(tools[0].args, (std::vector<std::wstring>{L"WINDIFF.exe", a, b}));
    EXPECT_TRUE(SameText(tools[0].workDir, workDir));
    EXPECT_EQ(tools[0].noCwdSwitch, L"1");
    EXPECT_EQ(ReadStoredSetting(L"FileName"), L"");

    // The FC command by its bare default name, "FC".
    WriteStoredSetting(L"FileName", a);
    ScriptRun run = RunFcComparison(cleanup, b, workDir);
    ASSERT_TRUE(run.fc.has_value());
    EXPECT_TRUE(SameItem(run.fc->exe, bin + L"\\FC.exe"));
    EXPECT_EQ(run.fc->args, (std::vector<std::wstring>{L"FC", a, b}));
    EXPECT_EQ(run.fc->noCwdSwitch, L"1");
    // The script still finds its report, named as a command: the working
    // directory comes last in its PATH, behind the stand-in's folder, and
    // quoted, so that the ";" in its name does not split it.
    const std::wstring& fcPath = run.fc->searchPath;
    const std::wstring workEntry = L";\"" + workDir + L"\"";
    EXPECT_TRUE(SameText(fcPath.substr(0, bin.size() + 1), bin + L";"));
    EXPECT_TRUE(fcPath.size() > workEntry.size() &&
                SameText(fcPath.substr(fcPath.size() - workEntry.size()), workEntry));
    EXPECT_EQ(tools[0].searchPath, bin + L";" + path.Original());
    EXPECT_TRUE(run.cmdEnded);
    EXPECT_EQ(ReadStoredSetting(L"FileName"), L"");
}
