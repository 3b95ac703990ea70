// The help window, opened from the main window's "ﾍﾙﾌﾟ": the usage text it
// shows, that it stays read-only, and that there is only ever one of it.
#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/expected_texts.h"
#include "driver.h"
#include "help_window/help_window_ids.h"
#include "main_window/main_window_ids.h"

using namespace duomira::wine;
namespace ids = duomira::ids;

namespace {

void PressHelp(const WaitingStart& waiting) { ClickButton(RequireChild(waiting.main, ids::kMainCommand2)); }

HWND OpenHelp(const WaitingStart& waiting) {
    PressHelp(waiting);
    return RequireWindow(waiting.process.Id(), ids::kHelpWindowClass, 5000);
}

std::vector<HWND> HelpWindows(const WaitingStart& waiting) {
    return TopLevelWindows(waiting.process.Id(), ids::kHelpWindowClass, false);
}

// The window's text box holds the usage text as written out for the tests
// (checked with a wait: the window may be visible an instant before its text
// is set).
bool ShowsUsageText(HWND help) {
    HWND box = RequireChild(help, ids::kHelpText1);
    const std::wstring expected(duomira::expected::kUsageText);
    WaitUntil([&] { return TextOf(box) == expected; }, 3000);
    const std::wstring text = TextOf(box);
    EXPECT_EQ(text, expected);
    return text == expected;
}

bool IsCentred(HWND window) {
    const RECT rect = WindowRectOf(window);
    return std::abs((rect.left + rect.right) - GetSystemMetrics(SM_CXSCREEN)) <= 2 &&
           std::abs((rect.top + rect.bottom) - GetSystemMetrics(SM_CYSCREEN)) <= 2;
}

}  // namespace

TEST(help, shows_usage_text_read_only) {
    WaitingStart waiting = StartWaiting();
    HWND help = OpenHelp(waiting);
    ShowsUsageText(help);
    EXPECT_TRUE(IsCentred(help));
    // Modeless and without owner: the main window stays usable beside it.
    EXPECT_TRUE(GetWindow(help, GW_OWNER) == nullptr);
    EXPECT_TRUE((GetWindowLongW(help, GWL_EXSTYLE) & WS_EX_TOOLWINDOW) != 0);
    EXPECT_TRUE((GetWindowLongW(help, GWL_STYLE) & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX)) == 0);
    EXPECT_TRUE(IsWindowEnabled(waiting.main));
    EXPECT_TRUE(IsShown(waiting.main));
    Sleep(200);  // let the text paint
    const RECT rect = WindowRectOf(help);
    SaveScreenshot(L"help-window", &rect);

    // Typing, deleting, cutting, pasting and undoing change nothing, also over
    // a selection, which a writable box would replace.
    HWND box = RequireChild(help, ids::kHelpText1);
    if (OpenClipboard(nullptr)) {
        EmptyClipboard();
        const std::wstring paste = L"貼り付け";
        HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (paste.size() + 1) * sizeof(wchar_t));
        if (memory) {
            std::copy_n(paste.c_str(), paste.size() + 1, static_cast<wchar_t*>(GlobalLock(memory)));
            GlobalUnlock(memory);
            if (!SetClipboardData(CF_UNICODETEXT, memory)) GlobalFree(memory);
        }
        CloseClipboard();
    }
    PostMessageW(box, EM_SETSEL, 0, 20);
    for (wchar_t typed : {L'a', L'あ', L'\r', L'\b', L' '}) PostMessageW(box, WM_CHAR, typed, 1);
    for (WPARAM key : {VK_DELETE, VK_BACK, VK_RETURN}) {
        PostMessageW(box, WM_KEYDOWN, key, 1);
        PostMessageW(box, WM_KEYUP, key, 0xC0000001);
    }
    PostMessageW(box, EM_SETSEL, 0, -1);
    for (UINT edit : {WM_CUT, WM_CLEAR, WM_PASTE, WM_UNDO}) PostMessageW(box, edit, 0, 0);
    PostMessageW(box, WM_CHAR, L'x', 1);
    // Once this last selection shows, every message before it has been handled.
    PostMessageW(box, EM_SETSEL, 3, 3);
    EXPECT_TRUE(WaitUntil(
        [&] {
            DWORD start = 0, end = 0;
            SendMessageTimeoutW(box, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                                reinterpret_cast<LPARAM>(&end), SMTO_ABORTIFHUNG, 2000, nullptr);
            return start == 3 && end == 3;
        },
        3000));
    EXPECT_EQ(TextOf(box), duomira::expected::kUsageText);
    EXPECT_EQ(SendMessageW(box, EM_GETMODIFY, 0, 0), 0);
}

TEST(help, one_window_at_a_time_built_anew_after_close) {
    WaitingStart waiting = StartWaiting();
    HWND help = OpenHelp(waiting);
    ShowsUsageText(help);

    // A second "ﾍﾙﾌﾟ" brings the open window forward; there is no second one.
    SetForegroundWindow(waiting.main);
    ASSERT_TRUE(WaitUntil([&] { return GetForegroundWindow() == waiting.main; }, 3000));
    PressHelp(waiting);
    EXPECT_TRUE(WaitUntil([&] { return GetForegroundWindow() == help; }, 3000));
    EXPECT_EQ(HelpWindows(waiting).size(), 1u);
    EXPECT_TRUE(IsShown(help));
    EXPECT_EQ(TextOf(RequireChild(help, ids::kHelpText1)), duomira::expected::kUsageText);

    // Closing discards it, without ending anything else; the next "ﾍﾙﾌﾟ"
    // builds a new window with the same text, centred again.
    MoveWindow(help, 10, 10, WindowRectOf(help).right - WindowRectOf(help).left,
               WindowRectOf(help).bottom - WindowRectOf(help).top, FALSE);
    duomira::wine::CloseWindow(help);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(help); }, 3000));
    EXPECT_TRUE(HelpWindows(waiting).empty());
    EXPECT_TRUE(waiting.process.IsRunning());
    EXPECT_TRUE(IsShown(waiting.main));

    HWND reopened = OpenHelp(waiting);
    EXPECT_TRUE(reopened != help);
    EXPECT_EQ(HelpWindows(waiting).size(), 1u);
    ShowsUsageText(reopened);
    EXPECT_TRUE(IsCentred(reopened));
}
