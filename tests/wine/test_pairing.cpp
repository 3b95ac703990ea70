// Picks that arrive together, and a session that ends while a pick waits.
// Starts are made in the same instant: each is created suspended, and all are
// resumed one right after the other, while two busy threads load the machine.
#include <atomic>
#include <set>
#include <string>
#include <vector>

#include "common/expected_texts.h"
#include "driver.h"
#include "main_window/main_window_ids.h"
#include "path_dialog/path_dialog_ids.h"
#include "platform/pairing_mutex_win.h"

using namespace duomira::wine;
namespace ids = duomira::ids;

namespace {

// Two threads that spin while this lives: the starts race on a busy machine.
class BusyLoad {
  public:
    BusyLoad() {
        for (UniqueKernelHandle& thread : threads_)
            thread.reset(CreateThread(nullptr, 0, &Spin, &stop_, 0, nullptr));
    }
    ~BusyLoad() {
        stop_ = true;
        for (const UniqueKernelHandle& thread : threads_)
            if (thread) WaitForSingleObject(thread.get(), 5000);
    }
    BusyLoad(const BusyLoad&) = delete;
    BusyLoad& operator=(const BusyLoad&) = delete;

  private:
    static DWORD WINAPI Spin(void* stop) {
        const auto* flag = static_cast<std::atomic<bool>*>(stop);
        while (!flag->load(std::memory_order_relaxed)) {
        }
        return 0;
    }
    std::atomic<bool> stop_{false};
    UniqueKernelHandle threads_[2];
};

// One start of Duomira.exe per argument text, all let go in the same instant.
std::vector<Process> StartTogether(const std::vector<std::wstring>& arguments) {
    std::vector<Process> processes;
    std::vector<UniqueKernelHandle> threads;
    for (const std::wstring& argument : arguments) {
        std::wstring line = DuomiraCommandLine(argument);
        const std::wstring dir = TestTempDir();
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info{};
        if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                            dir.c_str(), &startup, &info)) {
            const DWORD error = GetLastError();
            for (const UniqueKernelHandle& thread : threads) ResumeThread(thread.get());
            Abort("CreateProcessW failed (error " + std::to_string(error) + ")");
        }
        processes.emplace_back(info.hProcess, info.dwProcessId);
        threads.emplace_back(info.hThread);
    }
    for (const UniqueKernelHandle& thread : threads) ResumeThread(thread.get());
    return processes;
}

// Rounds of two picks in the same instant: each starts the tool exactly once
// with both paths, and leaves no window and no waiting pick.
void PairTogether(int firstRound, int lastRound) {
    WriteStoredSetting(L"WinDiffPath", FakeTool());
    BusyLoad load;
    Stopwatch all;
    for (int round = firstRound; round <= lastRound; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        const std::wstring log = UseFreshFakeLog();
        const std::wstring a = L"C:\\together\\" + std::to_wstring(round) + L"\\a.txt";
        const std::wstring b = L"C:\\together\\" + std::to_wstring(round) + L"\\b.txt";
        std::vector<Process> starts = StartTogether({a, b});
        for (const Process& start : starts) EXPECT_TRUE(start.WaitForExit(15000));
        const std::vector<FakeRecord> tools = WaitForFakeRecords(log, 1);
        ASSERT_EQ(tools.size(), 1u);
        const std::vector<std::wstring>& args = tools[0].args;
        ASSERT_EQ(args.size(), 3u);
        EXPECT_TRUE(std::set<std::wstring>(args.begin() + 1, args.end()) == std::set<std::wstring>({a, b}));
        EXPECT_EQ(ReadStoredSetting(L"FileName"), L"");
        for (Process& start : starts) start.Kill();
    }
    Note(std::to_string(lastRound - firstRound + 1) + " rounds in " +
         std::to_string(static_cast<int>(all.ElapsedMs() / 1000)) + " s");
}

}  // namespace

// 30 rounds in all, in two tests that each stay well inside a test's time limit.
TEST(pairing, two_picks_in_the_same_instant_pair_up) { PairTogether(1, 15); }
TEST(pairing, two_picks_in_the_same_instant_pair_up_again) { PairTogether(16, 30); }

