// The main window of a waiting first start, watched and driven from outside:
// what it shows, its size and place in each display style, the choices it
// writes to the registry as they are made, and the ways the waiting instance
// ends (partner start, a cleared FileName, closing the window).
#include <algorithm>
#include <cmath>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "driver.h"
#include "main_window/main_window_ids.h"

using namespace duomira::wine;
namespace ids = duomira::ids;

namespace {

constexpr wchar_t kSubdirCaption[] = L"ｻﾌﾞﾃﾞｨﾚｸﾄﾘ含む";
constexpr int kMarginTwips = 80;
// How soon a waiting instance ends after FileName is written empty: the
// watch on the settings key wakes it within milliseconds, where Timer1 alone
// (every 500 ms) would most often be later.
constexpr double kInstantEndMs = 200;

// ------------------------------------------------------------ geometry

struct Style {
    const char* name;
    const wchar_t* number;  // as stored under DispStyle
    int width, height;      // outer size in twips
    std::vector<int> shown;  // controls the style shows whole
};

const Style kSmallest{"smallest", L"1", 810, 1035, {ids::kImage1}};
const Style kNormal{"normal", L"2", 2580, 1350, {ids::kImage1, ids::kCheck1, ids::kMainCommand1}};
const Style kDetailed{"detailed",
                      L"3",
                      5490,
                      2460,
                      {ids::kImage1, ids::kOption1, ids::kOption1 + 1, ids::kOption1 + 2, ids::kCheck1,
                       ids::kMainCommand1, ids::kMainCommand2, ids::kMainFrame1, ids::kMainLabel1,
                       ids::kMainLabel2, ids::kMainLabel3}};

double Pixels(double twips, int dpi) { return twips * dpi / 1440.0; }

// The nearest whole pixel, as the program rounds twips.
long Whole(double pixels) { return std::lround(pixels); }

std::string ShowRect(const RECT& r) {
    std::string text = "(";
    text += std::to_string(r.left) + ", " + std::to_string(r.top) + ") ";
    text += std::to_string(r.right - r.left) + "x" + std::to_string(r.bottom - r.top);
    return text;
}

// Outer size and place of the window in the style, at dpi, to the pixel: the
// top-right corner 80 twips in from the screen's top and right edges. Each
// length is rounded once, from twips (the screen's width in twips is exact at
// 96, 120 and 144 dpi).
bool CheckPlacement(HWND window, const Style& style, int dpi) {
    const RECT r = WindowRectOf(window);
    const double width = Pixels(style.width, dpi);
    const double height = Pixels(style.height, dpi);
    const double left = GetSystemMetrics(SM_CXSCREEN) - width - Pixels(kMarginTwips, dpi);
    const double top = Pixels(kMarginTwips, dpi);
    const bool ok = r.right - r.left == Whole(width) && r.bottom - r.top == Whole(height) &&
                    r.left == Whole(left) && r.top == Whole(top);
    if (!ok) {
        ADD_FAILURE() << style.name << " style at " << dpi << " dpi: window at " << ShowRect(r)
                      << ", expected (" << std::lround(left) << ", " << std::lround(top) << ") "
                      << std::lround(width) << "x" << std::lround(height);
    }
    return ok;
}

RECT ClientOnScreen(HWND window) {
    RECT client{};
    GetClientRect(window, &client);
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&client), 2);
    return client;
}

// Every control that the style shows lies whole inside the client area, give
// or take 2 pixels: Option1(0) is laid out 15 twips wider than the client area.
void CheckNothingClipped(HWND window, const Style& style) {
    RECT client = ClientOnScreen(window);
    InflateRect(&client, 2, 2);
    for (int id : style.shown) {
        const RECT control = WindowRectOf(RequireChild(window, id));
        if (control.left < client.left || control.top < client.top || control.right > client.right ||
            control.bottom > client.bottom) {
            ADD_FAILURE() << style.name << " style: control " << id << " at " << ShowRect(control)
                          << " is cut off by the client area " << ShowRect(ClientOnScreen(window));
        }
    }
}

