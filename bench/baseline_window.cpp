// baseline_window.exe: the least a program with a window does. It registers a
// class, creates one top-level window with the frame of Duomira's main window
// (a small tool window) and runs a plain message loop until the window is
// closed. The benchmark times it to its window becoming visible, and measures
// what Wine itself costs a waiting window process (memory, CPU, wake-ups).
// With the argument "tick" it also does what a waiting instance must do: it
// reads one registry value every 500 ms.
#include <windows.h>

#include <cwchar>

namespace {

LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

void CALLBACK OnTick(HWND, UINT, UINT_PTR, DWORD) {
    wchar_t value[1024];
    DWORD size = sizeof value;
    RegGetValueW(HKEY_CURRENT_USER, L"Software\\VB and VBA Program Settings\\Duomira\\Settings", L"FileName",
                 RRF_RT_REG_SZ, nullptr, value, &size);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR arguments, int) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = &WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = L"DuomiraBenchBaseline";
    if (!RegisterClassExW(&windowClass)) return 1;
    HWND window = CreateWindowExW(WS_EX_TOOLWINDOW, L"DuomiraBenchBaseline", L"baseline",
                                  WS_POPUP | WS_CAPTION | WS_SYSMENU, 1500, 10, 366, 164, nullptr, nullptr,
                                  instance, nullptr);
    if (!window) return 1;
    if (wcsncmp(arguments, L"tick", 4) == 0) SetTimer(nullptr, 0, 500, &OnTick);
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}
