// The tool path dialog, driven from outside: what its six boxes show, when
// they are refilled from the registry, what "参照...", "ＯＫ", "キャンセル", the
// close button and the keyboard do, and its modal showing on the start-up error path.
#include <algorithm>
#include <cstdlib>
#include <optional>
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

// The six boxes, and the six keys behind them, in the order the dialog is
// read: path and name of tool 0, of tool 1, of tool 2.
using Six = std::vector<std::wstring>;
const Six kDefaults{L"WINDIFF.exe", L"WINDIFFで比較", L"WINMERGE.exe",
                    L"WINMERGEで比較", L"FC", L"結果を出力"};
const std::vector<std::wstring> kKeys{L"WinDiffPath", L"WinDiffName", L"WinMergePath",
                                      L"WinMergeName", L"CmdPath", L"CmdName"};

int BoxId(int index) { return (index % 2 == 0 ? ids::kPathText1 : ids::kPathText2) + index / 2; }

HWND Box(HWND dialog, int index) { return RequireChild(dialog, BoxId(index)); }

Six BoxTexts(HWND dialog) {
    Six texts;
    for (int i = 0; i < 6; ++i) texts.push_back(TextOf(Box(dialog, i)));
    return texts;
}

// WM_SETTEXT, as a user's typing leaves the box.
void Type(HWND box, std::wstring_view text) {
    const std::wstring value(text);
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(value.c_str()),
                             SMTO_ABORTIFHUNG, 5000, &result))
        Abort("WM_SETTEXT timed out");
}

void TypeAll(HWND dialog, const Six& texts) {
    for (int i = 0; i < 6; ++i) Type(Box(dialog, i), texts[i]);
}

std::vector<std::optional<std::wstring>> StoredSix() {
    std::vector<std::optional<std::wstring>> values;
    for (const std::wstring& key : kKeys) values.push_back(ReadStoredSetting(key));
    return values;
}

std::vector<std::optional<std::wstring>> AsStored(const Six& texts) {
    return {texts.begin(), texts.end()};
}

void StoreSix(const Six& values) {
    for (int i = 0; i < 6; ++i) WriteStoredSetting(kKeys[i], values[i]);
}

// Waits until the boxes show expected (they are filled right after the
// dialog appears), then checks them.
bool BoxesShow(HWND dialog, const Six& expected, DWORD timeoutMs = 3000) {
    WaitUntil([&] { return BoxTexts(dialog) == expected; }, timeoutMs);
    const Six texts = BoxTexts(dialog);
    EXPECT_EQ(texts, expected);
    return texts == expected;
}

DWORD ThreadOf(HWND window) { return GetWindowThreadProcessId(window, nullptr); }

GUITHREADINFO GuiInfo(HWND window) {
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    GetGUIThreadInfo(ThreadOf(window), &info);
    return info;
}

HWND FocusOf(HWND window) { return GuiInfo(window).hwndFocus; }

// Returns once the window's thread has handled everything it was busy with.
void RoundTrip(HWND window) {
    DWORD_PTR result = 0;
    SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 3000, &result);
}

// Makes window the foreground (and so the active) window of its program, and
// waits until its thread has taken the activation.
bool Activate(HWND window) {
    SetForegroundWindow(window);
    return WaitUntil([&] { return GuiInfo(window).hwndActive == window; }, 3000);
}

// "設定" on the main window; the shown dialog.
HWND PressSettings(const WaitingStart& waiting) {
    ClickButton(RequireChild(waiting.main, ids::kMainCommand1));
    return RequireWindow(waiting.process.Id(), ids::kPathDialogClass, 5000);
}

std::vector<HWND> Dialogs(const WaitingStart& waiting) {
    return TopLevelWindows(waiting.process.Id(), ids::kPathDialogClass, false);
}