// Lets the window finish painting, then saves the screen around it.
void SaveWindowShot(HWND window, const std::wstring& name) {
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
    Sleep(250);
    RECT r = WindowRectOf(window);
    InflateRect(&r, 12, 12);
    SaveScreenshot(name, &r);
}

// ------------------------------------------------------------ controls

LRESULT Send(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    DWORD_PTR result = 0;
    SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, 3000, &result);
    return static_cast<LRESULT>(result);
}

bool IsTicked(HWND button) { return Send(button, BM_GETCHECK) == BST_CHECKED; }

// Which of the three option buttons is selected: 0, 1, 2, or -1 for none.
int SelectedOption(HWND window) {
    for (int i = 0; i < 3; ++i)
        if (IsTicked(RequireChild(window, ids::kOption1 + i))) return i;
    return -1;
}

// A click on the icon, which is a static control: the next style is recorded
// once the click has been handled.
void ClickIcon(HWND window, const Style& next) {
    ClickWindow(RequireChild(window, ids::kImage1));
    if (!WaitForSetting(L"DispStyle", next.number))
        Abort(std::string("DispStyle did not become ") + ToUtf8(next.number) + " after a click on the icon; it is " +
             Show(ReadStoredSetting(L"DispStyle")));
}

// A real left click of the mouse at a point of the screen.
void MouseClickAt(POINT at) {
    SetCursorPos(at.x, at.y);
    INPUT input[2]{};
    input[0].type = input[1].type = INPUT_MOUSE;
    input[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    input[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(2, input, sizeof(INPUT));
    SetCursorPos(0, GetSystemMetrics(SM_CYSCREEN) - 1);  // out of the way again
}

POINT CentreOf(HWND control) {
    const RECT r = WindowRectOf(control);
    return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

// The point of the caption's close button, found by asking the window.
std::optional<POINT> CloseButtonOf(HWND window) {
    const RECT r = WindowRectOf(window);
    const RECT client = ClientOnScreen(window);
    const int y = (r.top + client.top) / 2;
    for (int x = r.right - 1; x > r.left; --x) {
        if (Send(window, WM_NCHITTEST, 0, MAKELPARAM(x, y)) == HTCLOSE) return POINT{x - 3, y};
    }
    return std::nullopt;
}

// ------------------------------------------------------------ processes

// Starts Duomira.exe in the test's own folder.
Process Start(std::wstring_view argument) { return StartProcess(DuomiraCommandLine(argument), TestTempDir()); }

// Ends a waiting first start the way its partner would.
void Release(WaitingStart& first) {
    WriteStoredSetting(L"FileName", L"");
    EXPECT_TRUE(first.process.WaitForExit(3000));
}

// Adds the class of every visible top-level window of the process to seen;
// windows that go while they are looked at are left out.
void NoteShownWindows(DWORD processId, std::vector<std::wstring>& seen) {
    for (HWND window : TopLevelWindows(processId)) {
        const std::wstring name = ClassNameOf(window);
        if (name.empty()) continue;  // gone already
        if (std::find(seen.begin(), seen.end(), name) == seen.end()) seen.push_back(name);
    }
}

// A second start, watched while it runs: whether any main window of its own
// came to exist (shown or not), what it showed, and when FileName was seen
// cleared, when it ended and when the waiting first start ended.
struct PairEnd {
    bool secondEnded = false;
    bool firstEnded = false;
    bool secondHadMainWindow = false;
    std::vector<std::wstring> secondWindowsShown;
    double clearedMs = -1, secondEndMs = -1, firstEndMs = -1;  // since the second start
    double FirstAfterSecondMs() const { return firstEndMs - secondEndMs; }
};

PairEnd RunSecond(std::wstring_view argument, const Process& first) {
    PairEnd end;
    Stopwatch clock;
    Process second = Start(argument);
    while (clock.ElapsedMs() < 10000) {
        if (!end.secondEnded) {
            const bool running = second.IsRunning();
            if (!TopLevelWindows(second.Id(), ids::kMainWindowClass, false).empty())
                end.secondHadMainWindow = true;
            NoteShownWindows(second.Id(), end.secondWindowsShown);
            if (!running) {
                end.secondEnded = true;
                end.secondEndMs = clock.ElapsedMs();
            }
        }
        if (end.clearedMs < 0 && ReadStoredSetting(L"FileName") == L"") end.clearedMs = clock.ElapsedMs();
        if (!end.firstEnded && !first.IsRunning()) {
            end.firstEnded = true;
            end.firstEndMs = clock.ElapsedMs();
        }
        if (end.secondEnded && (end.firstEnded || clock.ElapsedMs() - end.secondEndMs > 3000)) break;
        Sleep(1);
    }
    return end;
}

std::string Ms(double ms) { return std::to_string(std::lround(ms)) + " ms"; }

// While it lives, the settings key can't be opened for change notification
// (its access list grants everything but KEY_NOTIFY): a waiting instance
// started then has no watch and only Timer1 to see FileName cleared.
class SettingsKeyUnwatchable {
  public:
    SettingsKeyUnwatchable() {
        if (!Grant(KEY_ALL_ACCESS & ~KEY_NOTIFY)) Abort("could not take KEY_NOTIFY away from the settings key");
    }
    ~SettingsKeyUnwatchable() { Grant(KEY_ALL_ACCESS); }
    SettingsKeyUnwatchable(const SettingsKeyUnwatchable&) = delete;
    SettingsKeyUnwatchable& operator=(const SettingsKeyUnwatchable&) = delete;

  private:
    // Whether a watch can be armed on the key now.
    static bool Watchable() {
        UniqueRegKey key;
        return RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKeyPath, 0, KEY_NOTIFY, key.put()) == ERROR_SUCCESS;
    }

    // Sets the key's access list to one entry: everyone may do what mask allows.
    static bool Grant(ACCESS_MASK mask) {
        UniqueRegKey key;
        if (RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKeyPath, 0, nullptr, 0, WRITE_DAC, nullptr, key.put(),
                            nullptr) != ERROR_SUCCESS)
            return false;
        return GrantEveryone(key.get(), mask) && Watchable() == ((mask & KEY_NOTIFY) != 0);
    }
};

// ------------------------------------------------------------ DPI

// Sets the user's DPI for the programs started from now on; puts 96 back
// when it goes.
class UserDpi {
  public:
    explicit UserDpi(DWORD dpi) {
        if (!Set(dpi)) Abort("could not set LogPixels");
    }
    ~UserDpi() { Set(96); }
    UserDpi(const UserDpi&) = delete;
    UserDpi& operator=(const UserDpi&) = delete;

  private:
    static bool Set(DWORD dpi) {
        UniqueRegKey key;
        if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                            key.put(), nullptr) != ERROR_SUCCESS)
            return false;
        return RegSetValueExW(key.get(), L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi),
                              sizeof dpi) == ERROR_SUCCESS;
    }
};

}  // namespace

