#include "help_window/help_window_win.h"

#include <string>

#include "help_window/help_window_ids.h"
#include "help_window/usage_text.h"
#include "platform/layout.h"
#include "platform/program_end_win.h"

namespace duomira {

namespace {

constexpr std::wstring_view kHelpCaption = L"使い方";
constexpr int kClientWidth = 6630;  // twips
constexpr int kClientHeight = 4830;
// The text box leaves a 15-twip strip of the window's own colour at the
// right and at the bottom.
constexpr TwipsRect kTextRect{0, 0, 6615, 4815};
constexpr COLORREF kTextBackground = RGB(255, 224, 192);

// Read-only: the caret moves and text can be copied, but nothing changes.
// Multi-line and word-wrapping, without scroll bars.
constexpr DWORD kTextStyle =
    WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_LEFT | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL;

RECT CentredOuterRect(int dpi) {
    const RECT outer =
        OuterRectForClient(kClientWidth, kClientHeight, kToolWindowStyle, kToolWindowExStyle, dpi);
    const int width = outer.right - outer.left;
    const int height = outer.bottom - outer.top;
    const int left = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    const int top = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    return {left, top, left + width, top + height};
}

}  // namespace

void Win32HelpWindow::Open() {
    if (!Realize()) FailUnhandled();
    ShowWindow(Hwnd(), SW_SHOW);
    SetForegroundWindow(Hwnd());
}

bool Win32HelpWindow::Realize() {
    if (Hwnd()) return true;
    // No icon; the window's colour is the system's active-border colour.
    if (!RegisterWindowClass(ids::kHelpWindowClass, nullptr,
                             reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_ACTIVEBORDER + 1)))) {
        return false;
    }
    const int dpi = SystemDpi();
    if (!CreateTopLevel(ids::kHelpWindowClass, kHelpCaption, kToolWindowStyle, kToolWindowExStyle,
                        CentredOuterRect(dpi))) {
        return false;
    }
    const int windowDpi = WindowDpi(Hwnd());
    if (windowDpi != dpi) {
        const RECT rect = CentredOuterRect(windowDpi);
        SetWindowPos(Hwnd(), nullptr, rect.left, rect.top, rect.right - rect.left,
                     rect.bottom - rect.top, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (!textBrush_) textBrush_.reset(CreateSolidBrush(kTextBackground));
    text_ = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"", kTextStyle, 0, 0, 0, 0, Hwnd(),
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(ids::kHelpText1)),
                            GetModuleHandleW(nullptr), nullptr);
    if (!text_) return false;
    ApplyDpi(windowDpi);
    // Built anew for every window: the text is the window's load.
    SetWindowTextW(text_, BuildUsageText().c_str());
    return true;
}

void Win32HelpWindow::ApplyDpi(int dpi) {
    if (!text_) return;
    const int left = TwipsToPixels(kTextRect.left, dpi);
    const int top = TwipsToPixels(kTextRect.top, dpi);
    SetWindowPos(text_, nullptr, left, top, TwipsToPixels(kTextRect.left + kTextRect.width, dpi) - left,
                 TwipsToPixels(kTextRect.top + kTextRect.height, dpi) - top,
                 SWP_NOZORDER | SWP_NOACTIVATE);

    // The system's message font at this DPI, as for the other windows' controls.
    UniqueGdiObject font = CreateMessageFont(dpi);
    SendMessageW(text_, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), TRUE);
    font_ = std::move(font);  // the old font goes once the box has the new one
}

LRESULT Win32HelpWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CTLCOLORSTATIC:  // a read-only edit asks with this message
        if (reinterpret_cast<HWND>(lParam) == text_) {
            HDC dc = reinterpret_cast<HDC>(wParam);
            SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
            SetBkColor(dc, kTextBackground);
            return reinterpret_cast<LRESULT>(textBrush_.get());
        }
        break;
    case WM_ACTIVATE:
        // The text box holds the focus whenever the window is active.
        if (LOWORD(wParam) != WA_INACTIVE && text_) SetFocus(text_);
        return 0;
    case WM_DPICHANGED: {
        const auto* suggested = reinterpret_cast<const RECT*>(lParam);
        const RECT outer = OuterRectForClient(kClientWidth, kClientHeight, kToolWindowStyle,
                                              kToolWindowExStyle, HIWORD(wParam));
        SetWindowPos(Hwnd(), nullptr, suggested->left, suggested->top, outer.right - outer.left,
                     outer.bottom - outer.top, SWP_NOZORDER | SWP_NOACTIVATE);
        ApplyDpi(HIWORD(wParam));
        return 0;
    }
    case WM_NCDESTROY:
        // Closing discards the window and its text; the box is gone with it.
        text_ = nullptr;
        font_.reset();
        break;
    default:
        break;
    }
    return Window::OnMessage(message, wParam, lParam);
}

}  // namespace duomira
