// The start-up procedure: every start of the program is one pick. The first
// pick is recorded under FileName and waits in the main window; the second
// pick launches the chosen comparison tool on both paths and clears FileName.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "launch/fc_script.h"
#include "launch/settings_store.h"
#include "launch/shared_variables.h"

namespace duomira {

class InstallProbe;

inline constexpr std::wstring_view kPathErrorMessage =
    L"DIFFツールのパスが認識できません。指定してください。";
inline constexpr std::wstring_view kTwoItemsOnlyMessage = L"比較できるのは２つの項目だけです。";
// A tool that compares files only, given a folder; nothing starts.
inline constexpr std::wstring_view kFilesOnlyMessage =
    L"このDIFFツールはフォルダを比較できません。別のツールを選んでください。";
// A command script given a path that its interpreter would change; nothing starts.
inline constexpr std::wstring_view kScriptPathMessage =
    L"このDIFFツールには %、! を含むパスを渡せません。";

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
    // For a start that ends after a message: its window's timer no longer acts
    // on FileName, which holds no pick of this start's.
    virtual void StopWatching() = 0;
};

// The tool path dialog, shown modal: returns when it has been hidden or closed.
class PathDialogApi {
  public:
    virtual ~PathDialogApi() = default;
    virtual void ShowModal() = 0;
};

// Makes one start's read-decide-write of FileName indivisible among all the
// starts of the user's session: picks that arrive together then pair strictly
// two by two, in the order they took the lock. Never held while a window, a
// message box or a dialog is up.
class PairingLock {
  public:
    virtual ~PairingLock() = default;
    // Waits for the lock at most waitMs; false when it can't be had by then. A
    // lock left behind by a start that was killed while holding it is taken over.
    virtual bool Acquire(std::uint32_t waitMs) = 0;
    virtual void Release() = 0;
};

// How long a start waits for the pairing lock: another start holds it only
// while it reads and writes a few settings and starts a program; far longer
// means that start hangs, and this one gives up.
inline constexpr std::uint32_t kStartPairingWaitMs = 20000;
// How long the waiting window waits for it, when it ends and for a drop onto
// it: its thread must stay responsive, a log-off among other things waits for
// it. A drop that misses the lock shows the error message; its pick waits on.
inline constexpr std::uint32_t kWindowPairingWaitMs = 2000;

// Holds the pairing lock for one read-decide-write of FileName: from before
// FileName is read until the decision has been written, or until Release().
// Nothing may dispatch messages while it is held: a nested decision would end its hold.
class PairingDecision {
  public:
    PairingDecision(PairingLock& lock, std::uint32_t waitMs)
        : lock_(lock), waitMs_(waitMs), held_(lock.Acquire(waitMs)) {}
    PairingDecision(const PairingDecision&) = delete;
    PairingDecision& operator=(const PairingDecision&) = delete;
    ~PairingDecision() { Release(); }

    bool Held() const { return held_; }
    // Takes the lock again after Release(); false when it can't be had.
    bool Acquire() {
        if (!held_) held_ = lock_.Acquire(waitMs_);
        return held_;
    }
    void Release() {
        if (held_) lock_.Release();
        held_ = false;
    }

  private:
    PairingLock& lock_;
    std::uint32_t waitMs_;
    bool held_;
};

// Converts text to the code page in which the command interpreter reads a
// script: the OEM code page (932 on a Japanese system, 850 or 437 on a
// Western one, 65001 with the system-wide UTF-8 option).
class ScriptEncoder {
  public:
    virtual ~ScriptEncoder() = default;
    // Exactly: nullopt when any character has no representation there (the
    // conversion would have to substitute it, or would change it).
    virtual std::optional<std::string> ToScriptCodePage(std::wstring_view text) = 0;
    // With the system's ordinary replacement for what the code page lacks.
    virtual std::string ToScriptCodePageReplacing(std::wstring_view text) = 0;
};

// The operating system, as far as the start-up procedure needs it.
class StartupPlatform : public ScriptEncoder {
  public:
    virtual PairingLock& Pairing() = 0;
    virtual std::wstring CommandLine() = 0;
    // Starts a process from a whole command line without waiting for it.
    virtual bool StartProcess(std::wstring_view commandLine, int showWindow) = 0;
    // Creates (or replaces) a file in the working directory with exactly these bytes.
    virtual bool WriteNewFile(std::wstring_view name, std::string_view bytes) = 0;
    // Whether the text names an existing file, taken whole.
    virtual bool IsExistingFile(std::wstring_view path) = 0;
    // Whether the text names an existing folder, taken whole.
    virtual bool IsFolder(std::wstring_view path) = 0;
    // When an existing file or folder was last written, in the system's file
    // time units; nullopt when that can't be read.
    virtual std::optional<std::uint64_t> LastWriteTime(std::wstring_view path) = 0;
    // The file that the program search finds for a bare program name, never
    // in the working folder; nullopt when there is none.
    virtual std::optional<std::wstring> FindBareProgram(std::wstring_view name) = 0;
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
    // Finds the installed tools where a default is needed: a tool path or
    // SelectExe never stored. Without one, the keys' own defaults apply.
    InstallProbe* probe = nullptr;
};

// A stored number as a signed 16-bit integer: optional blanks around an
// optionally signed run of decimal digits. nullopt for anything else.
std::optional<std::int16_t> ToInt16(std::wstring_view text);

// A start with one path is one pick; a start with several absolute paths
// (see SeveralPaths) compares two of them at once and leaves FileName alone.
StartupOutcome Main(StartupContext& context);

enum class DropOutcome {
    Handled,           // compared, refused with a message, or failed with the error path
    PickAlreadyTaken,  // one item, but the window's pick was already paired: nothing done
};

// Items dropped onto the waiting main window. One item is the second pick,
// completed exactly as a second start completes it (FileName is cleared, and
// the window ends on seeing that). Two items are compared at once and the
// first pick goes on waiting; more than two are refused with a message.
// ownPick is the window's own waiting pick: a FileName that holds another
// start's pick is neither paired with nor cleared.
DropOutcome DropItems(StartupContext& context, std::wstring_view ownPick,
                      const std::vector<std::wstring>& paths);

}  // namespace duomira