TEST(main_window, first_start_shows_path_names_and_stored_choices) {
    struct Case {
        const char* name;
        std::vector<std::pair<const wchar_t*, const wchar_t*>> stored;
        std::vector<std::wstring> captions;
        int selected;
        bool ticked, enabled;
    };
    const std::vector<std::wstring> defaults{L"WINDIFFで比較", L"WINMERGEで比較", L"結果を出力"};
    const std::vector<Case> cases{
        {"empty store", {}, defaults, 0, true, true},
        // A stored empty name is shown as it is, not replaced by the default.
        {"names stored, WinMerge, box cleared",
         {{L"WinDiffName", L"差分ﾋﾞｭｰｱ"}, {L"WinMergeName", L""}, {L"CmdName", L"FC で出力"},
          {L"SelectExe", L"1"}, {L"SubFlg", L"1"}},
         {L"差分ﾋﾞｭｰｱ", L"", L"FC で出力"}, 1, false, true},
        // The box shows the stored choice; for FC it is greyed with its tick kept.
        {"FC, box ticked", {{L"SelectExe", L"2"}, {L"SubFlg", L""}}, defaults, 2, true, false},
        {"FC, box cleared", {{L"SelectExe", L"2"}, {L"SubFlg", L"1"}}, defaults, 2, false, false},
    };
    const std::wstring path = L"C:\\作業 フォルダ\\比較元ﾌｧｲﾙ.txt";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DeleteAppKey();
        for (const auto& [key, value] : c.stored) WriteStoredSetting(key, value);
        const auto subFlgBefore = ReadStoredSetting(L"SubFlg");

        WaitingStart first = StartWaiting(path);
        HWND window = first.main;
        EXPECT_EQ(TextOf(RequireChild(window, ids::kMainLabel2)), path);
        for (int i = 0; i < 3; ++i) EXPECT_EQ(TextOf(RequireChild(window, ids::kOption1 + i)), c.captions[i]);
        EXPECT_EQ(SelectedOption(window), c.selected);
        HWND check = RequireChild(window, ids::kCheck1);
        EXPECT_EQ(IsTicked(check), c.ticked);
        EXPECT_EQ(IsWindowEnabled(check) != FALSE, c.enabled);
        EXPECT_EQ(ReadStoredSetting(L"SubFlg"), subFlgBefore);  // showing the box writes nothing
        Release(first);
    }
}

