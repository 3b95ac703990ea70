// Hostile input and faults against the real program: stored values of any
// text, type and length in the registry, argument texts that mean something
// to a command line, picks that overlap, and a waiting partner that dies. In
// every case no process crashes or hangs, a tool is started only with the
// two picked paths, and the pairing ends with FileName cleared (or, for a
// partner that died, with its pick kept for the next start).
#include <algorithm>
#include <map>
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

// Both diff tools are the fake, so whichever index a value selects, its start is logged.
std::wstring UseFakeTools() {
    WriteStoredSetting(L"WinDiffPath", FakeTool());
    WriteStoredSetting(L"WinMergePath", FakeTool());
    return UseFreshFakeLog();
}

// A first start whose window is up and whose argument text is recorded.
Process StartFirst(std::wstring_view argument) {
    Process first = StartDuomira(argument, TestTempDir());
    RequireWindow(first.Id(), ids::kMainWindowClass, 10000);
    if (!WaitUntil([&] { return ReadStoredSetting(L"FileName") == std::wstring(argument); }, 5000))
        Abort("FileName was not recorded for " + Show(argument.substr(0, 200)));
    return first;
}

// OK on the message, then Cancel in the tool path dialog should it stay up,
// and OK on any report of a failure that follows (returned in *reports).
// true when the process has ended.
bool FinishErrorPath(const Process& process, HWND messageBox, std::vector<std::wstring>* reports = nullptr) {
    PressMessageBoxOk(messageBox);
    std::optional<Stopwatch> sinceClick;
    std::set<HWND> pressed{messageBox};
    return WaitUntil(
        [&] {
            if (!process.IsRunning()) return true;
            if (sinceClick && sinceClick->ElapsedMs() < 300) return false;
            for (HWND box : TopLevelWindows(process.Id(), kMessageBoxClass)) {
                if (!pressed.insert(box).second) continue;
                if (reports) reports->push_back(TextOf(FindChild(box, kMessageBoxTextId)));
                PressMessageBoxOk(box);
                sinceClick.emplace();
                return false;
            }
            if (HWND dialog = WaitForWindow(process.Id(), ids::kPathDialogClass, 0)) {
                if (HWND cancel = FindChild(dialog, ids::kPathCommand4)) ClickButton(cancel);
                sinceClick.emplace();
            }
            return false;
        },
        10000);
}

std::string Brief(std::wstring_view text) {
    std::wstring shown(text.substr(0, 60));
    for (wchar_t& c : shown) {
        if (c < 0x20) c = L'?';
    }
    return Show(shown) + (text.size() > 60 ? " (" + std::to_string(text.size()) + " chars)" : "");
}

// What one start did: the tool it started (from the fake's log) or the error path.
struct Outcome {
    bool errorPath = false;
    std::vector<std::wstring> reports;  // failures reported after the error path's message
    bool ended = false;
    std::optional<DWORD> exitCode;
    std::vector<FakeRecord> tools;
};

// Starts Duomira with the argument and follows it to its end: through the
// error path when its message comes, else until it ends by itself or shows
// its main window (a first start, which is left running in *waiting).
Outcome Follow(std::wstring_view argument, const std::wstring& log, Process* waiting = nullptr) {
    Outcome outcome;
    Process start = StartDuomira(argument, TestTempDir());
    std::optional<MessageBoxInfo> box;
    bool firstStart = false;
    WaitUntil(
        [&] {
            if (!start.IsRunning()) return true;
            box = WaitForMessageBox(start.Id(), 0);
            firstStart = WaitForWindow(start.Id(), ids::kMainWindowClass, 0) != nullptr;
            return box.has_value() || firstStart;
        },
        10000);
    if (box) {
        outcome.errorPath = true;
        EXPECT_EQ(box->caption, L"Duomira");
        EXPECT_EQ(box->text, kPathError);
        outcome.ended = FinishErrorPath(start, box->window, &outcome.reports);
        if (!outcome.ended) {
            for (HWND window : TopLevelWindows(start.Id()))
                Note("still up: " + Show(ClassNameOf(window)) + " " + Brief(TextOf(window)) + " " +
                     Brief(TextOf(FindChild(window, kMessageBoxTextId))));
        }
    } else if (firstStart && waiting) {
        *waiting = std::move(start);
        return outcome;
    } else {
        outcome.ended = start.WaitForExit(5000);
    }
    outcome.exitCode = start.ExitCode();
    // The tool runs on after the start that launched it; give a stray second start time to show.
    WaitUntil([&] { return !ReadFakeLog(log).empty(); }, outcome.errorPath ? 200 : 3000);
    Sleep(100);
    outcome.tools = ReadFakeLog(log);
    return outcome;
}


}  // namespace

