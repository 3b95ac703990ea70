// Implements PathDialogView (path_dialog/path_dialog.h) and PathDialogApi (launch/startup.h).
#include "path_dialog/path_dialog_win.h"

#include <commdlg.h>

#include <algorithm>
#include <vector>

#include "path_dialog/path_dialog_ids.h"
#include "path_dialog/path_dialog_layout.h"
#include "platform/program_end_win.h"
#include "platform/trace_win.h"
#include "../res/resource.h"

namespace duomira {

namespace {

// Room for the longest path the system accepts, not just MAX_PATH.
constexpr size_t kFileNameCapacity = 32768;

std::wstring ReadText(HWND control) {
    if (!control) return {};
    const int length = GetWindowTextLengthW(control);
    if (length <= 0) return {};
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(control, text.data(), length + 1)));
    return text;
}

void WriteText(HWND control, std::wstring_view text) {
    if (control) SetWindowTextW(control, std::wstring(text).c_str());
}

struct ModalContext {
    HWND dialog;
    std::vector<HWND>* windows;
};

// The program's other visible windows, which the modal showing disables.
BOOL CALLBACK CollectEnabledWindow(HWND hwnd, LPARAM param) {
    auto* context = reinterpret_cast<ModalContext*>(param);
    if (hwnd != context->dialog && IsWindowVisible(hwnd) && IsWindowEnabled(hwnd)) {
        context->windows->push_back(hwnd);
    }
    return TRUE;
}

}  // namespace

Win32PathDialog::Win32PathDialog(SettingsBackend& store, MainWindow& mainWindow,
                                 InstallProbe* probe)
    : logic_(store, mainWindow, *this, probe) {}

HWND Win32PathDialog::Box(int firstId, int tool) const { return layout_.Control(firstId + tool); }

void Win32PathDialog::PlaceForDpi(int dpi, int left, int top) {
    const WindowLayout& layout = PathDialogLayout();
    const RECT outer = OuterRectForClient(layout.clientWidth, layout.clientHeight,
                                          kToolWindowStyle, kToolWindowExStyle, dpi);
    SetWindowPos(Hwnd(), nullptr, left, top, outer.right - outer.left, outer.bottom - outer.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

bool Win32PathDialog::Realize() {
    if (Hwnd()) return true;
    HINSTANCE instance = GetModuleHandleW(nullptr);
    if (!icon_) {
        icon_.reset(static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_PATH_DIALOG),
                                                  IMAGE_ICON, GetSystemMetrics(SM_CXICON),
                                                  GetSystemMetrics(SM_CYICON), LR_DEFAULTCOLOR)));
    }
    // The background is painted with the layout's brush (see WM_ERASEBKGND).
    if (!RegisterWindowClass(ids::kPathDialogClass, icon_.get(), nullptr)) return false;

    // Centred on the screen when created; later showings keep the place.
    const WindowLayout& layout = PathDialogLayout();
    const auto centred = [&layout](int dpi) {
        RECT outer = OuterRectForClient(layout.clientWidth, layout.clientHeight, kToolWindowStyle,
                                        kToolWindowExStyle, dpi);
        const int width = outer.right - outer.left;
        const int height = outer.bottom - outer.top;
        const int left = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
        const int top = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
        return RECT{left, top, left + width, top + height};
    };
    const int dpi = SystemDpi();
    if (!CreateTopLevel(ids::kPathDialogClass, layout.caption, kToolWindowStyle,
                        kToolWindowExStyle, centred(dpi))) {
        return false;
    }
    const int windowDpi = WindowDpi(Hwnd());
    if (windowDpi != dpi) {
        const RECT rect = centred(windowDpi);
        PlaceForDpi(windowDpi, rect.left, rect.top);
    }
    SendMessageW(Hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_.get()));
    layout_.Create(Hwnd(), layout, windowDpi, instance);
    for (int tool = 0; tool < kToolCount; ++tool) {
        // No length limit on paths and names (0: the largest the control takes).
        SendMessageW(Box(ids::kPathText1, tool), EM_SETLIMITTEXT, 0, 0);
        SendMessageW(Box(ids::kPathText2, tool), EM_SETLIMITTEXT, 0, 0);
    }
    lastFocus_ = Box(ids::kPathText1, 0);  // first in the tab order
    return true;
}

bool Win32PathDialog::Show() {
    if (!Realize()) return false;
    // The activation caused here is not a return to the dialog; the boxes are
    // refilled once below, also when the dialog was already the active window.
    showing_ = true;
    ShowWindow(Hwnd(), SW_SHOW);
    SetForegroundWindow(Hwnd());
    showing_ = false;
    return logic_.Form_Activate();
}

void Win32PathDialog::ShowModeless() {
    if (!Show()) FailUnhandled();
}