TEST(main_window, icon_cycles_styles_at_top_right_corner) {
    WaitingStart first = StartWaiting(L"C:\\work\\a.txt");
    HWND window = first.main;
    // Nothing stored: the detailed style, recorded as "3".
    EXPECT_EQ(ReadStoredSetting(L"DispStyle"), L"3");
    CheckPlacement(window, kDetailed, 96);
    CheckNothingClipped(window, kDetailed);
    SaveWindowShot(window, L"main-window-detailed");
    for (const Style* style : {&kSmallest, &kNormal, &kDetailed}) {
        SCOPED_TRACE(std::string("click to ") + style->name);
        ClickIcon(window, *style);
        CheckPlacement(window, *style, 96);
        CheckNothingClipped(window, *style);
        if (style != &kDetailed) SaveWindowShot(window, L"main-window-" + FromUtf8(style->name));
    }
    // The icon takes a real click of the mouse too, not only posted messages.
    MouseClickAt(CentreOf(RequireChild(window, ids::kImage1)));
    EXPECT_TRUE(WaitForSetting(L"DispStyle", L"1"));
    CheckPlacement(window, kSmallest, 96);
    EXPECT_TRUE(IsShown(window));
    EXPECT_EQ(TextOf(RequireChild(window, ids::kMainLabel2)), L"C:\\work\\a.txt");
    Release(first);
}

TEST(main_window, opens_in_stored_style) {
    struct Case {
        const wchar_t* stored;
        const Style* opens;
        const Style* afterClick;
    };
    for (const Case& c : {Case{L"2", &kNormal, &kDetailed}, Case{L"7", &kDetailed, &kSmallest},
                          Case{L"1", &kSmallest, &kNormal}}) {
        SCOPED_TRACE("DispStyle " + ToUtf8(c.stored));
        DeleteAppKey();
        WriteStoredSetting(L"DispStyle", c.stored);
        WaitingStart first = StartWaiting(L"C:\\work\\a.txt");
        EXPECT_EQ(ReadStoredSetting(L"DispStyle"), c.opens->number);
        CheckPlacement(first.main, *c.opens, 96);
        ClickIcon(first.main, *c.afterClick);
        CheckPlacement(first.main, *c.afterClick, 96);
        Release(first);
    }
}

