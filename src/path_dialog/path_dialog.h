// The tool path dialog (frmPath): the path and the display name of each of
// the three comparison tools. Every activation fills its six boxes from the
// settings store; "ＯＫ" stores them and puts the names on the main window's
// option buttons; "キャンセル" and the close button leave without storing.
//
// The logic here works on a view of the boxes, so the tests drive it without
// a window.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "launch/settings_store.h"
#include "launch/tool_detect.h"
#include "main_window/main_window.h"

namespace duomira {

// The platform side of the dialog. Tool indices are 0 WinDiff, 1 WinMerge,
// 2 the FC command: Text1(tool) holds the path, Text2(tool) the name.
class PathDialogView {
  public:
    virtual ~PathDialogView() = default;
    virtual std::wstring PathBox(int tool) = 0;
    virtual std::wstring NameBox(int tool) = 0;
    virtual void SetPathBox(int tool, std::wstring_view text) = 0;
    virtual void SetNameBox(int tool, std::wstring_view text) = 0;
    virtual void Hide() = 0;
    // Shows the modal file-open dialog in initialFolder, opening with
    // currentFileName. The full path chosen; nullopt when the user cancelled
    // or the dialog failed.
    virtual std::optional<std::wstring> BrowseForFile(std::wstring_view initialFolder,
                                                      std::wstring_view currentFileName) = 0;
};

class PathDialog {
  public:
    // With a probe, a path never stored shows the installed tool (tool_detect).
    PathDialog(SettingsBackend& store, MainWindow& mainWindow, PathDialogView& view,
               InstallProbe* probe = nullptr)
        : store_(store), mainWindow_(mainWindow), view_(view), probe_(probe) {}

    // Event handlers. A false return is a failure nothing here handles.

    // The dialog became the program's active window: the stored names, then
    // the stored paths, replace whatever the boxes hold.
    bool Form_Activate();
    // "参照..." of tool 0 (Command1) or tool 1 (Command2), opening in the folder
    // of the path in the row's box. Ends quietly when the file-open dialog is
    // cancelled or fails: the box keeps its text.
    void Browse(int tool);
    // "ＯＫ": stores the six boxes exactly as typed, sets the main window's
    // option captions, hides the dialog. Stops at the first failed step.
    bool Command3_Click();
    // "キャンセル": hides the dialog; nothing is stored.
    void Command4_Click() { view_.Hide(); }
    // The window is gone: the next one's file-open dialog starts afresh.
    void Destroyed() { browseFileName_.clear(); }

    // The file name that both "参照..." buttons share while the dialog exists.
    const std::wstring& BrowseFileName() const { return browseFileName_; }

  private:
    SettingsBackend& store_;
    MainWindow& mainWindow_;
    PathDialogView& view_;
    InstallProbe* probe_;
    std::wstring browseFileName_;
};

// Where the file-open dialog of a row opens, and with what file name: the
// folder of the box's path when it names one (the remembered file then by its
// name alone, which would otherwise take the dialog to its own folder), else
// the dialog's laid-out folder with the remembered file as it is.
struct BrowseStart {
    std::wstring folder;
    std::wstring fileName;
};
BrowseStart BrowseStartFor(std::wstring_view boxPath, std::wstring_view rememberedFile);

}  // namespace duomira