std::vector<std::wstring> OptionCaptions(HWND main) {
    std::vector<std::wstring> captions;
    for (int i = 0; i < 3; ++i) captions.push_back(TextOf(RequireChild(main, ids::kOption1 + i)));
    return captions;
}

// The file-open dialog that "参照..." opens: a visible standard dialog of the
// process, owned by the tool path dialog.
HWND RequireFileDialog(DWORD processId, HWND owner) {
    HWND found = nullptr;
    WaitUntil(
        [&] {
            for (HWND window : TopLevelWindows(processId, kMessageBoxClass))
                if (GetWindow(window, GW_OWNER) == owner) found = window;
            return found != nullptr;
        },
        5000);
    if (!found) Abort("no file-open dialog");
    return found;
}

// Its file name box (edt1 in one layout, the edit inside cmb13 in the other).
HWND FileNameBox(HWND fileDialog) {
    if (HWND edit = FindChild(fileDialog, 0x480)) return edit;
    if (HWND combo = FindChild(fileDialog, 0x47c)) {
        if (HWND edit = FindWindowExW(combo, nullptr, L"Edit", nullptr)) return edit;
        return combo;
    }
    Abort("the file-open dialog has no file name box");
}

// A waiting first start in English, where Wine titles a file-open dialog
// "Open". It is started from the Unix side as a program of its own: one that
// the driver starts takes on the driver's Japanese locale whatever its
// environment says.
WaitingStart StartWaitingInEnglish(const std::wstring& argument) {
    std::wstring exe = ExePath(L"Duomira.exe");
    // Z: is the root of the Unix file system; start.exe hands the Unix program
    // its arguments split at blanks.
    if (!exe.starts_with(L"Z:") || exe.find(L' ') != std::wstring::npos)
        Abort("Duomira.exe is not on Z: under a path without blanks: " + Show(exe));
    exe = exe.substr(2);
    std::replace(exe.begin(), exe.end(), L'\\', L'/');
    const Process starter = StartProcess(
        L"start.exe /unix /usr/bin/env LC_ALL=en_US.UTF-8 LANG=en_US.UTF-8 wine " + exe + L" " + argument);
    DWORD id = 0;
    WaitUntil([&] {
        const std::vector<DWORD> found = ProcessIdsNamed(L"Duomira.exe");
        id = found.empty() ? 0 : found.front();
        return id != 0;
    }, 10000);
    if (!id) Abort("Duomira.exe did not start from the Unix side");
    WaitingStart waiting;
    const DWORD access = SYNCHRONIZE | PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION;
    waiting.process = Process(OpenProcess(access, FALSE, id), id);
    waiting.main = RequireWindow(id, ids::kMainWindowClass, 10000);
    if (!WaitForSetting(L"FileName", argument, 5000)) Abort("FileName was not recorded");
    return waiting;
}

}  // namespace