TEST(main_window, choices_are_written_as_made) {
    WaitingStart first = StartWaiting(L"C:\\work\\a.txt");
    HWND window = first.main;
    HWND check = RequireChild(window, ids::kCheck1);
    auto option = [&](int i) { return RequireChild(window, ids::kOption1 + i); };

    ASSERT_TRUE(SendClick(option(1)));
    EXPECT_TRUE(WaitForSetting(L"SelectExe", L"1"));
    EXPECT_EQ(SelectedOption(window), 1);
    EXPECT_TRUE(IsWindowEnabled(check));

    // FC: the box is greyed, its tick and SubFlg stay.
    DeleteStoredSetting(L"SubFlg");
    ASSERT_TRUE(SendClick(option(2)));
    EXPECT_TRUE(WaitForSetting(L"SelectExe", L"2"));
    EXPECT_TRUE(!IsWindowEnabled(check));
    EXPECT_TRUE(IsTicked(check));
    EXPECT_EQ(ReadStoredSetting(L"SubFlg"), std::nullopt);

    ASSERT_TRUE(SendClick(option(0)));
    EXPECT_TRUE(WaitForSetting(L"SelectExe", L"0"));
    EXPECT_TRUE(IsWindowEnabled(check));

    // The box: cleared writes "1", ticked writes "".
    ASSERT_TRUE(SendClick(check));
    EXPECT_TRUE(WaitForSetting(L"SubFlg", L"1"));
    EXPECT_TRUE(!IsTicked(check));
    ASSERT_TRUE(SendClick(check));
    EXPECT_TRUE(WaitForSetting(L"SubFlg", L""));
    EXPECT_TRUE(IsTicked(check));

    // A cleared box keeps its state through FC and back.
    ASSERT_TRUE(SendClick(check));
    EXPECT_TRUE(WaitForSetting(L"SubFlg", L"1"));
    ASSERT_TRUE(SendClick(option(2)));
    EXPECT_TRUE(WaitForSetting(L"SelectExe", L"2"));
    EXPECT_TRUE(!IsWindowEnabled(check));
    EXPECT_TRUE(!IsTicked(check));
    ASSERT_TRUE(SendClick(option(1)));
    EXPECT_TRUE(WaitForSetting(L"SelectExe", L"1"));
    EXPECT_TRUE(IsWindowEnabled(check));
    EXPECT_TRUE(!IsTicked(check));
    EXPECT_EQ(ReadStoredSetting(L"SubFlg"), L"1");
    EXPECT_TRUE(first.process.IsRunning());
    Release(first);
}

TEST(main_window, keyboard_moves_between_options_and_toggles_box) {
    WaitingStart first = StartWaiting(L"C:\\work\\a.txt");
    HWND window = first.main;
    HWND check = RequireChild(window, ids::kCheck1);
    auto press = [](HWND control, WPARAM key) {
        PostMessageW(control, WM_KEYDOWN, key, 1);
        PostMessageW(control, WM_KEYUP, key, 0xC0000001);
    };
    // The arrow keys move the selection along the option buttons.
    HWND option0 = RequireChild(window, ids::kOption1);
    press(option0, VK_DOWN);
    EXPECT_TRUE(WaitForSetting(L"SelectExe", L"1"));
    EXPECT_EQ(SelectedOption(window), 1);
    press(RequireChild(window, ids::kOption1 + 1), VK_DOWN);
    EXPECT_TRUE(WaitForSetting(L"SelectExe", L"2"));
    EXPECT_TRUE(!IsWindowEnabled(check));
    press(RequireChild(window, ids::kOption1 + 2), VK_UP);
    EXPECT_TRUE(WaitForSetting(L"SelectExe", L"1"));
    EXPECT_TRUE(IsWindowEnabled(check));
    // The space bar clears and ticks the box.
    press(check, VK_SPACE);
    EXPECT_TRUE(WaitForSetting(L"SubFlg", L"1"));
    EXPECT_TRUE(!IsTicked(check));
    press(check, VK_SPACE);
    EXPECT_TRUE(WaitForSetting(L"SubFlg", L""));
    EXPECT_TRUE(IsTicked(check));
    Release(first);
}

