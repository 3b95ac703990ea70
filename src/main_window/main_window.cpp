#include "main_window/main_window.h"

#include "launch/compare_command.h"

namespace duomira {

const DisplayStyle& StyleFor(std::int16_t nextStyle) {
    switch (nextStyle) {
    case 1:
        return kSmallestStyle;
    case 2:
        return kNormalStyle;
    default:
        return kDetailedStyle;
    }
}

bool MainWindow::EnsureLoaded() {
    if (model_.loaded) return true;
    std::array<std::wstring, 3> names;
    for (int i = 0; i < kToolCount; ++i) {
        auto name = ReadSetting(store_, kToolNameKeys[i]);
        if (!name) return false;
        names[i] = std::move(*name);
    }
    // The box shows what the next comparison will use: ticked exactly when no
    // "1" (subdirectory switch) is stored, also after a window was closed with
    // the box cleared.
    auto subFlg = ReadSetting(store_, SettingKey::SubFlg);
    if (!subFlg) return false;

    model_.loaded = true;
    model_.optionCaptions = std::move(names);
    model_.checkTicked = subFlg->empty();
    host_.StartTimer();
    return true;
}

void MainWindow::PlaceAtTopRight() {
    // The top-right corner stays put: the window grows and shrinks to the left and down.
    model_.left = host_.ScreenWidthTwips() - model_.outerWidth - kScreenMarginTwips;
    model_.top = kScreenMarginTwips;
}

bool MainWindow::ChangeStyle() {
    const DisplayStyle& style = StyleFor(shared_.NextStyle);
    if (!EnsureLoaded()) return false;
    model_.outerHeight = style.outerHeight;
    model_.outerWidth = style.outerWidth;
    // A hidden window is placed when it is shown: a second start, which never
    // shows it, has no need to ask the window system for the screen.
    if (model_.visible) PlaceAtTopRight();
    host_.Sync(model_);
    if (!WriteSetting(store_, SettingKey::DispStyle, std::to_wstring(style.number))) return false;
    shared_.NextStyle = style.next;
    return true;
}

bool MainWindow::SelectOption(std::int16_t index) {
    if (index < kWinDiff || index > kFcCommand) return false;  // there is no such button
    if (!EnsureLoaded()) return false;
    if (model_.selectedOption == index) return true;
    model_.selectedOption = index;
    host_.Sync(model_);
    return Option1_Click(index);
}

bool MainWindow::SetFirstPath(std::wstring_view path) {
    if (!EnsureLoaded()) return false;
    model_.firstPath = path;
    host_.Sync(model_);
    return true;
}

bool MainWindow::ShowModeless() {
    if (!EnsureLoaded()) return false;
    if (!model_.visible) PlaceAtTopRight();
    model_.visible = true;
    UpdateCheckEnabled();
    return host_.Show(model_);
}

void MainWindow::UpdateCheckEnabled() {
    // The subdirectory switch means nothing to the FC command: grey the box,
    // keep its tick. Nor to a program that compares subfolders always, or
    // files only. A hidden window (a second start's) never shows the box, so
    // the tool path is looked at only once the window is shown.
    const int tool = model_.selectedOption;
    bool honoured = tool != kFcCommand;
    bool absent = false;
    auto path = honoured && model_.visible ? ReadSetting(store_, kToolPathKeys[tool], absent)
                                           : std::nullopt;
    // A path never stored is a detected WinDiff or WinMerge, which honour it.
    if (path && !absent) {
        const std::wstring_view program = ToolProgram(*path, [this](std::wstring_view whole) {
            return startup_ && startup_->platform.IsExistingFile(whole);
        });
        honoured = ProgramFor(program, static_cast<std::int16_t>(tool)).HonoursBox();
    }
    model_.checkEnabled = honoured;
}

bool MainWindow::Option1_Click(int selectedIndex) {
    if (selectedIndex < kWinDiff || selectedIndex > kFcCommand) return true;  // none selected
    model_.selectedOption = selectedIndex;
    if (!WriteSetting(store_, SettingKey::SelectExe, std::to_wstring(selectedIndex))) {
        return false;
    }
    UpdateCheckEnabled();
    host_.Sync(model_);
    return true;
}

bool MainWindow::Check1_Click(bool ticked) {
    model_.checkTicked = ticked;
    return WriteSetting(store_, SettingKey::SubFlg, ticked ? L"" : L"1");
}

// Whether FileName holds a pick that is not this instance's: once a partner
// has taken this one's pick, the next start may already have recorded its own.
// An instance whose pick was never recorded (the start-up's error path) calls
// no pick another's.
bool MainWindow::HoldsOthersPick(std::wstring_view fileName) const {
    return !fileName.empty() && !model_.firstPath.empty() && fileName != model_.firstPath;
}

void MainWindow::TakePairingLock(std::optional<PairingDecision>& decision) {
    if (startup_) decision.emplace(startup_->platform.Pairing(), kWindowPairingWaitMs);
}

bool MainWindow::Form_QueryUnload() {
    {
        // Only this instance's own pick is dropped; another start's stays. The
        // lock keeps a pick that the next start records in between from being
        // erased; a start that hangs holding it keeps no window from closing.
        std::optional<PairingDecision> decision;
        TakePairingLock(decision);
        const auto fileName = ReadSetting(store_, SettingKey::FileName);
        const bool othersPick = fileName && HoldsOthersPick(*fileName);
        // A write that failed is reported (by the caller, without the lock)
        // before the program ends.
        if (!othersPick && !WriteSetting(store_, SettingKey::FileName, L"")) return false;
    }
    host_.EndProgram();
    return true;
}

bool MainWindow::WatchFileName() {
    if (!watching_) return true;
    auto fileName = ReadSetting(store_, SettingKey::FileName);
    if (!fileName) return false;
    // The wait is over once FileName no longer holds this instance's own pick:
    // cleared by its partner, or already replaced by the next first pick when
    // several picks arrive together.
    if (!fileName->empty() && !HoldsOthersPick(*fileName)) return true;
    if (fileName->empty()) {
        // The pair is complete: the next pair starts with the box ticked. Not
        // once the next first pick is recorded, though: its start has shown
        // its box, and will compare, as SubFlg stood then.
        std::optional<PairingDecision> decision;
        TakePairingLock(decision);
        fileName = ReadSetting(store_, SettingKey::FileName);
        if (!fileName) return false;
        if (fileName->empty() && !WriteSetting(store_, SettingKey::SubFlg, L"")) return false;
    }
    host_.EndProgram();
    return true;
}

bool MainWindow::OnDrop(const std::vector<std::wstring>& paths) {
    if (!startup_) return true;
    if (dropping_) {
        host_.DropIgnored(IgnoredDrop::EarlierDropBusy, paths);
        return true;
    }
    dropping_ = true;
    const DropOutcome outcome = DropItems(*startup_, model_.firstPath, paths);
    dropping_ = false;
    if (outcome == DropOutcome::PickAlreadyTaken) {
        host_.DropIgnored(IgnoredDrop::PickAlreadyTaken, paths);
    }
    // A drop that completed the pair cleared FileName: the window ends at once.
    return WatchFileName();
}

bool MainWindow::SetOptionCaptions(const std::array<std::wstring, 3>& captions) {
    if (!EnsureLoaded()) return false;
    model_.optionCaptions = captions;
    UpdateCheckEnabled();
    host_.Sync(model_);
    return true;
}

}  // namespace duomira
