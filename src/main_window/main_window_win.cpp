// Implements MainWindowHost (main_window/main_window.h) as a Win32 window.
#include "main_window/main_window_win.h"

#include "main_window/main_window_ids.h"
#include "main_window/main_window_layout.h"
#include "platform/program_end_win.h"
#include "platform/trace_win.h"
#include "../res/resource.h"

namespace duomira {

namespace {

constexpr UINT kTimerIntervalMs = 500;
constexpr UINT kCopyGlobalData = 0x0049;  // WM_COPYGLOBALDATA: carries a drop's data

// The one main window of the process, for the window-less timer's callback.
Win32MainWindow* g_mainWindow = nullptr;

void SetTextIfChanged(HWND control, std::wstring_view text) {
    if (!control) return;
    const int length = GetWindowTextLengthW(control);
    std::wstring current(static_cast<size_t>(length) + 1, L'\0');
    current.resize(static_cast<size_t>(GetWindowTextW(control, current.data(), length + 1)));
    if (current != text) SetWindowTextW(control, std::wstring(text).c_str());
}

HICON LoadProgramIcon(int size) {
    return static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_DUOMIRA),
                                         IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
}

// The window's outer rectangle in pixels: position and size each converted.
RECT OuterRect(const MainWindowModel& model, int dpi) {
    const int left = TwipsToPixels(model.left, dpi);
    const int top = TwipsToPixels(model.top, dpi);
    return {left, top, left + TwipsToPixels(model.outerWidth, dpi),
            top + TwipsToPixels(model.outerHeight, dpi)};
}

}  // namespace

Win32MainWindow::Win32MainWindow(SettingsBackend& store, SharedVariables& shared)
    : logic_(store, shared, *this) {
    g_mainWindow = this;
}

Win32MainWindow::~Win32MainWindow() {
    if (timer_) KillTimer(nullptr, timer_);
    if (g_mainWindow == this) g_mainWindow = nullptr;
}

long Win32MainWindow::ScreenWidthTwips() {
    // A long holds any screen width; the placement must not wrap on wide screens.
    const int dpi = WindowDpi(Hwnd());
    return PixelsToTwips(GetSystemMetrics(SM_CXSCREEN), dpi);
}

void Win32MainWindow::StartTimer() {
    // A thread timer: it ticks whether or not the window is realised, and
    // inside the modal loops of message boxes and dialogs. It ticks only while
    // the thread handles messages, so it is set when the window system starts
    // (first window or message box): a second start that only starts a tool
    // never loads the window system for it.
    WhenWindowSystemStarts([this] {
        if (timer_) return;
        timer_ = SetTimer(nullptr, 0, kTimerIntervalMs, &Win32MainWindow::OnTimer);
        // The watch on the settings key may still end the wait; without it
        // nothing ends it but closing the window.
        if (!timer_) TraceFailure(L"SetTimer", L"Timer1", GetLastError());
    });
}

void CALLBACK Win32MainWindow::OnTimer(HWND, UINT, UINT_PTR, DWORD) {
    // Called from the system's message dispatch: nothing may unwind through it.
    try {
        if (g_mainWindow && !g_mainWindow->logic_.Timer1_Timer()) FailUnhandled();
    } catch (...) {
        FailUnhandled();
    }
}

void Win32MainWindow::EndProgram() { duomira::EndProgram(); }

void Win32MainWindow::DropIgnored(IgnoredDrop why, const std::vector<std::wstring>& paths) {
    std::wstring items;
    for (const auto& path : paths) items += (items.empty() ? L"\"" : L" \"") + path + L"\"";
    if (why == IgnoredDrop::EarlierDropBusy) {
        MessageBeep(MB_OK);
        TraceFailure(L"drop (ignored: an earlier drop's message is up)", items, ERROR_BUSY);
    } else {
        TraceFailure(L"drop (ignored: the waiting pick was already taken)", items,
                     ERROR_CANCELLED);
    }
}