void Win32PathDialog::ShowModal() {
    if (!Realize()) FailUnhandled();
    std::vector<HWND> disabled;
    ModalContext context{Hwnd(), &disabled};
    EnumThreadWindows(GetCurrentThreadId(), &CollectEnabledWindow,
                      reinterpret_cast<LPARAM>(&context));
    for (HWND window : disabled) EnableWindow(window, FALSE);

    const bool shown = Show();
    // The nested loop works like the program's own: the main window's thread
    // timer keeps ticking, and Tab moves between the controls.
    MSG msg{};
    while (shown && Hwnd() && IsWindowVisible(Hwnd())) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got <= 0) {
            if (got == 0) PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        HWND active = GetActiveWindow();
        if (active && IsDialogMessageW(active, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }

    for (HWND window : disabled) {
        if (IsWindow(window)) EnableWindow(window, TRUE);
    }
    if (!shown) FailUnhandled();
}

void Win32PathDialog::OnActivate(bool active, HWND other) {
    if (!active) {
        HWND focus = GetFocus();
        if (focus && IsChild(Hwnd(), focus)) lastFocus_ = focus;
        return;
    }
    HWND focus = lastFocus_ && IsChild(Hwnd(), lastFocus_) ? lastFocus_ : Box(ids::kPathText1, 0);
    if (focus) SetFocus(focus);

    // Refill only on a return from another window of this program. Not from the
    // file-open dialog (or any window the dialog owns), not from another
    // program, and not when Show() refills by itself.
    if (showing_ || browsing_ || !other) return;
    if (GetWindowThreadProcessId(other, nullptr) != GetCurrentThreadId()) return;
    if (GetWindow(other, GW_OWNER) == Hwnd()) return;
    if (!logic_.Form_Activate()) FailUnhandled();
}

void Win32PathDialog::OnCommand(int id, int code) {
    // Enter and Esc arrive as IDOK and IDCANCEL from the message loop's
    // IsDialogMessage; the dialog has no default or cancel button, so they fall through.
    if (code != BN_CLICKED) return;
    switch (id) {
    case ids::kPathCommand1:
    case ids::kPathCommand2:
        // A failed browse ends quietly, whatever failed.
        try {
            logic_.Browse(id == ids::kPathCommand1 ? 0 : 1);
        } catch (...) {
        }
        break;
    case ids::kPathCommand3:
        if (!logic_.Command3_Click()) FailUnhandled();
        break;
    case ids::kPathCommand4:
        logic_.Command4_Click();
        break;
    default:
        break;
    }
}

std::wstring Win32PathDialog::PathBox(int tool) { return ReadText(Box(ids::kPathText1, tool)); }

std::wstring Win32PathDialog::NameBox(int tool) { return ReadText(Box(ids::kPathText2, tool)); }

void Win32PathDialog::SetPathBox(int tool, std::wstring_view text) {
    WriteText(Box(ids::kPathText1, tool), text);
}

void Win32PathDialog::SetNameBox(int tool, std::wstring_view text) {
    WriteText(Box(ids::kPathText2, tool), text);
}

void Win32PathDialog::Hide() {
    if (Hwnd()) ShowWindow(Hwnd(), SW_HIDE);
}

std::optional<std::wstring> Win32PathDialog::BrowseForFile(std::wstring_view initialFolder,
                                                           std::wstring_view currentFileName) {
    std::vector<wchar_t> buffer(kFileNameCapacity, L'\0');
    std::copy_n(currentFileName.data(), std::min(currentFileName.size(), kFileNameCapacity - 1),
                buffer.data());
    // Description and pattern, each null-terminated; c_str() adds the final null.
    std::wstring filter(kBrowsePattern);
    filter += L'\0';
    filter += kBrowsePattern;
    filter += L'\0';
    const std::wstring title(kBrowseTitle);
    const std::wstring folder(initialFolder);

    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = Hwnd();
    dialog.lpstrFilter = filter.c_str();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = buffer.data();
    dialog.nMaxFile = static_cast<DWORD>(buffer.size());
    dialog.lpstrInitialDir = folder.c_str();
    dialog.lpstrTitle = title.c_str();
    dialog.Flags = OFN_EXPLORER;

    browsing_ = true;
    const BOOL chosen = GetOpenFileNameW(&dialog);
    browsing_ = false;
    if (!chosen) {
        // Cancelled (no error), or the dialog itself failed: the box keeps its text.
        if (const DWORD error = CommDlgExtendedError())
            TraceFailure(L"GetOpenFileNameW", title, error);
        return std::nullopt;
    }
    return std::wstring(buffer.data());
}

LRESULT Win32PathDialog::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (auto result = layout_.OnColourMessage(Hwnd(), message, wParam, lParam)) return *result;
    switch (message) {
    case WM_COMMAND:
        OnCommand(LOWORD(wParam), HIWORD(wParam));
        return 0;
    case WM_ACTIVATE:
        // Handled whole: the focus goes back to a control, not to the window.
        OnActivate(LOWORD(wParam) != WA_INACTIVE, reinterpret_cast<HWND>(lParam));
        return 0;
    case WM_DPICHANGED: {
        layout_.Relayout(HIWORD(wParam));
        const auto* suggested = reinterpret_cast<const RECT*>(lParam);
        PlaceForDpi(HIWORD(wParam), suggested->left, suggested->top);
        return 0;
    }
    case WM_NCDESTROY:
        // The close button destroys the dialog; the next showing builds it anew,
        // with fresh controls and a file-open dialog that starts afresh.
        layout_ = RealizedLayout{};
        lastFocus_ = nullptr;
        logic_.Destroyed();
        return Window::OnMessage(message, wParam, lParam);
    default:
        return Window::OnMessage(message, wParam, lParam);
    }
}

}  // namespace duomira
