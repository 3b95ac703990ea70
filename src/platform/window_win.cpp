#include "platform/window_win.h"

#include <utility>

#include "platform/program_end_win.h"

namespace duomira {

namespace {

COLORREF ToColorRef(Rgb rgb) { return RGB(rgb.red, rgb.green, rgb.blue); }

RECT PixelRect(const TwipsRect& twips, int dpi) {
    const int left = TwipsToPixels(twips.left, dpi);
    const int top = TwipsToPixels(twips.top, dpi);
    return {left, top, TwipsToPixels(twips.left + twips.width, dpi),
            TwipsToPixels(twips.top + twips.height, dpi)};
}

struct ControlClass {
    const wchar_t* className;
    DWORD style;
    DWORD exStyle;
};

ControlClass ClassFor(const ControlLayout& control) {
    DWORD align = 0;
    switch (control.kind) {
    case ControlKind::Image:
        return {L"STATIC", SS_ICON | SS_CENTERIMAGE | SS_NOTIFY | SS_REALSIZECONTROL, 0};
    case ControlKind::OptionButton:
        return {L"BUTTON", BS_AUTORADIOBUTTON | WS_TABSTOP, 0};
    case ControlKind::CheckBox:
        return {L"BUTTON", BS_AUTOCHECKBOX | WS_TABSTOP, 0};
    case ControlKind::CommandButton:
        return {L"BUTTON", BS_PUSHBUTTON | WS_TABSTOP, 0};
    case ControlKind::Frame:
        return {L"BUTTON", BS_GROUPBOX, 0};
    case ControlKind::Label:
        align = control.align == TextAlign::Right    ? SS_RIGHT
                : control.align == TextAlign::Center ? SS_CENTER
                                                     : SS_LEFT;
        return {L"STATIC", align | SS_NOPREFIX, 0};
    case ControlKind::TextBox:
        return {L"EDIT", ES_AUTOHSCROLL | ES_LEFT | WS_TABSTOP, WS_EX_CLIENTEDGE};
    }
    return {L"STATIC", 0, 0};
}

int CALLBACK NoteFace(const LOGFONTW* font, const TEXTMETRICW*, DWORD, LPARAM param) {
    auto* faces = reinterpret_cast<std::vector<std::wstring>*>(param);
    // Proportional faces only; "@" names are the vertical-writing variants.
    if ((font->lfPitchAndFamily & 0x3) != FIXED_PITCH && font->lfFaceName[0] != L'@') {
        faces->emplace_back(font->lfFaceName);
    }
    return 1;
}

// The face for the small Gothic labels: "ＭＳ Ｐゴシック", or where it is missing
// another proportional Japanese Gothic face. The mapper's own fallback is a
// fixed-pitch face, too wide for labels laid out for the proportional one.
std::wstring SmallGothicFace() {
    std::vector<std::wstring> faces;
    LOGFONTW query{};
    query.lfCharSet = SHIFTJIS_CHARSET;
    HDC screen = GetDC(nullptr);
    if (screen) {
        EnumFontFamiliesExW(screen, &query, &NoteFace, reinterpret_cast<LPARAM>(&faces), 0);
        ReleaseDC(nullptr, screen);
    }
    for (const wchar_t* preferred :
         {L"ＭＳ Ｐゴシック", L"MS PGothic", L"Meiryo UI", L"Yu Gothic UI", L"IPA Pゴシック",
          L"IPAPGothic", L"VL Pゴシック", L"VL PGothic"}) {
        for (const auto& face : faces) {
            if (face == preferred) return face;
        }
    }
    for (const auto& face : faces) {
        if (face.find(L"ゴシック") != std::wstring::npos ||
            face.find(L"Gothic") != std::wstring::npos) {
            return face;
        }
    }
    return L"ＭＳ Ｐゴシック";  // the mapper picks a Japanese face for the character set
}

}  // namespace

Window::~Window() {
    if (hwnd_) {
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
        DestroyWindow(hwnd_);
    }
}

namespace {

struct WindowSystemStart {
    bool started = false;
    std::vector<std::function<void()>> pending;
};

WindowSystemStart& TheWindowSystemStart() {
    static WindowSystemStart start;
    return start;
}

}  // namespace

void WhenWindowSystemStarts(std::function<void()> action) {
    WindowSystemStart& start = TheWindowSystemStart();
    if (start.started) {
        action();
    } else {
        start.pending.push_back(std::move(action));
    }
}

void StartWindowSystem() {
    WindowSystemStart& start = TheWindowSystemStart();
    if (start.started) return;
    start.started = true;
    SystemDpi();  // loads user32 and gdi32, and the display driver with them
    for (auto& action : std::exchange(start.pending, {})) action();
}

bool Window::RegisterWindowClass(const wchar_t* className, HICON icon, HBRUSH background) {
    StartWindowSystem();
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = &Window::WindowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hIcon = icon;
    wc.hIconSm = icon;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = background;
    wc.lpszClassName = className;
    return RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

bool Window::CreateTopLevel(const wchar_t* className, std::wstring_view caption, DWORD style,
                            DWORD exStyle, const RECT& pixels) {
    const std::wstring title(caption);
    HWND hwnd = CreateWindowExW(exStyle, className, title.c_str(), style, pixels.left, pixels.top,
                                pixels.right - pixels.left, pixels.bottom - pixels.top, nullptr,
                                nullptr, GetModuleHandleW(nullptr), this);
    return hwnd != nullptr;
}

LRESULT Window::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(hwnd_, message, wParam, lParam);
}

LRESULT CALLBACK Window::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Window* self = nullptr;
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        self = static_cast<Window*>(create->lpCreateParams);
        self->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    } else {
        self = reinterpret_cast<Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    }
    if (!self) return DefWindowProcW(hwnd, message, wParam, lParam);

    LRESULT result = 0;
    try {
        result = self->OnMessage(message, wParam, lParam);
    } catch (...) {
        // Nothing may unwind through the system's window code.
        FailUnhandled();
    }
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        self->hwnd_ = nullptr;
    }
    return result;
}