TEST(main_window, focus_starts_on_box_and_comes_back) {
    WaitingStart first = StartWaiting(L"C:\\work\\a.txt");
    HWND window = first.main;
    const DWORD thread = GetWindowThreadProcessId(window, nullptr);
    auto focusId = [&] {
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        return GetGUIThreadInfo(thread, &info) && info.hwndFocus ? GetDlgCtrlID(info.hwndFocus) : -1;
    };
    // Tab index 0 holds the focus when the window opens, so the keys work at once.
    EXPECT_TRUE(WaitUntil([&] { return focusId() == ids::kCheck1; }, 2000));
    PostMessageW(RequireChild(window, ids::kCheck1), WM_KEYDOWN, VK_TAB, 1);
    EXPECT_TRUE(WaitUntil([&] { return focusId() == ids::kOption1; }, 2000));

    // Away to another window and back: the focus returns to where it was.
    HWND other = CreateWindowExW(WS_EX_TOOLWINDOW, L"STATIC", L"other", WS_POPUP | WS_VISIBLE, 0, 0, 100, 100,
                                 nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(other != nullptr);
    SetForegroundWindow(other);
    EXPECT_TRUE(WaitUntil([&] { return GetForegroundWindow() == other; }, 2000));
    SetForegroundWindow(window);
    EXPECT_TRUE(WaitUntil([&] { return GetForegroundWindow() == window; }, 2000));
    EXPECT_TRUE(WaitUntil([&] { return focusId() == ids::kOption1; }, 2000));
    DestroyWindow(other);
    Release(first);
}

TEST(main_window, partner_start_ends_waiting_instance_at_once) {
    WriteStoredSetting(L"WinDiffPath", FakeTool());
    double earliest = 1e9, latest = -1e9, latestFromClear = -1e9;
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE("round " + std::to_string(round + 1));
        const std::wstring log = UseFreshFakeLog();
        WaitingStart first = StartWaiting(L"C:\\work\\old");
        // The user clears the box in the waiting window.
        ASSERT_TRUE(SendClick(RequireChild(first.main, ids::kCheck1)));
        ASSERT_TRUE(WaitForSetting(L"SubFlg", L"1"));

        const PairEnd end = RunSecond(L"C:\\work\\new", first.process);
        ASSERT_TRUE(end.secondEnded);
        // A second start never makes a main window, shown or hidden.
        EXPECT_TRUE(!end.secondHadMainWindow);
        EXPECT_EQ(end.secondWindowsShown, std::vector<std::wstring>{});
        ASSERT_TRUE(end.firstEnded);
        ASSERT_TRUE(end.clearedMs >= 0);
        EXPECT_TRUE(end.firstEndMs - end.clearedMs <= kInstantEndMs);
        earliest = std::min(earliest, end.FirstAfterSecondMs());
        latest = std::max(latest, end.FirstAfterSecondMs());
        if (end.clearedMs >= 0) latestFromClear = std::max(latestFromClear, end.firstEndMs - end.clearedMs);
        EXPECT_EQ(ReadStoredSetting(L"FileName"), L"");
        // A completed pair leaves the box's choice cleared for the next one.
        EXPECT_EQ(ReadStoredSetting(L"SubFlg"), L"");
        EXPECT_TRUE(WaitUntil([&] { return ReadFakeLog(log).size() == 1; }, 5000));
    }
    // The watch on the settings key wakes the waiting instance at once; the
    // partner is often still ending (a negative time: the first ended first).
    Note("in 3 pairs the waiting instance ended " + Ms(earliest) + " to " + Ms(latest) +
         " after its partner start, at most " + Ms(latestFromClear) +
         " after FileName was seen cleared (polled every ~1 ms)");
}

