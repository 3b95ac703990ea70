// The main window (frmMain): shows the waiting first path, lets the user choose
// the comparison tool and the subdirectory option, cycles the display styles,
// and ends the waiting instance once FileName no longer holds its pick.
//
// The window is a view over MainWindowModel. The model is complete without a
// realised window: a second start runs the load, the style and the option
// handling on the model alone and never creates a window it would not show.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "launch/settings_store.h"
#include "launch/shared_variables.h"
#include "launch/startup.h"

namespace duomira {

struct DisplayStyle {
    std::int16_t number;  // as stored under DispStyle
    int outerWidth;       // twips
    int outerHeight;      // twips
    std::int16_t next;    // the NextStyle that follows
};

inline constexpr DisplayStyle kSmallestStyle{1, 810, 1035, 2};
inline constexpr DisplayStyle kNormalStyle{2, 2580, 1350, 3};
inline constexpr DisplayStyle kDetailedStyle{3, 5490, 2460, 1};
inline constexpr int kScreenMarginTwips = 80;

// The style that NextStyle selects: 1 smallest, 2 normal, anything else detailed.
const DisplayStyle& StyleFor(std::int16_t nextStyle);

struct MainWindowModel {
    bool loaded = false;
    bool visible = false;
    std::array<std::wstring, 3> optionCaptions;
    int selectedOption = 0;  // Option1(0) is selected as laid out
    bool checkTicked = true;
    bool checkEnabled = true;
    std::wstring firstPath;  // Label2
    long left = 0, top = 0;  // twips, outer top-left corner (set once shown)
    int outerWidth = kDetailedStyle.outerWidth;
    int outerHeight = kDetailedStyle.outerHeight;
};

// Why a drop onto the window is not acted on.
enum class IgnoredDrop {
    PickAlreadyTaken,  // a partner took the window's pick: the window is ending
    EarlierDropBusy,   // an earlier drop's message or dialog is still up
};

// The platform side of the main window.
class MainWindowHost {
  public:
    virtual ~MainWindowHost() = default;
    virtual long ScreenWidthTwips() = 0;
    // Starts Timer1: every 500 ms, MainWindow::Timer1_Timer.
    virtual void StartTimer() = 0;
    // Brings the realised window up to date with the model (nothing before it is realised).
    virtual void Sync(const MainWindowModel& model) = 0;
    // Realises the window from the model if needed and shows it modeless.
    virtual bool Show(const MainWindowModel& model) = 0;
    // Ends the process at once; no close handling runs.
    virtual void EndProgram() = 0;
    // Leaves word of a drop that is not acted on; for one made while an
    // earlier drop is busy also the warning beep of a click on a blocked window.
    virtual void DropIgnored(IgnoredDrop why, const std::vector<std::wstring>& paths) = 0;
};

class MainWindow : public MainWindowApi {
  public:
    MainWindow(SettingsBackend& store, SharedVariables& shared, MainWindowHost& host)
        : store_(store), shared_(shared), host_(host) {}

    const MainWindowModel& Model() const { return model_; }

    // The start-up procedure's context: its pairing lock guards the window's
    // own read-compare-write of FileName at its end, drops go through it, and
    // its platform tells whether a tool path with blanks names a program as a
    // whole. Without one, the window's end takes no lock, drops are not
    // handled, and such a path's program ends at its first blank.
    void Connect(StartupContext& context) { startup_ = &context; }

    // The load on first use: the stored tool names on the option buttons, the
    // check box showing the stored subdirectory choice, and the timer started.
    bool EnsureLoaded();

    // MainWindowApi, for the start-up procedure.
    bool ChangeStyle() override;
    bool SelectOption(std::int16_t index) override;
    bool SetFirstPath(std::wstring_view path) override;
    bool ShowModeless() override;
    void StopWatching() override { watching_ = false; }

    // Event handlers. A false return is a failure nothing here handles.
    bool Image1_Click() { return ChangeStyle(); }
    bool Option1_Click(int selectedIndex);  // the button that is selected now, or -1
    bool Check1_Click(bool ticked);
    bool Timer1_Timer() { return WatchFileName(); }
    bool Form_QueryUnload();
    // A value in the store has changed: look at FileName now, not only at the next tick.
    bool OnSettingsChanged() { return WatchFileName(); }
    // Files or folders dropped onto the window, full paths in the order given
    // (an empty one: its name could not be read). A drop made while an earlier
    // one's message or dialog is up is ignored, so that one drop's outcome
    // never lands inside another's.
    bool OnDrop(const std::vector<std::wstring>& paths);

    // The tool path dialog's confirmed names become the option captions, and
    // the box follows the confirmed tool paths.
    bool SetOptionCaptions(const std::array<std::wstring, 3>& captions);

  private:
    bool HoldsOthersPick(std::wstring_view fileName) const;
    // Enables Check1 exactly when the selected tool honours it.
    void UpdateCheckEnabled();
    bool WatchFileName();
    // Takes the pairing lock into decision, waiting briefly: the window's
    // thread must go on. Not held when there is none or it can't be had in time.
    void TakePairingLock(std::optional<PairingDecision>& decision);
    // Left and top at the screen's top-right corner, for the current outer size.
    void PlaceAtTopRight();

    bool watching_ = true;  // WatchFileName acts on what it finds
    SettingsBackend& store_;
    SharedVariables& shared_;
    MainWindowHost& host_;
    MainWindowModel model_;
    StartupContext* startup_ = nullptr;
    bool dropping_ = false;  // a drop is being handled (its message may be up)
};

}  // namespace duomira