void Win32MainWindow::PlaceWindow(const MainWindowModel& model) {
    const RECT wanted = OuterRect(model, WindowDpi(Hwnd()));
    RECT current{};
    if (GetWindowRect(Hwnd(), &current) && EqualRect(&current, &wanted)) return;
    SetWindowPos(Hwnd(), nullptr, wanted.left, wanted.top, wanted.right - wanted.left,
                 wanted.bottom - wanted.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32MainWindow::Sync(const MainWindowModel& model) {
    if (!Hwnd()) return;
    for (int i = 0; i < 3; ++i) {
        HWND option = layout_.Control(ids::kOption1 + i);
        SetTextIfChanged(option, model.optionCaptions[i]);
        const WPARAM state = model.selectedOption == i ? BST_CHECKED : BST_UNCHECKED;
        if (option && SendMessageW(option, BM_GETCHECK, 0, 0) != static_cast<LRESULT>(state)) {
            SendMessageW(option, BM_SETCHECK, state, 0);
        }
    }
    if (HWND check = layout_.Control(ids::kCheck1)) {
        const WPARAM state = model.checkTicked ? BST_CHECKED : BST_UNCHECKED;
        if (SendMessageW(check, BM_GETCHECK, 0, 0) != static_cast<LRESULT>(state)) {
            SendMessageW(check, BM_SETCHECK, state, 0);
        }
        if ((IsWindowEnabled(check) != FALSE) != model.checkEnabled) {
            EnableWindow(check, model.checkEnabled);
        }
    }
    SetTextIfChanged(layout_.Control(ids::kMainLabel2), model.firstPath);
    PlaceWindow(model);
}

bool Win32MainWindow::Realize(const MainWindowModel& model) {
    if (Hwnd()) return true;
    const int dpi = SystemDpi();
    icon_.reset(LoadProgramIcon(GetSystemMetrics(SM_CXICON)));
    const WindowLayout& layout = MainWindowLayout();
    // The class background is painted with the layout's brush (see WM_ERASEBKGND).
    if (!RegisterWindowClass(ids::kMainWindowClass, icon_.get(), nullptr)) return false;
    const RECT rect = OuterRect(model, dpi);
    // Files dropped from Explorer come as WM_DROPFILES. The style alone asks
    // for them, so shell32 loads only when something is dropped. Explorer runs
    // at medium integrity; when this process runs higher, the system would
    // filter out the messages of the drop unless they are let through.
    if (!CreateTopLevel(ids::kMainWindowClass, layout.caption, kToolWindowStyle,
                        kToolWindowExStyle | WS_EX_ACCEPTFILES, rect)) {
        return false;
    }
    for (UINT message : {static_cast<UINT>(WM_DROPFILES), static_cast<UINT>(WM_COPYDATA),
                         kCopyGlobalData}) {
        ChangeWindowMessageFilterEx(Hwnd(), message, MSGFLT_ALLOW, nullptr);
    }
    const int windowDpi = WindowDpi(Hwnd());
    // The controls are made with the model's texts; Sync then has little left to do.
    layout_.Create(Hwnd(), layout, windowDpi, GetModuleHandleW(nullptr),
                   {{ids::kOption1, model.optionCaptions[0]},
                    {ids::kOption1 + 1, model.optionCaptions[1]},
                    {ids::kOption1 + 2, model.optionCaptions[2]},
                    {ids::kMainLabel2, model.firstPath}});
    if (HWND image = layout_.Control(ids::kImage1)) {
        // At the system's DPI the class icon has the image's size: loading the
        // icon again would only cost the first window time.
        const int size = TwipsToPixels(480, windowDpi);
        HICON shown = icon_.get();
        if (!shown || size != GetSystemMetrics(SM_CXICON)) {
            imageIcon_.reset(LoadProgramIcon(size));
            shown = imageIcon_.get();
        }
        SendMessageW(image, STM_SETICON, reinterpret_cast<WPARAM>(shown), 0);
    }
    Sync(model);
    return true;
}

bool Win32MainWindow::Show(const MainWindowModel& model) {
    if (!Realize(model)) return false;
    ShowWindow(Hwnd(), SW_SHOW);
    SetForegroundWindow(Hwnd());
    return true;
}

void Win32MainWindow::OnCommand(int id, int code) {
    bool ok = true;
    if (id >= ids::kOption1 && id < ids::kOption1 + 3 && code == BN_CLICKED) {
        int selected = -1;
        for (int i = 0; i < 3 && selected < 0; ++i) {
            HWND option = layout_.Control(ids::kOption1 + i);
            if (SendMessageW(option, BM_GETCHECK, 0, 0) == BST_CHECKED) selected = i;
        }
        ok = logic_.Option1_Click(selected);
    } else if (id == ids::kCheck1 && code == BN_CLICKED) {
        HWND check = layout_.Control(ids::kCheck1);
        ok = logic_.Check1_Click(SendMessageW(check, BM_GETCHECK, 0, 0) == BST_CHECKED);
    } else if (id == ids::kImage1 && code == STN_CLICKED) {
        ok = logic_.Image1_Click();
    } else if (id == ids::kMainCommand1 && code == BN_CLICKED) {
        if (onSettings) onSettings();
    } else if (id == ids::kMainCommand2 && code == BN_CLICKED) {
        if (onHelp) onHelp();
    }
    if (!ok) FailUnhandled();
}

void Win32MainWindow::OnActivate(bool active) {
    if (!active) {
        HWND focus = GetFocus();
        if (focus && IsChild(Hwnd(), focus)) lastFocus_ = focus;
        return;
    }
    // As in a dialog the focus goes to a control, so the keys work at once: the
    // one that had it last, else the first in tab order (Check1, unless greyed).
    HWND focus = lastFocus_ && IsChild(Hwnd(), lastFocus_) && IsWindowEnabled(lastFocus_)
                     ? lastFocus_
                     : GetNextDlgTabItem(Hwnd(), nullptr, FALSE);
    if (focus) SetFocus(focus);
}

void Win32MainWindow::OnDropFiles(HDROP drop) {
    std::vector<std::wstring> paths;
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        std::wstring path;
        const UINT length = DragQueryFileW(drop, i, nullptr, 0);
        if (length > 0) {
            path.assign(static_cast<size_t>(length) + 1, L'\0');
            path.resize(DragQueryFileW(drop, i, path.data(), length + 1));
        }
        // An item whose name can't be read stays in, empty: the drop then
        // fails as a whole instead of going on with fewer items.
        if (path.empty()) {
            TraceFailure(L"DragQueryFileW", L"dropped item " + std::to_wstring(i), GetLastError());
        }
        paths.push_back(std::move(path));
    }
    DragFinish(drop);
    if (!logic_.OnDrop(paths)) FailUnhandled();
}

LRESULT Win32MainWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (auto result = layout_.OnColourMessage(Hwnd(), message, wParam, lParam)) return *result;
    switch (message) {
    case WM_COMMAND:
        OnCommand(LOWORD(wParam), HIWORD(wParam));
        return 0;
    case WM_ACTIVATE:
        OnActivate(LOWORD(wParam) != WA_INACTIVE);
        return 0;
    case WM_DROPFILES:
        OnDropFiles(reinterpret_cast<HDROP>(wParam));
        return 0;
    case WM_CLOSE:
        // Closing the window drops the waiting pick and ends the program, unasked.
        if (!logic_.Form_QueryUnload()) FailUnhandled();
        return 0;
    case WM_QUERYENDSESSION:
        return TRUE;  // a log-off or shut-down is never held up
    case WM_ENDSESSION:
        // The session ends: the same close handling, so that no stale pick
        // waits in FileName for the next log-on.
        if (wParam && !logic_.Form_QueryUnload()) FailUnhandled();
        return 0;
    case WM_DPICHANGED: {
        layout_.Relayout(HIWORD(wParam));
        if (HWND image = layout_.Control(ids::kImage1)) {
            imageIcon_.reset(LoadProgramIcon(TwipsToPixels(480, HIWORD(wParam))));
            SendMessageW(image, STM_SETICON, reinterpret_cast<WPARAM>(imageIcon_.get()), 0);
        }
        PlaceWindow(logic_.Model());
        return 0;
    }
    default:
        return Window::OnMessage(message, wParam, lParam);
    }
}

}  // namespace duomira
