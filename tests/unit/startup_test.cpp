#include <gtest/gtest.h>

#include <algorithm>

#include "common/expected_texts.h"
#include "fakes.h"
#include "launch/command_line.h"
#include "launch/compare_command.h"
#include "launch/startup.h"
#include "main_window/main_window.h"

namespace duomira {
namespace {

class StartupTest : public ::testing::Test, protected fakes::StartRig {};

TEST_F(StartupTest, NoArgumentEndsBeforeTheLockOrAnyRead) {
    store.Put(L"FileName", L"C:\\waiting.txt");
    store.Put(L"SelectExe", L"9");  // not looked at before the argument is
    platform.pairing.log = &store.log;
    platform.commandLine = L"Duomira.exe";
    StartupContext context{store, shared, platform, window, dialog};
    EXPECT_EQ(Main(context), StartupOutcome::EndProgram);
    EXPECT_EQ(store.log, std::vector<std::wstring>{});
    EXPECT_FALSE(window.Model().loaded);
    EXPECT_EQ(host.timersStarted, 0);
}

TEST_F(StartupTest, FirstStartRecordsTheArgumentTextExactlyAndShowsTheWindow) {
    EXPECT_EQ(Start(L"\"C:\\my docs\\a b.txt\" "), StartupOutcome::RunMessageLoop);
    EXPECT_EQ(store.Stored(L"FileName"), L"\"C:\\my docs\\a b.txt\" ");
    EXPECT_EQ(window.Model().firstPath, L"\"C:\\my docs\\a b.txt\" ");
    EXPECT_TRUE(host.shown);
    EXPECT_EQ(store.Stored(L"DispStyle"), L"3");  // no style stored: detailed
    EXPECT_EQ(shared.NextStyle, 1);
    EXPECT_EQ(store.Stored(L"SelectExe"), std::nullopt);  // Option1(0) was selected already
    EXPECT_EQ(window.Model().optionCaptions[2], L"結果を出力");
    EXPECT_TRUE(platform.started.empty());
}

TEST_F(StartupTest, StoredToolIsSelectedAndWrittenBack) {
    store.Put(L"SelectExe", L"2");
    store.Put(L"DispStyle", L"2");
    Start(L"C:\\a.txt");
    EXPECT_EQ(window.Model().selectedOption, 2);
    EXPECT_FALSE(window.Model().checkEnabled);
    EXPECT_EQ(store.Stored(L"SelectExe"), L"2");
    EXPECT_EQ(store.Stored(L"DispStyle"), L"2");
    EXPECT_EQ(shared.NextStyle, 3);
}

TEST_F(StartupTest, SecondStartLaunchesTheToolAndClearsTheFirstPath) {
    store.Put(L"FileName", L"C:\\work\\old");
    store.Put(L"SubFlg", L"");
    store.Put(L"SelectExe", L"1");
    EXPECT_EQ(Start(L"C:\\work\\new"), StartupOutcome::EndProgram);
    ASSERT_EQ(platform.started.size(), 1u);
    EXPECT_EQ(platform.started[0].commandLine,
              L"WINMERGE.exe -r \"C:\\work\\old\" \"C:\\work\\new\"");
    EXPECT_EQ(platform.started[0].showWindow, kShowNormal);
    EXPECT_EQ(store.Stored(L"FileName"), L"");
    EXPECT_FALSE(host.shown);
    EXPECT_EQ(store.Stored(L"DispStyle"), L"3");  // the style handling runs all the same
    // Reads in order: the four start-up keys, the three names of the load, the
    // subdirectory flag the check box shows, then the three tool paths.
    std::vector<std::wstring> reads;
    for (const auto& entry : store.log) {
        if (entry.starts_with(L"get:")) reads.push_back(entry.substr(4));
    }
    EXPECT_EQ(reads, (std::vector<std::wstring>{
                         L"FileName", L"SubFlg", L"DispStyle", L"SelectExe", L"WinDiffName",
                         L"WinMergeName", L"CmdName", L"SubFlg", L"WinDiffPath", L"WinMergePath",
                         L"CmdPath"}));
}

TEST_F(StartupTest, ToolPathWithBlanksIsQuotedOnlyWhenItNamesAProgramWhole) {
    store.Put(L"FileName", L"C:\\a.txt");
    store.Put(L"WinDiffPath", L"C:\\Program Files\\Diff\\windiff.exe");
    platform.existingFiles = {L"C:\\Program Files\\Diff\\windiff.exe"};
    Start(L"C:\\b.txt");
    store.Put(L"FileName", L"C:\\a.txt");
    store.Put(L"WinDiffPath", L"C:\\tools\\windiff.exe /T");  // a path with switches of its own
    Start(L"C:\\b.txt");
    ASSERT_EQ(platform.started.size(), 2u);
    EXPECT_EQ(platform.started[0].commandLine,
              L"\"C:\\Program Files\\Diff\\windiff.exe\" \"C:\\a.txt\" \"C:\\b.txt\"");
    EXPECT_EQ(platform.started[1].commandLine, L"C:\\tools\\windiff.exe /T \"C:\\a.txt\" \"C:\\b.txt\"");
}

TEST_F(StartupTest, FailedToolStartTakesTheErrorPath) {
    store.Put(L"FileName", L"C:\\a.txt");
    platform.failStart = true;
    EXPECT_EQ(Start(L"C:\\b.txt"), StartupOutcome::EndProgram);
    EXPECT_TRUE(ErrorPathTaken());
    EXPECT_EQ(store.Stored(L"FileName"), L"");
}

TEST_F(StartupTest, ErrorPathDropsOnlyThePickItFailedWith) {
    // While the dialog was up, the pick was taken and the next start recorded its own.
    store.Put(L"FileName", L"C:\\a.txt");
    platform.failStart = true;
    dialog.onModal = [&] { store.Put(L"FileName", L"C:\\next.txt"); };
    Start(L"C:\\b.txt");
    EXPECT_TRUE(ErrorPathTaken());
    EXPECT_EQ(store.Stored(L"FileName"), L"C:\\next.txt");
}

TEST_F(StartupTest, BadStoredNumbersTakeTheErrorPath) {
    for (const wchar_t* selectExe : {L"3", L"-1", L"x", L"", L"99999", L"1.5"}) {
        SCOPED_TRACE(::testing::PrintToString(std::wstring(selectExe)));
        MemorySettingsBackend fresh;
        store = fresh;
        platform.messages.clear();
        dialog.modalShows = 0;
        store.Put(L"SelectExe", selectExe);
        EXPECT_EQ(Start(L"C:\\a.txt"), StartupOutcome::EndProgram);
        EXPECT_TRUE(ErrorPathTaken());
        EXPECT_EQ(store.Stored(L"FileName"), L"");
    }
    // A style that doesn't convert fails before the path is recorded or the window loads.
    MemorySettingsBackend fresh;
    store = fresh;
    platform.messages.clear();
    dialog.modalShows = 0;
    store.Put(L"DispStyle", L"x");
    MainWindow unloaded{store, shared, host};
    platform.commandLine = L"Duomira.exe C:\\a.txt";
    StartupContext context{store, shared, platform, unloaded, dialog};
    EXPECT_EQ(Main(context), StartupOutcome::EndProgram);
    EXPECT_TRUE(ErrorPathTaken());
    EXPECT_FALSE(unloaded.Model().loaded);
    EXPECT_EQ(store.Stored(L"FileName"), L"");
}

TEST_F(StartupTest, PairingLockCoversReadDecideWriteButNoWindow) {
    platform.pairing.log = platform.log = host.log = &store.log;
    auto at = [&](std::wstring_view entry) {
        const auto it = std::find(store.log.begin(), store.log.end(), entry);
        return it == store.log.end() ? -1 : static_cast<int>(it - store.log.begin());
    };
    // A first start: the pick is recorded under the lock, the window shown after it.
    Start(L"C:\\a.txt");
    EXPECT_EQ(at(L"lock"), 0);
    EXPECT_LT(at(L"set:FileName=C:\\a.txt"), at(L"unlock"));
    EXPECT_LT(at(L"unlock"), at(L"show"));
    // A second start: the tool starts and FileName is cleared before anyone else looks.
    store.log.clear();
    Start(L"C:\\b.txt");
    EXPECT_EQ(at(L"lock"), 0);
    EXPECT_LT(at(L"start"), at(L"set:FileName="));
    EXPECT_LT(at(L"set:FileName="), at(L"unlock"));
    EXPECT_FALSE(platform.pairing.held);
    // The error path's message comes after the lock has been let go.
    store.log.clear();
    store.Put(L"FileName", L"C:\\a.txt");
    platform.failStart = true;
    Start(L"C:\\b.txt");
    EXPECT_LT(at(L"unlock"), at(L"message"));
    // A lock that can't be had: nothing is decided, the error path is taken,
    // and FileName stays as it was found.
    store.log.clear();
    store.Put(L"FileName", L"C:\\a.txt");
    platform.pairing.fail = true;
    Start(L"C:\\b.txt");
    EXPECT_EQ(at(L"get:FileName"), -1);
    EXPECT_GE(at(L"message"), 0);
    EXPECT_EQ(store.Stored(L"FileName"), L"C:\\a.txt");
}

TEST_F(StartupTest, ToInt16AcceptsOnlyWholeNumbersInRange) {
    EXPECT_EQ(ToInt16(L"0"), 0);
    EXPECT_EQ(ToInt16(L" 2 "), 2);
    EXPECT_EQ(ToInt16(L"-32768"), -32768);
    EXPECT_EQ(ToInt16(L"+32767"), 32767);
    EXPECT_EQ(ToInt16(L"0003"), 3);
    for (const wchar_t* bad : {L"", L" ", L"32768", L"-32769", L"1e3", L"2x", L"--1", L"0x10",
                               L"１", L"99999999999999999999999"}) {
        EXPECT_EQ(ToInt16(bad), std::nullopt) << ::testing::PrintToString(std::wstring(bad));
    }
    EXPECT_EQ(ToInt16(std::wstring(100000, L'7')), std::nullopt);
}

TEST_F(StartupTest, StoreFailureDuringStartTakesTheErrorPath) {
    store.failWrites = true;
    store.failWriteName = L"DispStyle";
    EXPECT_EQ(Start(L"C:\\a.txt"), StartupOutcome::EndProgram);
    EXPECT_TRUE(ErrorPathTaken());
    EXPECT_FALSE(host.shown);
}

TEST(SeveralPaths, OnlyTwoOrMoreAbsolutePathsMakeASeveralPathStart) {
    using Paths = std::vector<std::wstring>;
    const std::vector<std::pair<std::wstring, Paths>> cases{
        {L"\"C:\\my docs\\a b.txt\" d:\\", {L"C:\\my docs\\a b.txt", L"d:\\"}},
        {L"\\\\srv\\share \"C:\\a\"\t \"E:\\c\"", {L"\\\\srv\\share", L"C:\\a", L"E:\\c"}},
        // One pick each, the whole text being its path.
        {L"C:\\Program Files\\a b.txt", {}},  // a bare %1 that splits at its blanks
        {L"\"C:\\my docs\\a b.txt\"", {}},
        {L"C:\\a.txt b.txt", {}},
        {L"C:\\a C:b", {}},            // drive-relative
        {L"C:\\a \\\\srv", {}},        // a server without share
        {L"C:\\a \\\\srv\\\\x", {}},   // an empty share name
        {L"C:\\a \\x", {}},            // rooted, no drive
    };
    for (const auto& [text, paths] : cases) {
        EXPECT_EQ(SeveralPaths(text), paths) << ::testing::PrintToString(text);
    }
}

TEST_F(StartupTest, PairsTheToolCantTakeAreRefusedAndTheFirstPickWaitsOn) {
    store.Put(L"SelectExe", L"1");
    store.Put(L"WinMergePath", L"C:\\VS Code\\bin\\code.cmd");
    platform.existingFiles = {L"C:\\VS Code\\bin\\code.cmd", L"C:\\VS Code\\Code.exe"};
    platform.folders = {L"C:\\dir"};
    platform.log = platform.pairing.log = &store.log;
    store.Put(L"FileName", L"C:\\dir");
    Start(L"C:\\b.txt");
    EXPECT_EQ(store.Stored(L"FileName"), L"C:\\dir");
    // The folder is looked at outside the lock.
    const auto look = std::find(store.log.begin(), store.log.end(), L"look:C:\\dir");
    EXPECT_EQ(std::find(store.log.begin(), look, L"unlock") + 1, look);
    // Its hidden window neither ends it under the message nor resets SubFlg.
    store.Put(L"FileName", L"");
    ASSERT_TRUE(window.Timer1_Timer());
    EXPECT_FALSE(host.ended);
    platform.onPath = {{L"code.cmd", L"C:\\VS Code\\bin\\code.cmd"}};
    for (auto named : {L"C:\\VS Code\\bin\\code.cmd", L"code.cmd"}) {  // bare: as on PATH
        store.Put(L"WinMergePath", named);
        store.Put(L"FileName", L"C:\\a.txt");
        Start(L"C:\\b.txt");
    }
    // A drop is refused alike; one whose pick was taken meanwhile starts nothing.
    StartupContext context{store, shared, platform, window, dialog};
    store.Put(L"FileName", L"C:\\a.txt");
    DropItems(context, L"C:\\a.txt", {L"C:\\dir"});
    platform.onLook = [&] { store.Put(L"FileName", L"C:\\next.txt"); };
    EXPECT_EQ(DropItems(context, L"C:\\a.txt", {L"C:\\b.txt"}), DropOutcome::PickAlreadyTaken);
    EXPECT_EQ(store.Stored(L"FileName"), L"C:\\next.txt");
    platform.onLook = nullptr;
    // Another script never gets a path that its interpreter would change.
    store.Put(L"WinMergePath", L"\"C:\\tools\\diff.CMD. \"");  // the system drops ". "
    for (auto pair : {L"C:\\b!.txt C:\\c.txt", L"C:\\c.txt C:\\100%.txt"}) Start(pair);
    const std::wstring filesOnly(expected::kFilesOnly), scriptPath(expected::kScriptPath);
    EXPECT_EQ(platform.messages,
              (std::vector<std::wstring>{filesOnly, filesOnly, scriptPath, scriptPath}));
    ASSERT_EQ(platform.started.size(), 2u);
    for (const auto& started : platform.started) {
        EXPECT_EQ(started.commandLine,
                  L"\"C:\\VS Code\\Code.exe\" --diff \"C:\\a.txt\" \"C:\\b.txt\"");
    }

    // Two at once: the older goes left; equal times keep the order.
    store.Put(L"SelectExe", L"0");
    platform.writeTimes = {{L"C:\\b.txt", 200}, {L"C:\\a.txt", 100}, {L"C:\\c.txt", 200}};
    for (auto pair : {L"C:\\b.txt C:\\a.txt", L"C:\\b.txt C:\\c.txt"}) Start(pair);
    ASSERT_EQ(platform.started.size(), 4u);
    EXPECT_EQ(platform.started[2].commandLine, L"WINDIFF.exe \"C:\\a.txt\" \"C:\\b.txt\"");
    EXPECT_EQ(platform.started[3].commandLine, L"WINDIFF.exe \"C:\\b.txt\" \"C:\\c.txt\"");
}

TEST_F(StartupTest, FileNameIsReadAgainAfterThePairWasLookedAtWithoutTheLock) {
    // What another start made of FileName meanwhile: what this start does.
    store.Put(L"SelectExe", L"1");
    store.Put(L"WinMergePath", L"p4merge.exe");
    platform.folders = {L"C:\\dir"};
    struct Case { const wchar_t* meanwhile; const wchar_t* started; const wchar_t* after; };
    const Case cases[] = {
        {L"C:\\a.txt", L"p4merge.exe \"C:\\a.txt\" \"C:\\b.txt\"", L""},
        {L"C:\\x.txt", L"p4merge.exe \"C:\\x.txt\" \"C:\\b.txt\"", L""},
        {L"C:\\dir", L"", L"C:\\dir"},  // another pick is looked at too
        {L"", L"", L"C:\\b.txt"},        // taken: this start is the first pick
    };
    for (const Case& c : cases) {
        store.Put(L"FileName", L"C:\\a.txt");
        platform.started.clear();
        platform.onLook = [&] { store.Put(L"FileName", c.meanwhile); };
        Start(L"C:\\b.txt");
        EXPECT_EQ(platform.started.empty() ? L"" : platform.started[0].commandLine, c.started);
        EXPECT_EQ(store.Stored(L"FileName"), c.after);
    }
}

TEST_F(StartupTest, StartOrDropThatMissesTheLockAgainLeavesFileName) {
    // The second acquire fails: the error path's, after the tool could not be
    // started; or the one after the pair was looked at without the lock.
    store.Put(L"WinMergePath", L"C:\\VS Code\\bin\\code.cmd");
    platform.existingFiles = {L"C:\\VS Code\\bin\\code.cmd", L"C:\\VS Code\\Code.exe"};
    store.Put(L"SubFlg", L"1");
    int acquired = 0;
    platform.pairing.onAcquire = [&] { platform.pairing.fail = ++acquired == 2; };
    for (const bool looks : {false, true}) {
        SCOPED_TRACE(looks ? "looked at the pair" : "tool failed to start");
        store.Put(L"SelectExe", looks ? L"1" : L"0");
        platform.failStart = !looks;
        store.Put(L"FileName", L"C:\\a.txt");
        platform.messages.clear();
        dialog.modalShows = acquired = 0;
        // Under the message a partner takes the pick, the next start picks the
        // same item, and the hidden window of a start that looked ticks between.
        dialog.onModal = [&] {
            if (!looks) return;
            store.Put(L"FileName", L"");
            window.Timer1_Timer();
            store.Put(L"FileName", L"C:\\a.txt");
        };
        Start(L"C:\\b.txt");
        EXPECT_TRUE(ErrorPathTaken());
        EXPECT_EQ(store.Stored(L"FileName"), L"C:\\a.txt");
        EXPECT_FALSE(host.ended);
        EXPECT_EQ(store.Stored(L"SubFlg"), L"1");
        acquired = 0;
        dialog.onModal = nullptr;
        DropItems(startupContext, L"C:\\a.txt", {L"C:\\c.txt"});
        EXPECT_EQ(store.Stored(L"FileName"), L"C:\\a.txt");
    }
}

constexpr std::wstring_view kOwnPick = L"\"C:\\first pick\"";

TEST_F(StartupTest, PairsPickedTogetherLeaveTheWaitingPickAlone) {
    store.Put(L"FileName", L"\"C:\\first pick\"");
    store.Put(L"SubFlg", L"");
    store.Put(L"SelectExe", L"1");
    EXPECT_EQ(Start(L"\"C:\\my docs\\a b.txt\" D:\\"), StartupOutcome::EndProgram);
    EXPECT_FALSE(window.Model().loaded);
    // Only the option, the tool choice and the tool paths are looked at.
    EXPECT_EQ(store.log, (std::vector<std::wstring>{L"get:SubFlg", L"get:SelectExe",
                                                    L"get:WinDiffPath", L"get:WinMergePath",
                                                    L"get:CmdPath"}));
    StartupContext context{store, shared, platform, window, dialog};
    DropItems(context, kOwnPick, {L"C:\\x", L"C:\\y"});
    Start(L"C:\\a D:\\b E:\\c");
    DropItems(context, kOwnPick, {L"C:\\x", L"C:\\y", L"C:\\z"});
    EXPECT_EQ(platform.messages, std::vector<std::wstring>(2, std::wstring(expected::kTwoItemsOnly)));
    platform.messages.clear();
    platform.failStart = true;
    Start(L"C:\\a D:\\b");
    EXPECT_TRUE(ErrorPathTaken());
    EXPECT_EQ(store.Stored(L"FileName"), L"\"C:\\first pick\"");

    // One dropped item is the second pick, failing or not.
    DropItems(context, kOwnPick, {L"C:\\dropped"});
    EXPECT_EQ(dialog.modalShows, 2);
    EXPECT_EQ(store.Stored(L"FileName"), L"");
    platform.failStart = false;
    store.Put(L"FileName", L"\"C:\\first pick\"");
    store.log.clear();
    platform.pairing.log = &store.log;
    DropItems(context, kOwnPick, {L"C:\\dropped"});
    EXPECT_EQ(store.Stored(L"FileName"), L"");
    // Read, launch and clear happen under the pairing lock, as for a second start.
    ASSERT_GE(store.log.size(), 2u);
    EXPECT_EQ(store.log.front(), L"lock");
    EXPECT_EQ(store.log.back(), L"unlock");
    ASSERT_EQ(platform.started.size(), 3u);
    EXPECT_EQ(platform.started[0].commandLine,
              L"WINMERGE.exe -r \"C:\\my docs\\a b.txt\" \"D:\\\\\"");
    EXPECT_EQ(platform.started[1].commandLine, L"WINMERGE.exe -r \"C:\\x\" \"C:\\y\"");
    EXPECT_EQ(platform.started[2].commandLine,
              L"WINMERGE.exe -r \"C:\\first pick\" \"C:\\dropped\"");

    // An item whose name could not be read (empty) fails the drop; nothing starts.
    store.Put(L"FileName", L"\"C:\\first pick\"");
    DropItems(context, kOwnPick, {L"C:\\x", L""});
    EXPECT_EQ(store.Stored(L"FileName"), L"\"C:\\first pick\"");
    DropItems(context, kOwnPick, {L""});
    EXPECT_EQ(dialog.modalShows, 4);
    EXPECT_EQ(store.Stored(L"FileName"), L"");
    EXPECT_EQ(platform.started.size(), 3u);
}

TEST_F(StartupTest, DropOntoAWindowWhosePickWasTakenLeavesTheNextPickAlone) {
    // The partner took this window's pick and the next start recorded its own
    // before the window saw it: a dropped item pairs with neither, and a
    // failing drop does not clear the other start's pick. Neither a drop
    // ignored for that nor one made while a drop's dialog is up goes unnoted.
    store.Put(L"FileName", L"C:\\next pick");
    ASSERT_TRUE(window.SetFirstPath(kOwnPick));
    ASSERT_TRUE(window.OnDrop({L"C:\\dropped"}));
    EXPECT_TRUE(platform.started.empty());
    EXPECT_EQ(store.Stored(L"FileName"), L"C:\\next pick");
    dialog.onModal = [&] { window.OnDrop({L"C:\\meanwhile"}); };
    ASSERT_TRUE(window.OnDrop({L""}));
    EXPECT_EQ(dialog.modalShows, 1);
    EXPECT_EQ(store.Stored(L"FileName"), L"C:\\next pick");
    EXPECT_EQ(host.dropsIgnored,
              (std::vector<IgnoredDrop>{IgnoredDrop::PickAlreadyTaken,
                                        IgnoredDrop::EarlierDropBusy}));
    EXPECT_EQ(platform.pairing.longestWait, kWindowPairingWaitMs);  // on the window's thread
}

}  // namespace
}  // namespace duomira
