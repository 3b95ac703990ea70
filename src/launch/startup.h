// The start-up procedure: every start of the program is one pick. The first
// pick is recorded under FileName and waits in the main window; the second
// pick launches the chosen comparison tool on both paths and clears FileName.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "launch/fc_script.h"
#include "launch/settings_store.h"
#include "launch/shared_variables.h"

namespace duomira {

inline constexpr std::wstring_view kPathErrorMessage =
    L"DIFFツールのパスが認識できません。指定してください。";

// What the start-up procedure uses of the main window. Each call returns false
// when the operation failed (the caller then takes its error path).
class MainWindowApi {
  public:
    virtual ~MainWindowApi() = default;
    // Applies the display style named by NextStyle; loads the window (hidden) on first use.
    virtual bool ChangeStyle() = 0;
    // Selects Option1(index); false when there is no such button.
    virtual bool SelectOption(std::int16_t index) = 0;
    virtual bool SetFirstPath(std::wstring_view path) = 0;  // Label2's caption
    virtual bool ShowModeless() = 0;
};

// The tool path dialog, shown modal: returns when it has been hidden or closed.
class PathDialogApi {
  public:
    virtual ~PathDialogApi() = default;
    virtual void ShowModal() = 0;
};

// Converts text to the system's ANSI code page; nullopt when any character
// has no representation there (the conversion would have to substitute it).
class AnsiEncoder {
  public:
    virtual ~AnsiEncoder() = default;
    virtual std::optional<std::string> ToAnsi(std::wstring_view text) = 0;
};

// The operating system, as far as the start-up procedure needs it.
class StartupPlatform : public AnsiEncoder {
  public:
    virtual std::wstring CommandLine() = 0;
    // Starts a process from a whole command line without waiting for it.
    virtual bool StartProcess(std::wstring_view commandLine, int showWindow) = 0;
    // Creates (or replaces) a file in the working directory with exactly these bytes.
    virtual bool WriteNewFile(std::wstring_view name, std::string_view bytes) = 0;
    // Whether the text names an existing file, taken whole.
    virtual bool IsExistingFile(std::wstring_view path) = 0;
    // The 8.3 short name of an existing item, when the system keeps one.
    virtual std::optional<std::wstring> ShortPath(std::wstring_view path) = 0;
    // A message box with the program's title, an OK button and no icon.
    virtual void ShowMessage(std::wstring_view text) = 0;
};

enum class StartupOutcome {
    EndProgram,      // end the process now
    RunMessageLoop,  // a first start: the main window is shown and waits
};

struct StartupContext {
    SettingsBackend& store;
    SharedVariables& shared;
    StartupPlatform& platform;
    MainWindowApi& mainWindow;
    PathDialogApi& pathDialog;
};

// A stored number as a signed 16-bit integer: optional blanks around an
// optionally signed run of decimal digits. nullopt for anything else.
std::optional<std::int16_t> ToInt16(std::wstring_view text);

StartupOutcome Main(StartupContext& context);

}  // namespace duomira