int SystemDpi() {
    HDC screen = GetDC(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSX) : 96;
    if (screen) ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : 96;
}

int WindowDpi(HWND hwnd) {
    const UINT dpi = hwnd ? GetDpiForWindow(hwnd) : 0;
    return dpi ? static_cast<int>(dpi) : SystemDpi();
}

RECT OuterRectForClient(int clientWidthTwips, int clientHeightTwips, DWORD style, DWORD exStyle,
                        int dpi) {
    RECT rect{0, 0, TwipsToPixels(clientWidthTwips, dpi), TwipsToPixels(clientHeightTwips, dpi)};
    AdjustWindowRectExForDpi(&rect, style, FALSE, exStyle, static_cast<UINT>(dpi));
    return rect;
}

void RealizedLayout::Create(HWND parent, const WindowLayout& layout, int dpi,
                            HINSTANCE instance, const std::map<int, std::wstring_view>& captions) {
    parent_ = parent;
    layout_ = &layout;
    dpi_ = dpi;
    // Creation order is tab order and z-order: a frame lies behind its contents.
    bool startGroup = true;
    for (const ControlLayout& control : layout.controls) {
        const ControlClass cls = ClassFor(control);
        DWORD style = WS_CHILD | WS_VISIBLE | cls.style;
        // Each run of option buttons is one group; every other focusable control
        // starts a group of its own so that arrow keys stay within the options.
        const bool isOption = control.kind == ControlKind::OptionButton;
        if (!isOption || startGroup) style |= WS_GROUP;
        // Tab enters a group of options once; the arrow keys move within it.
        if (isOption && !startGroup) style &= ~static_cast<DWORD>(WS_TABSTOP);
        startGroup = !isOption;
        const RECT rect = PixelRect(ClientRectOf(layout, control), dpi);
        const auto replaced = captions.find(control.id);
        const std::wstring caption(replaced != captions.end() ? replaced->second : control.caption);
        HWND hwnd = CreateWindowExW(cls.exStyle, cls.className, caption.c_str(), style, rect.left,
                                    rect.top, rect.right - rect.left, rect.bottom - rect.top,
                                    parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(control.id)),
                                    instance, nullptr);
        if (!hwnd) continue;
        controls_[control.id] = hwnd;
        byHandle_[hwnd] = &control;
        SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(FontFor(control.font)), FALSE);
    }
}