// ---------------------------------------------------------------- stored values

TEST(stress, stored_numbers_of_any_text) {
    struct Case {
        const wchar_t* key;
        std::wstring value;
        int tool;          // -1: the error path
        const wchar_t* style;  // DispStyle afterwards, when no error
    };
    const std::vector<Case> cases{
        {L"DispStyle", L" 2 ", 0, L"2"},
        {L"DispStyle", L"+0001", 0, L"1"},
        {L"DispStyle", L"-32768", 0, L"3"},
        {L"DispStyle", std::wstring(100000, L'0') + L"2", 0, L"2"},
        {L"DispStyle", L"32768", -1, nullptr},
        {L"DispStyle", L"", -1, nullptr},
        {L"DispStyle", L"２", -1, nullptr},
        {L"DispStyle", std::wstring(100000, L'9'), -1, nullptr},
        {L"SelectExe", L"\t1\t", 1, L"3"},
        {L"SelectExe", L"-0", 0, L"3"},
        {L"SelectExe", std::wstring(L"1\0" L"9", 3), 1, L"3"},  // the value ends at its NUL
        {L"SelectExe", L"1.0", -1, nullptr},
        {L"SelectExe", L"+4294967297", -1, nullptr},
        {L"SelectExe", L"1 1", -1, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(ToUtf8(c.key) + " " + Brief(c.value));
        DeleteAppKey();
        const std::wstring log = UseFakeTools();
        WriteStoredSetting(L"FileName", L"C:\\work\\a.txt");
        // Raw, so that a NUL inside the text is stored as it is.
        WriteStoredSettingRaw(c.key, REG_SZ, c.value.c_str(),
                              static_cast<DWORD>((c.value.size() + 1) * sizeof(wchar_t)));

        const Outcome outcome = Follow(L"C:\\work\\b.txt", log);
        EXPECT_TRUE(outcome.ended);
        EXPECT_EQ(outcome.exitCode, std::optional<DWORD>(0));
        EXPECT_EQ(ReadStoredSetting(L"FileName"), L"");
        if (c.tool < 0) {
            EXPECT_TRUE(outcome.errorPath);
            EXPECT_TRUE(outcome.tools.empty());
            continue;
        }
        EXPECT_TRUE(!outcome.errorPath);
        ASSERT_EQ(outcome.tools.size(), 1u);
        std::vector<std::wstring> args{FakeTool(), L"C:\\work\\a.txt", L"C:\\work\\b.txt"};
        if (c.tool == 1) args.insert(args.begin() + 1, L"-r");  // WinMerge's, the box ticked
        EXPECT_EQ(outcome.tools[0].args, args);
        EXPECT_EQ(ReadStoredSetting(L"DispStyle"), c.style);
    }
}

TEST(stress, values_of_another_type_or_too_long) {
    const DWORD one = 1;
    const BYTE binary[] = {'C', 0, ':', 0, '\\', 0};
    const wchar_t multi[] = L"C:\\x.txt\0C:\\y.txt\0";
    // More than 1 MiB of text: never something the program wrote.
    const std::wstring huge = L"C:\\" + std::wstring(600000, L'h');
    struct Case {
        const wchar_t* name;
        DWORD type;
        const void* data;
        DWORD size;
        bool waiting;  // a first start waits (FileName is the broken value otherwise)
        // The tool path dialog of the error path reads the value too: it can't
        // fill its boxes, and that failure is reported and ends the program
        // before the error path clears FileName; the first pick waits on.
        bool dialogFails = false;
    };
    const std::vector<Case> cases{
        {L"FileName", REG_DWORD, &one, sizeof one, false},
        {L"FileName", REG_BINARY, binary, sizeof binary, false},
        {L"FileName", REG_MULTI_SZ, multi, sizeof multi, false},
        {L"FileName", REG_SZ, huge.c_str(), static_cast<DWORD>((huge.size() + 1) * 2), false},
        {L"SelectExe", REG_DWORD, &one, sizeof one, true},
        {L"DispStyle", REG_BINARY, binary, sizeof binary, true},
        {L"SubFlg", REG_MULTI_SZ, multi, sizeof multi, true},
        {L"SelectExe", REG_SZ, huge.c_str(), static_cast<DWORD>((huge.size() + 1) * 2), true},
        {L"WinDiffName", REG_DWORD, &one, sizeof one, true, true},
        {L"WinDiffPath", REG_BINARY, binary, sizeof binary, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(ToUtf8(c.name) + " of type " + std::to_string(c.type) + ", " +
                     std::to_string(c.size) + " bytes");
        DeleteAppKey();
        const std::wstring log = UseFakeTools();
        Process first;
        if (c.waiting) first = StartFirst(L"C:\\work\\a.txt");
        WriteStoredSettingRaw(c.name, c.type, c.data, c.size);

        const Outcome outcome = Follow(L"C:\\work\\b.txt", log);
        EXPECT_TRUE(outcome.errorPath);
        EXPECT_TRUE(outcome.ended);
        EXPECT_EQ(outcome.exitCode, std::optional<DWORD>(0));
        EXPECT_TRUE(outcome.tools.empty());
        if (c.dialogFails) {
            EXPECT_EQ(outcome.reports.size(), 1u);
            EXPECT_EQ(ReadStoredSetting(L"FileName"), L"C:\\work\\a.txt");
            EXPECT_TRUE(first.IsRunning());
            continue;
        }
        EXPECT_EQ(outcome.reports, std::vector<std::wstring>{});
        // The error path's write replaces FileName with an empty text, whatever it was.
        EXPECT_EQ(ReadStoredSetting(L"FileName"), L"");
        if (first.Valid()) {
            EXPECT_TRUE(first.WaitForExit(2000));
        }
    }
}

TEST(stress, waiting_instance_reports_unreadable_pick_once) {
    // FileName turned into a number under a waiting instance: its watch can't
    // read it. That is reported once, and the instance ends after the report.
    Process first = StartFirst(L"C:\\work\\a.txt");
    const DWORD one = 1;
    WriteStoredSettingRaw(L"FileName", REG_DWORD, &one, sizeof one);
    std::optional<MessageBoxInfo> box = WaitForMessageBox(first.Id(), 5000);
    ASSERT_TRUE(box.has_value());
    EXPECT_EQ(box->caption, L"Duomira");
    // Several timer ticks and settings changes later, still one report.
    WriteStoredSettingRaw(L"FileName", REG_DWORD, &one, sizeof one);
    Sleep(1600);
    EXPECT_EQ(TopLevelWindows(first.Id(), kMessageBoxClass).size(), 1u);
    PressMessageBoxOk(box->window);
    EXPECT_TRUE(first.WaitForExit(3000));
    EXPECT_EQ(first.ExitCode(), std::optional<DWORD>(0));
}

// ---------------------------------------------------------------- argument texts

TEST(stress, argument_texts_reach_tool_whole_or_are_refused) {
    const std::wstring longFirst = L"C:\\" + std::wstring(100, L'a') + L".txt";
    const std::wstring longSecond = L"C:\\" + std::wstring(31900, L'b') + L".txt";
    const std::wstring half = L"C:\\" + std::wstring(16500, L'c');
    struct Case {
        std::wstring first, second;     // the two argument texts
        std::wstring toolFirst, toolSecond;  // what the tool receives; empty: the error path
    };
    const std::vector<Case> cases{
        {L"C:\\100% & ^!(x)\\a.txt", L"C:\\b & c\\(1)^!%PATH%.txt", L"C:\\100% & ^!(x)\\a.txt",
         L"C:\\b & c\\(1)^!%PATH%.txt"},
        {L"C:\\한국어\\😀.txt", L"C:\\€uro\\Ελληνικά\\ü.txt", L"C:\\한국어\\😀.txt",
         L"C:\\€uro\\Ελληνικά\\ü.txt"},
        {L"C:\\dir\\\\", L"\"D:\\other dir\\\"", L"C:\\dir\\\\", L"D:\\other dir\\"},
        {longFirst, longSecond, longFirst, longSecond},
        // Together longer than a command line may be (Wine would cut it): refused.
        {half, half + L"d", L"", L""},
        {L"C:\\work\\a.txt", L"C:\\it\"s.txt", L"", L""},
        {L"\"C:\\work\\a.txt", L"C:\\work\\b.txt", L"", L""},
        {L"C:\\work\\a.txt", L"x\" & \"" + FakeTool() + L"\" injected & \"", L"", L""},
        {L"C:\\work\\a.txt\" \"C:\\injected.txt", L"C:\\work\\b.txt", L"", L""},
        {L"C:\\a\tb.txt", L"C:\\work\\b.txt", L"", L""},
        {L"C:\\work\\a.txt", L"C:\\a\x01" L"b.txt", L"", L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("first " + Brief(c.first) + ", second " + Brief(c.second));
        DeleteAppKey();
        const std::wstring log = UseFakeTools();
        // The first start records its text exactly, whatever it holds.
        Process first = StartFirst(c.first);

        const Outcome outcome = Follow(c.second, log);
        EXPECT_TRUE(outcome.ended);
        EXPECT_EQ(outcome.exitCode, std::optional<DWORD>(0));
        EXPECT_EQ(ReadStoredSetting(L"FileName"), L"");
        EXPECT_TRUE(first.WaitForExit(2000));
        EXPECT_EQ(outcome.reports, std::vector<std::wstring>{});
        if (c.toolFirst.empty()) {
            EXPECT_TRUE(outcome.errorPath);
            EXPECT_TRUE(outcome.tools.empty());
            continue;
        }
        EXPECT_TRUE(!outcome.errorPath);
        ASSERT_EQ(outcome.tools.size(), 1u);
        EXPECT_TRUE(outcome.tools[0].args ==
                    (std::vector<std::wstring>{FakeTool(), c.toolFirst, c.toolSecond}))
            << "tool command line " << Brief(outcome.tools[0].commandLine);
    }
}

// ---------------------------------------------------------------- concurrency and faults

// One round: 5 picks within 100 ms, then one more (and one more still, should
// that one be left waiting). The picks race for FileName, and the last write
// wins; whichever way they meet, they must all end.
void OverlappingPicks(int round) {
    SCOPED_TRACE("round " + std::to_string(round));
    DeleteAppKey();
    const std::wstring log = UseFakeTools();
    std::vector<std::wstring> picks;
    std::map<DWORD, Process> starts;
    std::map<DWORD, std::wstring> pickOf;
    std::set<DWORD> showedWindow;
    auto pick = [&](int number) {
        const std::wstring path =
            L"C:\\overlap\\round-" + std::to_wstring(round) + L"\\pick-" + std::to_wstring(number) + L".txt";
        picks.push_back(path);
        Process process = StartDuomira(path, TestTempDir());
        pickOf[process.Id()] = path;
        starts.emplace(process.Id(), std::move(process));
    };
    auto running = [&] {
        std::vector<DWORD> ids;
        for (auto& [id, process] : starts) {
            if (process.IsRunning()) ids.push_back(id);
        }
        return ids;
    };
    // Settled: every start has ended or waits with its window up, none shows
    // a message, and no instance waits while FileName is empty.
    auto settle = [&](const char* when) {
        const bool settled = WaitUntil(
            [&] {
                for (DWORD id : running()) {
                    if (!TopLevelWindows(id, kMessageBoxClass).empty())
                        Abort(std::string("a message box came up ") + when);
                    if (!WaitForWindow(id, ids::kMainWindowClass, 0)) return false;
                    showedWindow.insert(id);
                }
                return running().empty() || ReadStoredSetting(L"FileName").value_or(L"") != L"";
            },
            10000, 20);
        if (!settled) Abort(std::string("the starts did not settle ") + when);
    };

    Stopwatch burst;
    for (int n = 1; n <= 5; ++n) pick(n);
    const double burstMs = burst.ElapsedMs();
    // Under 100 ms as a rule; a busy machine may stretch it, the starts still overlap.
    EXPECT_TRUE(burstMs < 500.0);
    settle("after the burst");
    const std::wstring afterBurst = ReadStoredSetting(L"FileName").value_or(L"");
    Note("5 picks in " + std::to_string(static_cast<int>(burstMs)) + " ms left " +
         std::to_string(running().size()) + " waiting and FileName " + Brief(afterBurst));

    // One more pick; should that one be a first start, one more still to pair it.
    for (int n = 6; n <= 7; ++n) {
        pick(n);
        settle("after a later pick");
        if (ReadStoredSetting(L"FileName") == L"") break;
    }
    EXPECT_EQ(ReadStoredSetting(L"FileName"), L"");
    EXPECT_TRUE(WaitUntil([&] { return running().empty(); }, 3000));
    for (auto& [id, process] : starts) {
        SCOPED_TRACE("pick " + ToUtf8(pickOf[id]));
        EXPECT_EQ(process.ExitCode(), std::optional<DWORD>(0));
    }

    // Each tool start pairs two different picks; a pick is a second path once at most.
    Sleep(200);
    const std::vector<FakeRecord> tools = ReadFakeLog(log);
    EXPECT_TRUE(!tools.empty());
    std::set<std::wstring> secondPaths;
    for (const FakeRecord& tool : tools) {
        ASSERT_EQ(tool.args.size(), 3u);
        EXPECT_EQ(tool.args[0], FakeTool());
        EXPECT_TRUE(std::count(picks.begin(), picks.end(), tool.args[1]) == 1);
        EXPECT_TRUE(std::count(picks.begin(), picks.end(), tool.args[2]) == 1);
        EXPECT_TRUE(tool.args[1] != tool.args[2]);
        EXPECT_TRUE(secondPaths.insert(tool.args[2]).second);
        for (DWORD id : showedWindow) {
            // A start that waited with its window is no second start.
            EXPECT_TRUE(pickOf[id] != tool.args[2]);
        }
    }
    Note(std::to_string(picks.size()) + " picks, " + std::to_string(tools.size()) + " tool starts");
}

TEST(stress, overlapping_picks_pair_up_and_all_end) {
    for (int round = 1; round <= 3; ++round) OverlappingPicks(round);
}

TEST(stress, killed_partner_leaves_its_pick_for_the_next_start) {
    const std::wstring log = UseFakeTools();
    Process first = StartFirst(L"C:\\work\\a.txt");
    first.Kill();
    ASSERT_TRUE(!first.IsRunning());
    EXPECT_EQ(ReadStoredSetting(L"FileName"), L"C:\\work\\a.txt");

    const Outcome outcome = Follow(L"C:\\work\\b.txt", log);
    EXPECT_TRUE(!outcome.errorPath);
    EXPECT_TRUE(outcome.ended);
    ASSERT_EQ(outcome.tools.size(), 1u);
    EXPECT_EQ(outcome.tools[0].args,
             (std::vector<std::wstring>{FakeTool(), L"C:\\work\\a.txt", L"C:\\work\\b.txt"}));
    EXPECT_EQ(ReadStoredSetting(L"FileName"), L"");

    // And the pairing after it is a fresh one.
    Process next;
    const Outcome again = Follow(L"C:\\work\\c.txt", log, &next);
    ASSERT_TRUE(next.Valid());
    EXPECT_EQ(ReadStoredSetting(L"FileName"), L"C:\\work\\c.txt");
    EXPECT_TRUE(again.tools.empty());
}

TEST(stress, waiting_instance_rides_out_a_storm_of_writes) {
    // Every write under the settings key wakes the waiting instance; only a
    // FileName that no longer holds its pick may end it.
    Process first = StartFirst(L"C:\\work\\a.txt");
    HWND window = RequireWindow(first.Id(), ids::kMainWindowClass, 1000);
    Stopwatch storm;
    for (int n = 0; n < 1500; ++n) {
        WriteStoredSetting(L"SelectExe", n % 2 ? L"1" : L"0");
        WriteStoredSetting(L"SubFlg", n % 3 ? L"" : L"1");
        if (n % 5 == 0) WriteStoredSetting(L"FileName", L"C:\\work\\a.txt");
    }
    WriteStoredSetting(L"FileName", L"C:\\work\\a.txt");
    Note("3300 writes in " + std::to_string(static_cast<int>(storm.ElapsedMs())) + " ms");
    EXPECT_TRUE(first.IsRunning());
    DWORD_PTR result = 0;
    EXPECT_TRUE(SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, &result) != 0);
    EXPECT_TRUE(TopLevelWindows(first.Id(), kMessageBoxClass).empty());

    WriteStoredSetting(L"FileName", L"");
    Stopwatch sinceClear;
    EXPECT_TRUE(first.WaitForExit(2000));
    Note("ended " + std::to_string(static_cast<int>(sinceClear.ElapsedMs())) + " ms after FileName was cleared");
    EXPECT_EQ(first.ExitCode(), std::optional<DWORD>(0));
    EXPECT_EQ(ReadStoredSetting(L"SubFlg"), L"");
}
