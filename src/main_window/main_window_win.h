// The main window realised with Win32.
#pragma once

#include <windows.h>

#include <shellapi.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "main_window/main_window.h"
#include "platform/window_win.h"

namespace duomira {

class Win32MainWindow : public Window, public MainWindowHost {
  public:
    Win32MainWindow(SettingsBackend& store, SharedVariables& shared);
    ~Win32MainWindow() override;

    MainWindow& Logic() { return logic_; }

    // What the buttons "設定" and "ﾍﾙﾌﾟ" open.
    std::function<void()> onSettings;
    std::function<void()> onHelp;

    // MainWindowHost
    long ScreenWidthTwips() override;
    void StartTimer() override;
    void Sync(const MainWindowModel& model) override;
    bool Show(const MainWindowModel& model) override;
    void EndProgram() override;
    void DropIgnored(IgnoredDrop why, const std::vector<std::wstring>& paths) override;

  protected:
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

  private:
    static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD);
    void OnCommand(int id, int code);
    bool Realize(const MainWindowModel& model);
    void PlaceWindow(const MainWindowModel& model);
    void OnActivate(bool active);
    void OnDropFiles(HDROP drop);

    MainWindow logic_;
    RealizedLayout layout_;
    UniqueIcon icon_;
    UniqueIcon imageIcon_;
    UINT_PTR timer_ = 0;
    HWND lastFocus_ = nullptr;  // the control that had the focus when the window was left
};

}  // namespace duomira