void RealizedLayout::Relayout(int dpi) {
    if (!layout_ || dpi == dpi_) return;
    dpi_ = dpi;
    // The old fonts stay alive until every control has its new one.
    auto oldFonts = std::move(fonts_);
    fonts_.clear();
    for (const auto& [hwnd, control] : byHandle_) {
        const RECT rect = PixelRect(ClientRectOf(*layout_, *control), dpi);
        SetWindowPos(hwnd, nullptr, rect.left, rect.top, rect.right - rect.left,
                     rect.bottom - rect.top, SWP_NOZORDER | SWP_NOACTIVATE);
        SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(FontFor(control->font)), TRUE);
    }
}

HWND RealizedLayout::Control(int id) const {
    auto it = controls_.find(id);
    return it == controls_.end() ? nullptr : it->second;
}

HBRUSH RealizedLayout::BrushFor(Rgb colour) {
    for (auto& [rgb, brush] : brushes_) {
        if (rgb == colour) return static_cast<HBRUSH>(brush.get());
    }
    brushes_.emplace_back(colour, UniqueGdiObject(CreateSolidBrush(ToColorRef(colour))));
    return static_cast<HBRUSH>(brushes_.back().second.get());
}

HBRUSH RealizedLayout::WindowBrush() {
    return layout_ ? BrushFor(layout_->background) : GetSysColorBrush(COLOR_WINDOW);
}

std::optional<LRESULT> RealizedLayout::OnColourMessage(HWND window, UINT message, WPARAM wParam,
                                                       LPARAM lParam) {
    switch (message) {
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
        return OnCtlColor(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_ERASEBKGND: {
        RECT client;
        GetClientRect(window, &client);
        FillRect(reinterpret_cast<HDC>(wParam), &client, WindowBrush());
        return 1;
    }
    default:
        return std::nullopt;
    }
}

LRESULT RealizedLayout::OnCtlColor(HDC dc, HWND control) {
    auto it = byHandle_.find(control);
    if (it == byHandle_.end() || !it->second->background) {
        return reinterpret_cast<LRESULT>(
            it != byHandle_.end() && it->second->kind == ControlKind::TextBox
                ? GetSysColorBrush(COLOR_WINDOW)
                : WindowBrush());
    }
    const Rgb colour = *it->second->background;
    SetBkColor(dc, ToColorRef(colour));
    SetBkMode(dc, OPAQUE);
    return reinterpret_cast<LRESULT>(BrushFor(colour));
}

HFONT RealizedLayout::FontFor(ControlFont font) {
    auto it = fonts_.find(font);
    if (it != fonts_.end()) return static_cast<HFONT>(it->second.get());

    UniqueGdiObject created;
    if (font == ControlFont::SmallGothic) {
        // 8.25 points, regular, Shift-JIS.
        LOGFONTW logFont{};
        logFont.lfHeight = -MulDiv(825, dpi_, 7200);
        logFont.lfWeight = FW_NORMAL;
        logFont.lfCharSet = SHIFTJIS_CHARSET;
        logFont.lfQuality = DEFAULT_QUALITY;
        lstrcpynW(logFont.lfFaceName, SmallGothicFace().c_str(), LF_FACESIZE);
        created.reset(CreateFontIndirectW(&logFont));
    } else {
        created = CreateMessageFont(dpi_);
    }
    HFONT handle = static_cast<HFONT>(created.get());
    fonts_[font] = std::move(created);
    return handle;
}

UniqueGdiObject CreateMessageFont(int dpi) {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    LOGFONTW logFont{};
    if (SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0,
                                   static_cast<UINT>(dpi))) {
        logFont = metrics.lfMessageFont;
    } else {
        logFont.lfHeight = -MulDiv(9, dpi, 72);
        logFont.lfCharSet = DEFAULT_CHARSET;
    }
    return UniqueGdiObject(CreateFontIndirectW(&logFont));
}

}  // namespace duomira
