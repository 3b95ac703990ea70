// The tool path dialog realised with Win32: a top-level tool window without
// owner, created from its layout table on the first showing and after every
// close, hidden (not destroyed) by "ＯＫ" and "キャンセル".
#pragma once

#include <optional>
#include <string>

#include "path_dialog/path_dialog.h"
#include "platform/window_win.h"

namespace duomira {

class Win32PathDialog : public Window, public PathDialogApi, private PathDialogView {
  public:
    Win32PathDialog(SettingsBackend& store, MainWindow& mainWindow, InstallProbe* probe);

    // "設定" of the main window: shows the dialog modeless, creating it if needed.
    void ShowModeless();
    // The start-up error path: the program's other windows are disabled until
    // the dialog has been hidden or closed.
    void ShowModal() override;

  protected:
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

  private:
    bool Realize();
    // Shows and activates the dialog; the boxes are refilled once per showing.
    bool Show();
    void OnActivate(bool active, HWND other);
    void OnCommand(int id, int code);
    void PlaceForDpi(int dpi, int left, int top);
    HWND Box(int firstId, int tool) const;

    // PathDialogView
    std::wstring PathBox(int tool) override;
    std::wstring NameBox(int tool) override;
    void SetPathBox(int tool, std::wstring_view text) override;
    void SetNameBox(int tool, std::wstring_view text) override;
    void Hide() override;
    std::optional<std::wstring> BrowseForFile(std::wstring_view initialFolder,
                                              std::wstring_view currentFileName) override;

    PathDialog logic_;
    RealizedLayout layout_;
    UniqueIcon icon_;
    HWND lastFocus_ = nullptr;  // the control to give the focus back to
    bool showing_ = false;      // inside Show(): its own activation refills
    bool browsing_ = false;     // the file-open dialog is open
};

}  // namespace duomira
