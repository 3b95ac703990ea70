// Window realisation: a window-procedure thunk that routes messages to a C++
// object, and the creation of a layout table's controls at a given DPI.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/layout.h"
#include "platform/unique_handle_win.h"

namespace duomira {

// The window system (user32 and gdi32, which the program links delay-loaded)
// starts with the thread's first window or message box, not at program start:
// a second start that only starts a tool never loads it. Work that needs it,
// such as Timer1, waits for that moment.
void WhenWindowSystemStarts(std::function<void()> action);  // at once when it has started
void StartWindowSystem();

// A top-level window owned by a C++ object. Messages reach OnMessage; the
// object must outlive its window (the destructor destroys the window).
class Window {
  public:
    Window() = default;
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;
    virtual ~Window();

    HWND Hwnd() const { return hwnd_; }

  protected:
    static bool RegisterWindowClass(const wchar_t* className, HICON icon, HBRUSH background);
    bool CreateTopLevel(const wchar_t* className, std::wstring_view caption, DWORD style,
                        DWORD exStyle, const RECT& pixels);
    virtual LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);

  private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    HWND hwnd_ = nullptr;
};

// The fixed-size tool-window frame of all three windows: thin border, small
// caption with only the close button, no taskbar button.
// No WS_CLIPCHILDREN: a frame (group box) paints only its outline, and the
// window must paint the background inside it.
inline constexpr DWORD kToolWindowStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU;
inline constexpr DWORD kToolWindowExStyle = WS_EX_TOOLWINDOW | WS_EX_CONTROLPARENT;

// DPI of a window, or of the system before there is one.
int WindowDpi(HWND hwnd);
int SystemDpi();

// The outer rectangle in pixels of a window whose client area is the given size in twips.
RECT OuterRectForClient(int clientWidthTwips, int clientHeightTwips, DWORD style, DWORD exStyle,
                        int dpi);

// The system's message font at a DPI: the toolkit's default font of every window.
UniqueGdiObject CreateMessageFont(int dpi);

// The controls of a layout, created as children of one window, with their
// fonts and background brushes.
class RealizedLayout {
  public:
    // Captions maps control ids to texts that replace the layout's captions
    // (a window's first content, set as the controls are made).
    void Create(HWND parent, const WindowLayout& layout, int dpi, HINSTANCE instance,
                const std::map<int, std::wstring_view>& captions = {});
    // Places every control again and renews the fonts (after a DPI change).
    void Relayout(int dpi);

    HWND Control(int id) const;
    // The colour messages of the window that holds the controls: the
    // background under the controls (WM_ERASEBKGND) and each control's own
    // colours (WM_CTLCOLORSTATIC, WM_CTLCOLORBTN, WM_CTLCOLOREDIT). nullopt
    // for any other message.
    std::optional<LRESULT> OnColourMessage(HWND window, UINT message, WPARAM wParam,
                                           LPARAM lParam);
    HBRUSH WindowBrush();

  private:
    LRESULT OnCtlColor(HDC dc, HWND control);
    HBRUSH BrushFor(Rgb colour);
    HFONT FontFor(ControlFont font);

    HWND parent_ = nullptr;
    const WindowLayout* layout_ = nullptr;
    int dpi_ = 96;
    std::map<int, HWND> controls_;
    std::map<HWND, const ControlLayout*> byHandle_;
    std::vector<std::pair<Rgb, UniqueGdiObject>> brushes_;
    std::map<ControlFont, UniqueGdiObject> fonts_;
};

}  // namespace duomira