TEST(main_window, cleared_file_name_ends_waiting_instance) {
    struct Case {
        const char* name;
        void (*clear)();
        bool watched;  // else Timer1 alone finds FileName cleared
    };
    const std::vector<Case> cases{
        {"FileName written empty", [] { WriteStoredSetting(L"FileName", L""); }, true},
        {"FileName deleted", [] { DeleteStoredSetting(L"FileName"); }, true},
        // Wine tells a watch of the key nothing when the key is deleted.
        {"settings key deleted", [] { DeleteAppKey(); }, false},
        // The key refuses the waiting instance its watch (SettingsKeyUnwatchable).
        {"no watch, FileName written empty", [] { WriteStoredSetting(L"FileName", L""); }, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DeleteAppKey();
        WriteStoredSetting(L"SubFlg", L"1");
        std::optional<SettingsKeyUnwatchable> unwatchable;
        if (&c == &cases.back()) unwatchable.emplace();
        WaitingStart first = StartWaiting(L"C:\\work\\a.txt");
        // Past a tick with FileName set: the instance waits on.
        Sleep(&c == &cases.front() || unwatchable ? 600 : 100);
        ASSERT_TRUE(first.process.IsRunning());
        c.clear();
        Stopwatch sinceCleared;
        EXPECT_TRUE(first.process.WaitForExit(c.watched ? static_cast<DWORD>(kInstantEndMs) : 1000));
        Note(std::string(c.name) + ": ended after " + Ms(sinceCleared.ElapsedMs()));
        EXPECT_EQ(ReadStoredSetting(L"SubFlg"), L"");
    }
}

TEST(main_window, closing_window_drops_pick_unasked) {
    struct Case {
        const char* name;
        bool closeButton;  // the caption's close button, clicked with the mouse; else WM_CLOSE
        bool clearBox;     // the user clears the box first; else SubFlg "1" is stored before the start
    };
    for (const Case& c : {Case{"WM_CLOSE", false, false}, Case{"close button", true, true}}) {
        SCOPED_TRACE(c.name);
        DeleteAppKey();
        WriteStoredSetting(L"WinDiffPath", FakeTool());
        const std::wstring log = UseFreshFakeLog();
        if (!c.clearBox) WriteStoredSetting(L"SubFlg", L"1");
        WaitingStart first = StartWaiting(L"C:\\work\\a.txt");
        if (c.clearBox) {
            ASSERT_TRUE(SendClick(RequireChild(first.main, ids::kCheck1)));
            ASSERT_TRUE(WaitForSetting(L"SubFlg", L"1"));
        }

        Stopwatch sinceClose;
        if (c.closeButton) {
            std::optional<POINT> button = CloseButtonOf(first.main);
            ASSERT_TRUE(button.has_value());
            MouseClickAt(*button);
        } else {
            duomira::wine::CloseWindow(first.main);
        }
        // No question and no message: nothing but the main window is ever shown.
        std::vector<std::wstring> shown;
        WaitUntil([&] {
            NoteShownWindows(first.process.Id(), shown);
            return !first.process.IsRunning();
        }, 2000, 1);
        EXPECT_TRUE(!first.process.IsRunning());
        Note(std::string(c.name) + ": ended after " + Ms(sinceClose.ElapsedMs()));
        shown.erase(std::remove(shown.begin(), shown.end(), std::wstring(ids::kMainWindowClass)), shown.end());
        EXPECT_EQ(shown, std::vector<std::wstring>{});
        EXPECT_EQ(ReadStoredSetting(L"FileName"), L"");
        EXPECT_EQ(ReadStoredSetting(L"SubFlg"), L"1");
        EXPECT_TRUE(ReadFakeLog(log).empty());
    }
    // The dropped pick is forgotten: the next start waits again.
    WaitingStart next = StartWaiting(L"C:\\work\\b.txt");
    EXPECT_EQ(TextOf(RequireChild(next.main, ids::kMainLabel2)), L"C:\\work\\b.txt");
    Release(next);
}

TEST(main_window, acceptance_compare_two_folders_with_winmerge) {
    const std::wstring a = MakeDirs(L"C:\\比較\\版 1");
    const std::wstring b = MakeDirs(L"C:\\比較\\版 2");
    const std::wstring log = UseFreshFakeLog();

    // First pick: the yellow window comes up at the top-right with A under "詳細".
    WaitingStart first = StartWaiting(a);
    HWND window = first.main;
    EXPECT_TRUE(IsShown(window));
    CheckPlacement(window, kDetailed, 96);
    HWND frame = RequireChild(window, ids::kMainFrame1);
    HWND label = RequireChild(window, ids::kMainLabel2);
    EXPECT_EQ(TextOf(frame), L"詳細");
    EXPECT_EQ(TextOf(label), a);
    const RECT frameRect = WindowRectOf(frame), labelRect = WindowRectOf(label);
    RECT inside{};
    EXPECT_TRUE(IntersectRect(&inside, &frameRect, &labelRect) && EqualRect(&inside, &labelRect));
    {
        // A free spot of the client area, right of the row of buttons.
        Sleep(200);  // painted by now
        POINT spot{300, 57};
        ClientToScreen(window, &spot);
        HDC screen = GetDC(nullptr);
        const COLORREF colour = GetPixel(screen, spot.x, spot.y);
        ReleaseDC(nullptr, screen);
        EXPECT_EQ(colour, RGB(255, 255, 192));
    }

    // WinMerge, and no subdirectories: chosen with the mouse.
    HWND winMerge = RequireChild(window, ids::kOption1 + 1);
    HWND check = RequireChild(window, ids::kCheck1);
    EXPECT_EQ(TextOf(check), kSubdirCaption);
    MouseClickAt(CentreOf(winMerge));
    EXPECT_TRUE(WaitForSetting(L"SelectExe", L"1"));
    MouseClickAt(CentreOf(check));
    EXPECT_TRUE(WaitForSetting(L"SubFlg", L"1"));
    EXPECT_TRUE(!IsTicked(check));
    SaveWindowShot(window, L"acceptance-waiting");
    WriteStoredSetting(L"WinMergePath", FakeTool());

    // Second pick: the tool starts on both folders, the window goes within a second.
    const PairEnd end = RunSecond(b, first.process);
    ASSERT_TRUE(end.secondEnded);
    EXPECT_TRUE(end.firstEnded);
    EXPECT_TRUE(end.FirstAfterSecondMs() <= 1000.0);
    EXPECT_TRUE(!end.secondHadMainWindow);
    EXPECT_EQ(end.secondWindowsShown, std::vector<std::wstring>{});
    EXPECT_TRUE(!IsWindow(window));
    EXPECT_TRUE(WaitUntil([&] { return !ReadFakeLog(log).empty(); }, 5000));
    const std::vector<FakeRecord> started = ReadFakeLog(log);
    ASSERT_EQ(started.size(), 1u);
    EXPECT_EQ(started[0].commandLine, FakeTool() + L" " + Quoted(a) + L" " + Quoted(b));
    EXPECT_EQ(started[0].args, (std::vector<std::wstring>{FakeTool(), a, b}));
    EXPECT_EQ(ReadStoredSetting(L"FileName"), L"");
    EXPECT_EQ(ReadStoredSetting(L"SubFlg"), L"");
    Note("the window went " + Ms(end.FirstAfterSecondMs()) + " after the second pick ended");
}

TEST(main_window, styles_scale_at_144_dpi) {
    {
        // Each program start reads the user's DPI afresh; no restart of Wine is needed.
        UserDpi dpi(144);
        WaitingStart first = StartWaiting(L"C:\\作業\\比較元.txt");
        HWND window = first.main;
        CheckPlacement(window, kDetailed, 144);
        CheckNothingClipped(window, kDetailed);
        SaveWindowShot(window, L"main-window-144dpi-detailed");
        for (const Style* style : {&kSmallest, &kNormal}) {
            SCOPED_TRACE(std::string("144 dpi, click to ") + style->name);
            ClickIcon(window, *style);
            CheckPlacement(window, *style, 144);
            CheckNothingClipped(window, *style);
            SaveWindowShot(window, L"main-window-144dpi-" + FromUtf8(style->name));
        }
        Release(first);
    }
    // Back at 96 DPI for whatever runs next.
    DeleteAppKey();
    WaitingStart after = StartWaiting(L"C:\\work\\a.txt");
    CheckPlacement(after.main, kDetailed, 96);
    Release(after);
}