TEST(path_dialog, shows_defaults_then_stored_values_on_every_showing) {
    WaitingStart waiting = StartWaiting();
    HWND dialog = PressSettings(waiting);
    BoxesShow(dialog, kDefaults);
    // The path box of tool 0 is first in the tab order and takes the focus.
    EXPECT_TRUE(WaitUntil([&] { return FocusOf(dialog) == Box(dialog, 0); }, 2000));
    EXPECT_EQ(StoredSix(), std::vector<std::optional<std::wstring>>(6));

    // A tool window without owner, minimise or maximise box, and not sizable.
    EXPECT_TRUE(GetWindow(dialog, GW_OWNER) == nullptr);
    EXPECT_TRUE((GetWindowLongW(dialog, GWL_EXSTYLE) & WS_EX_TOOLWINDOW) != 0);
    EXPECT_TRUE((GetWindowLongW(dialog, GWL_STYLE) & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX)) == 0);
    // Centred on the screen, with the laid-out client area (5025 x 4770 twips).
    const RECT outer = WindowRectOf(dialog);
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    EXPECT_TRUE(std::abs((outer.left + outer.right) - screenWidth) <= 2);
    EXPECT_TRUE(std::abs((outer.top + outer.bottom) - screenHeight) <= 2);
    RECT client{};
    GetClientRect(dialog, &client);
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    EXPECT_EQ(client.right, MulDiv(5025, dpi, 1440));
    EXPECT_EQ(client.bottom, MulDiv(4770, dpi, 1440));
    Sleep(200);  // let the controls paint
    SaveScreenshot(L"path_dialog-defaults", &outer);

    // Pressing "設定" again while the dialog is open refills every box from
    // the store; an empty stored value shows as an empty box.
    const Six stored{L"C:\\Tools\\My Diff\\diff.exe", L"", L"", L" 前後に空白 ",
                     L"fc /n", L"ﾌｧｲﾙに出力"};
    StoreSix(stored);
    ClickButton(RequireChild(waiting.main, ids::kMainCommand1));
    BoxesShow(dialog, stored);
    EXPECT_EQ(Dialogs(waiting).size(), 1u);
    EXPECT_TRUE(IsShown(dialog));
    EXPECT_TRUE(waiting.process.IsRunning());
    // Modeless: the main window stays usable beside it.
    EXPECT_TRUE(IsWindowEnabled(waiting.main));
}