TEST(pairing, three_picks_in_the_same_instant_leave_one_waiting) {
    WriteStoredSetting(L"WinDiffPath", FakeTool());
    BusyLoad load;
    for (int round = 1; round <= 3; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        DeleteStoredSetting(L"FileName");
        const std::wstring log = UseFreshFakeLog();
        std::vector<std::wstring> picks;
        for (int n = 1; n <= 3; ++n)
            picks.push_back(L"C:\\three\\" + std::to_wstring(round) + L"\\" + std::to_wstring(n) + L".txt");
        std::vector<Process> starts = StartTogether(picks);

        // Settled: one start waits with its window, the other two have ended.
        std::vector<const Process*> running;
        const bool settled = WaitUntil(
            [&] {
                running.clear();
                for (const Process& start : starts)
                    if (start.IsRunning()) running.push_back(&start);
                return running.size() == 1 && WaitForWindow(running[0]->Id(), ids::kMainWindowClass, 0);
            },
            15000, 20);
        Sleep(1200);  // past two of the waiting window's ticks: it stays
        ASSERT_TRUE(settled);
        ASSERT_TRUE(running.size() == 1 && running[0]->IsRunning());

        const std::vector<FakeRecord> tools = WaitForFakeRecords(log, 1);
        ASSERT_EQ(tools.size(), 1u);
        ASSERT_EQ(tools[0].args.size(), 3u);
        const std::optional<std::wstring> waiting = ReadStoredSetting(L"FileName");
        ASSERT_TRUE(waiting.has_value());
        // The waiting pick is the one not compared, and its window shows it.
        const std::set<std::wstring> all(picks.begin(), picks.end());
        const std::set<std::wstring> used{tools[0].args[1], tools[0].args[2], *waiting};
        EXPECT_TRUE(used == all);
        HWND window = RequireWindow(running[0]->Id(), ids::kMainWindowClass, 1000);
        EXPECT_EQ(TextOf(RequireChild(window, ids::kMainLabel2)), *waiting);
        for (Process& start : starts) start.Kill();
    }
}

TEST(pairing, lock_left_by_a_killed_start_stops_no_later_start) {
    // A thread that takes the pairing lock and ends without letting go leaves
    // it abandoned, as a start killed inside it does.
    const UniqueKernelHandle lock(CreateMutexW(nullptr, FALSE, duomira::kPairingMutexName));
    ASSERT_TRUE(lock);
    const UniqueKernelHandle taker(CreateThread(
        nullptr, 0, [](void* mutex) -> DWORD { return WaitForSingleObject(static_cast<HANDLE>(mutex), 5000); },
        lock.get(), 0, nullptr));
    ASSERT_TRUE(taker);
    WaitForSingleObject(taker.get(), 10000);

    WriteStoredSetting(L"WinDiffPath", FakeTool());
    const std::wstring log = UseFreshFakeLog();
    WaitingStart first = StartWaiting(L"C:\\work\\a.txt");
    Process second = StartDuomira(L"C:\\work\\b.txt", TestTempDir());
    EXPECT_TRUE(second.WaitForExit(10000));
    EXPECT_TRUE(first.process.WaitForExit(5000));
    const std::vector<FakeRecord> tools = WaitForFakeRecords(log, 1);
    ASSERT_EQ(tools.size(), 1u);
    EXPECT_EQ(tools[0].args, (std::vector<std::wstring>{FakeTool(), L"C:\\work\\a.txt", L"C:\\work\\b.txt"}));
}

TEST(pairing, start_in_a_hung_lock_gives_up_and_leaves_the_waiting_pick) {
    WaitingStart first = StartWaiting(L"C:\\work\\a.txt");
    // The driver holds the lock as a start that hangs inside it would.
    struct HeldLock {
        UniqueKernelHandle mutex{CreateMutexW(nullptr, FALSE, duomira::kPairingMutexName)};
        bool held = mutex && WaitForSingleObject(mutex.get(), 5000) == WAIT_OBJECT_0;
        ~HeldLock() {
            if (held) ReleaseMutex(mutex.get());
        }
    } lock;
    ASSERT_TRUE(lock.held);

    // After the lock's time-out: the path message and the tool path dialog.
    Process second = StartDuomira(L"C:\\work\\b.txt", TestTempDir());
    std::optional<MessageBoxInfo> box = WaitForMessageBox(second.Id(), 30000);
    ASSERT_TRUE(box.has_value());
    EXPECT_EQ(box->text, duomira::expected::kPathError);
    PressMessageBoxOk(box->window);
    HWND dialog = RequireWindow(second.Id(), ids::kPathDialogClass, 10000);
    ClickButton(RequireChild(dialog, ids::kPathCommand4));
    EXPECT_TRUE(second.WaitForExit(5000));
    EXPECT_EQ(ReadStoredSetting(L"FileName"), L"C:\\work\\a.txt");

    // Closing the waiting window waits for the lock briefly, then clears its pick without it.
    duomira::wine::CloseWindow(first.main);
    EXPECT_TRUE(first.process.WaitForExit(5000));
    EXPECT_EQ(ReadStoredSetting(L"FileName"), L"");
}

TEST(pairing, session_end_drops_the_waiting_pick) {
    // What a log-off or shut-down sends: the waiting instance runs its close
    // handling, clears FileName, and ends without holding the session up.
    WaitingStart first = StartWaiting(L"C:\\work\\a.txt");
    Stopwatch sinceEnd;
    Process wineboot = StartProcess(L"wineboot.exe --end-session");
    EXPECT_TRUE(first.process.WaitForExit(10000));
    Note("the waiting instance ended " + std::to_string(static_cast<int>(sinceEnd.ElapsedMs())) +
         " ms after the session end began");
    EXPECT_TRUE(wineboot.WaitForExit(20000));
    EXPECT_EQ(ReadStoredSetting(L"FileName"), L"");
    EXPECT_TRUE(ProcessIdsNamed(L"Duomira.exe").empty());
}
