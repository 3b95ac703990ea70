#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "fakes.h"
#include "main_window/main_window.h"
#include "main_window/main_window_ids.h"
#include "main_window/main_window_layout.h"

namespace duomira {
namespace {

// The window as the program wires it: connected to the start-up's context.
class MainWindowTest : public ::testing::Test, protected fakes::StartRig {};

TEST_F(MainWindowTest, StylesCycleAndStayAtTheTopRightCorner) {
    struct Expected {
        std::int16_t next;
        long left;
        int width, height;
        const wchar_t* stored;
    };
    // A screen 19,200 twips wide: the first change applies the detailed style.
    shared.NextStyle = 0;
    ASSERT_TRUE(window.ShowModeless());
    const Expected cycle[] = {{0, 13630, 5490, 2460, L"3"},
                              {1, 18310, 810, 1035, L"1"},
                              {2, 16540, 2580, 1350, L"2"},
                              {3, 13630, 5490, 2460, L"3"},
                              {1, 18310, 810, 1035, L"1"}};
    for (const auto& step : cycle) {
        ASSERT_EQ(shared.NextStyle, step.next);
        ASSERT_TRUE(step.next == 0 ? window.ChangeStyle() : window.Image1_Click());
        EXPECT_EQ(window.Model().left, step.left);
        EXPECT_EQ(window.Model().top, 80);
        EXPECT_EQ(window.Model().outerWidth, step.width);
        EXPECT_EQ(window.Model().outerHeight, step.height);
        EXPECT_EQ(store.Stored(L"DispStyle"), step.stored);
    }
}

TEST_F(MainWindowTest, OutOfRangeStyleActsAsDetailedAndWideScreensDoNotWrap) {
    host.screenWidth = 40000;  // wider than a 16-bit count of twips
    ASSERT_TRUE(window.ShowModeless());
    for (std::int16_t style : {7, -1, 32767, -32768}) {
        shared.NextStyle = style;
        ASSERT_TRUE(window.ChangeStyle());
        EXPECT_EQ(store.Stored(L"DispStyle"), L"3");
        EXPECT_EQ(shared.NextStyle, 1);
        EXPECT_EQ(window.Model().left, 40000 - 5490 - 80);
    }
}

TEST_F(MainWindowTest, HiddenWindowIsPlacedWhenShownForTheStyleLastApplied) {
    // A second start changes the style of a window it never shows: it stores
    // the style without asking for the screen (that would load the window system).
    shared.NextStyle = 1;
    ASSERT_TRUE(window.ChangeStyle());
    ASSERT_TRUE(window.ChangeStyle());
    EXPECT_EQ(host.screenQueries, 0);
    EXPECT_EQ(store.Stored(L"DispStyle"), L"2");
    host.screenWidth = 30000;
    ASSERT_TRUE(window.ShowModeless());
    EXPECT_EQ(window.Model().left, 30000 - 2580 - 80);
    EXPECT_EQ(window.Model().top, 80);
    EXPECT_EQ(window.Model().outerHeight, 1350);
}

TEST_F(MainWindowTest, LoadShowsStoredNamesOnceAndStartsTheTimer) {
    store.Put(L"WinDiffName", L"");
    store.Put(L"CmdName", L"FCで出力");
    ASSERT_TRUE(window.ChangeStyle());
    ASSERT_TRUE(window.ChangeStyle());
    EXPECT_EQ(window.Model().optionCaptions,
              (std::array<std::wstring, 3>{L"", L"WINMERGEで比較", L"FCで出力"}));
    EXPECT_EQ(host.timersStarted, 1);
    EXPECT_EQ(std::count(store.log.begin(), store.log.end(), L"get:WinDiffName"), 1);
}

TEST_F(MainWindowTest, CheckBoxShowsWhatTheNextComparisonUses) {
    store.Put(L"SubFlg", L"1");  // left behind by a window closed with the box cleared
    ASSERT_TRUE(window.EnsureLoaded());
    EXPECT_FALSE(window.Model().checkTicked);
    ASSERT_TRUE(window.Check1_Click(true));
    EXPECT_EQ(store.Stored(L"SubFlg"), L"");
    ASSERT_TRUE(window.Check1_Click(false));
    EXPECT_EQ(store.Stored(L"SubFlg"), L"1");
}

TEST_F(MainWindowTest, OptionChoiceIsStoredAndGreysTheBoxForFc) {
    ASSERT_TRUE(window.EnsureLoaded());
    ASSERT_TRUE(window.Option1_Click(2));
    EXPECT_EQ(store.Stored(L"SelectExe"), L"2");
    EXPECT_FALSE(window.Model().checkEnabled);
    EXPECT_TRUE(window.Model().checkTicked);  // greyed, tick kept
    EXPECT_EQ(store.Stored(L"SubFlg"), std::nullopt);
    ASSERT_TRUE(window.Option1_Click(1));
    EXPECT_EQ(store.Stored(L"SelectExe"), L"1");
    EXPECT_TRUE(window.Model().checkEnabled);
    // No button selected: nothing written, the box unchanged.
    store.log.clear();
    ASSERT_TRUE(window.Option1_Click(-1));
    EXPECT_TRUE(store.log.empty());
    // The start-up selection of the button already selected raises no click.
    ASSERT_TRUE(window.SelectOption(1));
    EXPECT_TRUE(store.log.empty());
    EXPECT_FALSE(window.SelectOption(3));
}

TEST_F(MainWindowTest, BoxIsGreyedWhileTheSelectedToolIgnoresIt) {
    platform.existingFiles = {L"C:\\Program Files\\Meld\\Meld.exe"};
    store.Put(L"WinDiffPath", L"C:\\Program Files\\Meld\\Meld.exe");
    ASSERT_TRUE(window.ShowModeless());
    EXPECT_FALSE(window.Model().checkEnabled);
    store.Put(L"WinDiffPath", L"WINDIFF.exe");  // confirmed in the tool path dialog
    ASSERT_TRUE(window.SetOptionCaptions({L"a", L"b", L"c"}));
    EXPECT_TRUE(window.Model().checkEnabled);
    store.Put(L"WinMergePath", L"TortoiseGitMerge");
    ASSERT_TRUE(window.Option1_Click(1));
    EXPECT_FALSE(window.Model().checkEnabled);
}

TEST_F(MainWindowTest, WaitingEndsOnlyWhenFileNameIsCleared) {
    store.Put(L"FileName", L"C:\\a.txt");
    store.Put(L"SubFlg", L"1");
    ASSERT_TRUE(window.Timer1_Timer());
    EXPECT_FALSE(host.ended);
    store.Put(L"FileName", L"");
    window.Timer1_Timer();
    EXPECT_TRUE(host.ended);
    EXPECT_EQ(store.Stored(L"SubFlg"), L"");
}

TEST_F(MainWindowTest, WaitingEndsOnceFileNameNoLongerHoldsItsOwnPick) {
    // Picks that arrive together: the partner cleared FileName and the next
    // first pick was recorded before this instance looked.
    ASSERT_TRUE(window.SetFirstPath(L"C:\\a.txt"));
    store.Put(L"FileName", L"C:\\a.txt");
    ASSERT_TRUE(window.Timer1_Timer());
    EXPECT_FALSE(host.ended);
    store.Put(L"FileName", L"C:\\c.txt");
    ASSERT_TRUE(window.Timer1_Timer());
    EXPECT_TRUE(host.ended);
    // Closed (or the session ending) before it looked: the next pick stays.
    host.ended = false;
    ASSERT_TRUE(window.Form_QueryUnload());
    EXPECT_TRUE(host.ended);
    EXPECT_EQ(store.Stored(L"FileName"), L"C:\\c.txt");
}

TEST_F(MainWindowTest, ClosingClearsItsPickUnderThePairingLockOrWithoutItInTime) {
    ASSERT_TRUE(window.SetFirstPath(L"C:\\a.txt"));
    store.Put(L"FileName", L"C:\\a.txt");
    platform.pairing.log = &store.log;
    store.log.clear();
    ASSERT_TRUE(window.Form_QueryUnload());
    EXPECT_EQ(store.log, (std::vector<std::wstring>{L"lock", L"get:FileName", L"set:FileName=",
                                                    L"unlock"}));
    store.Put(L"FileName", L"C:\\a.txt");
    platform.pairing.fail = true;
    host.ended = false;
    ASSERT_TRUE(window.Form_QueryUnload());
    EXPECT_TRUE(host.ended);
    EXPECT_EQ(store.Stored(L"FileName"), L"");
}

TEST_F(MainWindowTest, EndOfAPairKeepsSubFlgForANextPickRecordedMeanwhile) {
    // FileName is seen empty; the next first start records its pick before
    // the lock is had: it has shown its box as SubFlg stood, so SubFlg stays.
    store.Put(L"FileName", L"");
    store.Put(L"SubFlg", L"1");
    platform.pairing.onAcquire = [&] { store.Put(L"FileName", L"C:\\next.txt"); };
    ASSERT_TRUE(window.Timer1_Timer());
    EXPECT_TRUE(host.ended);
    EXPECT_EQ(store.Stored(L"SubFlg"), L"1");
}

TEST_F(MainWindowTest, FailedWriteOnEndingIsLeftToTheCallerToReport) {
    // The caller reports the failure and then ends: the write must not end first.
    store.Put(L"FileName", L"");
    store.failWrites = true;
    EXPECT_FALSE(window.Timer1_Timer());
    EXPECT_FALSE(window.Form_QueryUnload());
    EXPECT_FALSE(host.ended);
}

TEST_F(MainWindowTest, ClosingDropsThePickButKeepsTheSubdirectoryChoice) {
    store.Put(L"FileName", L"C:\\a.txt");
    store.Put(L"SubFlg", L"1");
    window.Form_QueryUnload();
    EXPECT_TRUE(host.ended);
    EXPECT_EQ(store.Stored(L"FileName"), L"");
    EXPECT_EQ(store.Stored(L"SubFlg"), L"1");
}

TEST(MainWindowLayoutTest, ControlsLieInsideTheClientAreaAndIdsAreUnique) {
    const WindowLayout& layout = MainWindowLayout();
    std::set<int> seen;
    for (const auto& control : layout.controls) {
        EXPECT_TRUE(seen.insert(control.id).second) << control.id;
        const TwipsRect rect = ClientRectOf(layout, control);
        EXPECT_GE(rect.left, 0);
        EXPECT_GE(rect.top, 0);
        // Option1(0) is laid out 15 twips wider than the others and reaches past the edge.
        EXPECT_LE(rect.left + rect.width, layout.clientWidth + (control.name == L"Option1(0)" ? 15 : 0));
        EXPECT_LE(rect.top + rect.height, layout.clientHeight);
    }
    // Label2, inside the frame "詳細", shows the first path at (1440, 1250).
    EXPECT_EQ(ClientRectOf(layout, *FindControl(layout, ids::kMainLabel2)),
              (TwipsRect{1440, 1250, 3735, 495}));
    // The smallest style's client area (720 x 705) shows Image1 and nothing else whole.
    int whole = 0;
    for (const auto& control : layout.controls) {
        const TwipsRect rect = ClientRectOf(layout, control);
        if (rect.left + rect.width <= 720 && rect.top + rect.height <= 705) ++whole;
    }
    EXPECT_EQ(whole, 1);
}

}  // namespace
}  // namespace duomira