TEST(path_dialog, return_from_main_window_refills_unsaved_edits) {
    WaitingStart waiting = StartWaiting();
    HWND dialog = PressSettings(waiting);
    BoxesShow(dialog, kDefaults);
    ASSERT_TRUE(Activate(dialog));

    // Edits that were not stored, in the first and the last box ...
    Type(Box(dialog, 0), L"C:\\edited\\tool.exe");
    Type(Box(dialog, 5), L"編集中");
    // ... are replaced by what the store holds when the user comes back from
    // the main window, read anew at that moment.
    ASSERT_TRUE(Activate(waiting.main));
    WriteStoredSetting(L"CmdPath", L"");
    Six expected = kDefaults;
    expected[4] = L"";
    ASSERT_TRUE(Activate(dialog));
    BoxesShow(dialog, expected);
    EXPECT_EQ(FocusOf(dialog), Box(dialog, 0));

    // Coming back from another program's window is no return from the main
    // window: the edits stay.
    Type(Box(dialog, 1), L"まだ保存しない");
    expected[1] = L"まだ保存しない";
    HWND other = CreateWindowExW(0, L"STATIC", L"other program", WS_POPUP | WS_VISIBLE, 0, 0, 100, 60,
                                 nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_TRUE(other);
    SetForegroundWindow(other);
    EXPECT_TRUE(WaitUntil([&] { return GuiInfo(dialog).hwndActive != dialog; }, 3000));
    ASSERT_TRUE(Activate(dialog));
    DestroyWindow(other);
    RoundTrip(dialog);  // the activation has been handled completely
    EXPECT_EQ(BoxTexts(dialog), expected);
    std::vector<std::optional<std::wstring>> none(6);
    none[4] = L"";
    EXPECT_EQ(StoredSix(), none);  // only the key written above
}

TEST(path_dialog, ok_stores_six_boxes_as_typed_and_renames_options) {
    WaitingStart waiting = StartWaiting();
    ASSERT_TRUE(WaitUntil([&] { return ReadStoredSetting(L"FileName").has_value(); }, 3000));
    const std::optional<std::wstring> selectExe = ReadStoredSetting(L"SelectExe");

    // Unchanged boxes are stored all the same: afterwards every key exists.
    HWND dialog = PressSettings(waiting);
    BoxesShow(dialog, kDefaults);
    ASSERT_TRUE(SendClick(RequireChild(dialog, ids::kPathCommand3)));
    EXPECT_TRUE(!IsShown(dialog));
    EXPECT_EQ(StoredSix(), AsStored(kDefaults));

    // Typed texts are stored exactly: blanks kept, quotes kept, empty stays empty.
    const Six typed{L" \"C:\\Program Files\\Diff\\diff.exe\" ", L"比較１",
                    L"", L"",
                    L"fc /b", L"ﾊﾞｲﾅﾘ比較　(FC)"};
    HWND again = PressSettings(waiting);
    EXPECT_TRUE(again == dialog);  // hidden, not destroyed
    BoxesShow(again, kDefaults);
    TypeAll(again, typed);
    ASSERT_TRUE(SendClick(RequireChild(again, ids::kPathCommand3)));
    EXPECT_TRUE(!IsShown(again));
    EXPECT_EQ(StoredSix(), AsStored(typed));
    // The names reach the main window's option buttons at once; the chosen
    // tool stays as it was.
    EXPECT_EQ(OptionCaptions(waiting.main), (std::vector<std::wstring>{typed[1], typed[3], typed[5]}));
    EXPECT_EQ(ReadStoredSetting(L"SelectExe"), selectExe);
    EXPECT_TRUE(IsShown(waiting.main));
    EXPECT_TRUE(waiting.process.IsRunning());
    Sleep(100);
    SaveScreenshot(L"path_dialog-renamed-options", nullptr);

    // The next showing shows what was stored, the empty ones empty.
    BoxesShow(PressSettings(waiting), typed);
}

TEST(path_dialog, cancel_and_close_button_store_nothing) {
    const Six stored{L"C:\\diff\\a.exe", L"A", L"C:\\merge\\b.exe", L"B", L"FC", L"C"};
    StoreSix(stored);
    WaitingStart waiting = StartWaiting();
    ASSERT_TRUE(WaitUntil([&] { return ReadStoredSetting(L"FileName").has_value(); }, 3000));
    const Six edits{L"x.exe", L"X", L"y.exe", L"Y", L"z", L"Z"};

    // "キャンセル" hides the dialog; the edits are dropped at the next showing.
    HWND dialog = PressSettings(waiting);
    BoxesShow(dialog, stored);
    auto before = AllStoredSettings();
    TypeAll(dialog, edits);
    // Moved by the user, it comes back where it was left.
    const RECT outer = WindowRectOf(dialog);
    MoveWindow(dialog, 40, 50, outer.right - outer.left, outer.bottom - outer.top, TRUE);
    ASSERT_TRUE(SendClick(RequireChild(dialog, ids::kPathCommand4)));
    EXPECT_TRUE(!IsShown(dialog));
    EXPECT_TRUE(IsWindow(dialog));
    EXPECT_TRUE(AllStoredSettings() == before);
    HWND shownAgain = PressSettings(waiting);
    EXPECT_TRUE(shownAgain == dialog);
    BoxesShow(shownAgain, stored);
    EXPECT_EQ(WindowRectOf(shownAgain).left, 40);
    EXPECT_EQ(WindowRectOf(shownAgain).top, 50);

    // The close button, by WM_CLOSE and by the system menu's SC_CLOSE, destroys
    // it; the next "設定" builds it anew from the store.
    for (const bool systemCommand : {false, true}) {
        SCOPED_TRACE(systemCommand ? "SC_CLOSE" : "WM_CLOSE");
        dialog = TopLevelWindows(waiting.process.Id(), ids::kPathDialogClass).at(0);
        TypeAll(dialog, edits);
        if (systemCommand)
            PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
        else
            duomira::wine::CloseWindow(dialog);
        EXPECT_TRUE(WaitUntil([&] { return !IsWindow(dialog); }, 3000));
        EXPECT_TRUE(Dialogs(waiting).empty());
        EXPECT_TRUE(AllStoredSettings() == before);
        EXPECT_TRUE(waiting.process.IsRunning());
        HWND created = PressSettings(waiting);
        EXPECT_TRUE(created != dialog);
        BoxesShow(created, stored);
    }
    EXPECT_TRUE(AllStoredSettings() == before);
}

TEST(path_dialog, enter_and_escape_press_no_button) {
    WaitingStart waiting = StartWaiting();
    ASSERT_TRUE(WaitUntil([&] { return ReadStoredSetting(L"FileName").has_value(); }, 3000));
    HWND dialog = PressSettings(waiting);
    BoxesShow(dialog, kDefaults);
    ASSERT_TRUE(Activate(dialog));
    ASSERT_TRUE(WaitUntil([&] { return FocusOf(dialog) == Box(dialog, 0); }, 2000));
    Type(Box(dialog, 0), L"typed.exe");
    const auto before = AllStoredSettings();

    const auto post = [](HWND window, WPARAM key) {
        PostMessageW(window, WM_KEYDOWN, key, 1);
        PostMessageW(window, WM_KEYUP, key, 0xC0000001);
    };
    // Keys posted to the focused box pass the program's keyboard handling like
    // typed ones. A Tab after them shows that they have been handled, and that
    // they went through the dialog's keyboard navigation.
    post(Box(dialog, 0), VK_RETURN);
    post(Box(dialog, 0), VK_ESCAPE);
    post(Box(dialog, 0), VK_TAB);
    EXPECT_TRUE(WaitUntil([&] { return FocusOf(dialog) == Box(dialog, 1); }, 3000));
    post(Box(dialog, 1), VK_ESCAPE);
    post(Box(dialog, 1), VK_RETURN);
    post(Box(dialog, 1), VK_TAB);
    EXPECT_TRUE(WaitUntil([&] { return FocusOf(dialog) == Box(dialog, 2); }, 3000));

    // The same from the keyboard, with the dialog in the foreground.
    ASSERT_TRUE(Activate(dialog));
    for (WORD key : {VK_RETURN, VK_ESCAPE}) {
        INPUT input[2]{};
        input[0].type = input[1].type = INPUT_KEYBOARD;
        input[0].ki.wVk = input[1].ki.wVk = key;
        input[1].ki.dwFlags = KEYEVENTF_KEYUP;
        SendInput(2, input, sizeof(INPUT));
    }
    // Again a Tab shows that the keys have arrived and been handled.
    INPUT tab[2]{};
    tab[0].type = tab[1].type = INPUT_KEYBOARD;
    tab[0].ki.wVk = tab[1].ki.wVk = VK_TAB;
    tab[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, tab, sizeof(INPUT));
    EXPECT_TRUE(WaitUntil([&] { return FocusOf(dialog) == Box(dialog, 3); }, 3000));

    EXPECT_TRUE(IsShown(dialog));
    EXPECT_TRUE(AllStoredSettings() == before);
    EXPECT_EQ(TextOf(Box(dialog, 0)), L"typed.exe");
    EXPECT_EQ(ReadStoredSetting(L"WinDiffPath"), std::nullopt);
}

TEST(path_dialog, error_path_shows_dialog_modal_then_ends) {
    struct Case {
        const wchar_t* key;
        const wchar_t* value;
        bool pressOk;  // else the close button
    };
    // SelectExe "3" fails after the main window has loaded (hidden), DispStyle
    // "x" before it has; "ＯＫ" then loads it, still hidden, for the option captions.
    const std::vector<Case> cases{
        {L"SelectExe", L"3", true},
        {L"DispStyle", L"x", true},
        {L"SelectExe", L"3", false},
    };
    const Six typed{L"C:\\Diff\\d.exe", L"", L"C:\\Merge\\m.exe", L"マージ", L"FC", L"出力"};
    for (const Case& c : cases) {
        SCOPED_TRACE(ToUtf8(c.key) + " " + Show(c.value) + (c.pressOk ? ", ＯＫ" : ", close"));
        DeleteAppKey();
        WriteStoredSetting(c.key, c.value);
        // A second start: the waiting path keeps the timer from ending the process.
        WriteStoredSetting(L"FileName", L"C:\\work\\a.txt");

        Process start = StartDuomira(L"C:\\work\\b.txt", TestTempDir());
        std::optional<MessageBoxInfo> box = WaitForMessageBox(start.Id(), 10000);
        if (!box) Abort("no message box");
        EXPECT_EQ(box->caption, L"Duomira");
        EXPECT_EQ(box->text, kPathError);
        PressMessageBoxOk(box->window);

        HWND dialog = RequireWindow(start.Id(), ids::kPathDialogClass, 5000);
        BoxesShow(dialog, kDefaults);
        // Modal: the start-up waits for it, a timer tick and more.
        Sleep(600);
        EXPECT_TRUE(start.IsRunning());
        EXPECT_EQ(ReadStoredSetting(L"FileName"), L"C:\\work\\a.txt");
        if (c.pressOk && std::wstring(c.key) == L"SelectExe") {
            const RECT rect = WindowRectOf(dialog);
            SaveScreenshot(L"path_dialog-error-path-modal", &rect);
        }

        TypeAll(dialog, typed);
        if (c.pressOk)
            ClickButton(RequireChild(dialog, ids::kPathCommand3));
        else
            duomira::wine::CloseWindow(dialog);
        EXPECT_TRUE(start.WaitForExit(5000));
        EXPECT_EQ(ReadStoredSetting(L"FileName"), L"");
        if (c.pressOk)
            EXPECT_EQ(StoredSix(), AsStored(typed));
        else
            EXPECT_EQ(StoredSix(), std::vector<std::optional<std::wstring>>(6));
    }
}

TEST(path_dialog, browse_fills_its_path_box_only) {
    // Not in Japanese: there the dialog is titled "開く" whether the program
    // sets the title or not.
    WaitingStart waiting = StartWaitingInEnglish(L"C:\\work\\a.txt");
    ASSERT_TRUE(WaitUntil([&] { return ReadStoredSetting(L"FileName").has_value(); }, 3000));
    const auto before = AllStoredSettings();
    HWND dialog = PressSettings(waiting);
    BoxesShow(dialog, kDefaults);
    // An unsaved edit: coming back from the file-open dialog must not refill it.
    Type(Box(dialog, 1), L"名前だけ編集");

    // A program on C:, in a folder with blanks and Japanese in its name.
    const std::wstring tool = MakeDirs(L"C:\\比較 ツール") + L"\\fake_tool.exe";
    ASSERT_TRUE(CopyFileW(ExePath(L"fake_tool.exe").c_str(), tool.c_str(), FALSE));
    ClickButton(RequireChild(dialog, ids::kPathCommand1));
    HWND open = RequireFileDialog(waiting.process.Id(), dialog);
    EXPECT_EQ(TextOf(open), duomira::expected::kBrowseTitle);
    Type(FileNameBox(open), tool);
    ClickButton(RequireChild(open, IDOK));
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(open); }, 5000));
    Six expected = kDefaults;
    expected[0] = tool;
    expected[1] = L"名前だけ編集";
    BoxesShow(dialog, expected);

    // Tool 1's button opens with the file chosen before; cancelling it leaves
    // its box as it was.
    ClickButton(RequireChild(dialog, ids::kPathCommand2));
    open = RequireFileDialog(waiting.process.Id(), dialog);
    const std::wstring offered = TextOf(FileNameBox(open));
    EXPECT_TRUE(offered.ends_with(L"fake_tool.exe"));
    ClickButton(RequireChild(open, IDCANCEL));
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(open); }, 5000));
    RoundTrip(dialog);
    EXPECT_EQ(BoxTexts(dialog), expected);

    // The path lives only in the box: nothing is stored until "ＯＫ".
    EXPECT_TRUE(AllStoredSettings() == before);
    ASSERT_TRUE(SendClick(RequireChild(dialog, ids::kPathCommand4)));
    EXPECT_TRUE(AllStoredSettings() == before);
}
