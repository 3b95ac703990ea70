#include "launch/startup.h"

#include <array>

#include "launch/command_line.h"
#include "launch/compare_command.h"
#include "launch/tool_detect.h"

namespace duomira {

namespace {

bool IsSpace(wchar_t c) { return c == L' ' || c == L'\t'; }

// A path in a command script must reach FC exactly, or the script would
// compare some other file: it must survive the conversion to the code page the
// interpreter reads the script in. The item's short name is the fallback;
// otherwise the comparison can't be written at all.
std::optional<std::wstring> ScriptSafe(StartupPlatform& platform, std::wstring path) {
    if (platform.ToScriptCodePage(path)) return path;
    auto shortPath = platform.ShortPath(path);
    if (shortPath && platform.ToScriptCodePage(*shortPath)) return shortPath;
    return std::nullopt;
}

bool LaunchFcScript(StartupPlatform& platform, const std::wstring& cmdPath,
                    std::wstring_view firstArgument, std::wstring_view secondArgument) {
    auto first = PickedPath(firstArgument);
    auto second = PickedPath(secondArgument);
    if (!first || !second) return false;
    auto tool = ScriptSafe(platform, cmdPath);
    first = ScriptSafe(platform, std::move(*first));
    second = ScriptSafe(platform, std::move(*second));
    if (!tool || !first || !second) return false;

    const std::array<std::wstring, 3> toolPaths{L"", L"", *tool};
    auto line = BuildCompareCommand(kFcCommand, false, toolPaths, *first, *second);
    if (!line) return false;
    // Only the FC line must arrive exactly; the fixed text around it may lose
    // characters that the code page lacks (the banner on a Western system).
    auto lineBytes = platform.ToScriptCodePage(*line);
    if (!lineBytes) return false;
    const FcScriptFrame frame = FcScriptAround();
    const std::string bytes = platform.ToScriptCodePageReplacing(frame.before) + *lineBytes +
                              platform.ToScriptCodePageReplacing(frame.after);
    if (!platform.WriteNewFile(kScriptFileName, bytes)) return false;
    return platform.StartProcess(kScriptStartName, kShowMinimizedNoActive);
}

// A tool path stays as the user wrote it, so that it may carry switches of its
// own; but one with blanks that names an existing program as a whole is
// quoted, or the tool's own argument splitting would take the rest of its
// path for a first argument (as with a program under "C:\Program Files").
std::wstring ProgramText(StartupPlatform& platform, std::wstring path) {
    const bool hasBlank = path.find_first_of(L" \t") != std::wstring::npos;
    if (hasBlank && path.front() != L'"' && platform.IsExistingFile(path)) {
        return L"\"" + path + L"\"";
    }
    return path;
}

// The chosen tool, ready to be given a pair.
struct ChosenTool {
    std::int16_t index;
    std::array<std::wstring, 3> paths;  // the chosen one as it goes into the line
    ComparisonProgram program;
    bool script;  // runs through the command interpreter
    // Whether the pair must be looked at before the tool is given it.
    bool LooksAtPair() const { return script || program.filesOnly; }
};

// Reads the stored tool paths and finds the chosen tool's program. VS Code's
// bin\code.cmd, named by its path or bare as found on PATH, is replaced by the
// program it runs, so that no command interpreter comes between the tool and
// the paths.
std::optional<ChosenTool> ChooseTool(StartupContext& context, std::int16_t toolIndex) {
    ChosenTool tool{toolIndex, {}, {LineForm::WinDiff, false}, false};
    for (int i = 0; i < kToolCount; ++i) {
        // Only the tool that starts needs to be found when its path was never stored.
        auto path = i == toolIndex ? ReadToolPath(context.store, i, context.probe)
                                   : ReadSetting(context.store, kToolPathKeys[i]);
        if (!path) return std::nullopt;
        tool.paths[i] = std::move(*path);
    }
    if (toolIndex == kFcCommand) return tool;
    std::wstring& text = tool.paths[toolIndex];
    text = ProgramText(context.platform, std::move(text));
    const std::wstring_view program = ProgramPart(text);
    // Only such a script is looked for: other bare names cost no search here.
    auto found = IsBareBinScript(program) ? context.platform.FindBareProgram(program)
                                          : std::nullopt;
    auto above = ProgramAboveBin(found ? *found : program);
    if (above && context.platform.IsExistingFile(*above)) {
        const std::wstring_view rest = ArgumentText(text);
        text = L"\"" + *above + L"\"" + (rest.empty() ? L"" : L" ") + std::wstring(rest);
    }
    tool.program = ProgramFor(ProgramPart(text), toolIndex);
    tool.script = IsCommandScript(ProgramPart(text));
    return tool;
}

// The message that refuses the pair to the tool; nullopt when it may be given
// it. The file system is read only for a program that compares files only.
std::optional<std::wstring_view> Refusal(StartupPlatform& platform, const ChosenTool& tool,
                                         std::wstring_view firstArgument,
                                         std::wstring_view secondArgument) {
    if (tool.index == kFcCommand) return std::nullopt;
    auto first = PickedPath(firstArgument);
    auto second = PickedPath(secondArgument);
    if (!first || !second) return std::nullopt;  // no line at all: the error path says so
    if (tool.script && (InterpreterChangesPath(*first) || InterpreterChangesPath(*second))) {
        return kScriptPathMessage;
    }
    if (tool.program.filesOnly && (platform.IsFolder(*first) || platform.IsFolder(*second))) {
        return kFilesOnlyMessage;
    }
    return std::nullopt;
}

// Starts the chosen tool on the pair.
bool LaunchComparison(StartupContext& context, const ChosenTool& tool, bool subFlgSet,
                      std::wstring_view firstArgument, std::wstring_view secondArgument) {
    if (tool.index == kFcCommand) {
        return LaunchFcScript(context.platform, tool.paths[kFcCommand], firstArgument,
                              secondArgument);
    }
    auto line = BuildCompareCommand(tool.index, subFlgSet, tool.paths, firstArgument,
                                    secondArgument);
    return line && context.platform.StartProcess(*line, kShowNormal);
}

enum class Flow {
    Failed,     // the error path: message, tool path dialog, the pick in play dropped
    NoLock,     // the pairing lock could not be had: FileName is left as it is
    PickTaken,  // a drop onto a window whose pick was already taken: nothing to do
    Ended,
    Waiting,
};

// The second pick completes the pair: the chosen tool gets the first pick
// recorded in FileName and this one, then FileName is cleared. A second start
// and one item dropped onto the waiting window both end their pick here.
bool CompleteSecondPick(StartupContext& context, const ChosenTool& tool, bool subFlgSet,
                        std::wstring_view firstPick, std::wstring_view secondPick) {
    if (!LaunchComparison(context, tool, subFlgSet, firstPick, secondPick)) return false;
    return WriteSetting(context.store, SettingKey::FileName, L"");
}

// The stored tool choice, as an index that names a tool; while no tool was
// ever chosen, the one that is installed, as a first start would choose it.
std::optional<std::int16_t> StoredToolIndex(StartupContext& context) {
    bool absent = false;
    auto selectExe = ReadSetting(context.store, SettingKey::SelectExe, absent);
    if (!selectExe) return std::nullopt;
    auto toolIndex = absent && context.probe ? FirstToolIndex(context.store, *context.probe)
                                             : ToInt16(*selectExe);
    if (!toolIndex || *toolIndex < kWinDiff || *toolIndex > kFcCommand) return std::nullopt;
    return toolIndex;
}

// What a pair made without a window is compared with: the stored SubFlg and
// tool choice, and the chosen tool. nullopt when the store failed.
struct StoredChoice {
    bool subFlgSet;
    ChosenTool tool;
};
std::optional<StoredChoice> ReadStoredChoice(StartupContext& context) {
    auto subFlg = ReadSetting(context.store, SettingKey::SubFlg);
    if (!subFlg) return std::nullopt;
    auto toolIndex = StoredToolIndex(context);
    if (!toolIndex) return std::nullopt;
    auto tool = ChooseTool(context, *toolIndex);
    if (!tool) return std::nullopt;
    return StoredChoice{!subFlg->empty(), std::move(*tool)};
}

// Whether the second item was last written before the first: then it goes
// on the left. Equal times, or a time that can't be read, keep the order.
bool SecondIsOlder(StartupPlatform& platform, std::wstring_view first, std::wstring_view second) {
    auto firstPath = PickedPath(first);
    auto secondPath = PickedPath(second);
    if (!firstPath || !secondPath) return false;
    auto firstTime = platform.LastWriteTime(*firstPath);
    if (!firstTime) return false;
    auto secondTime = platform.LastWriteTime(*secondPath);
    return secondTime && *secondTime < *firstTime;
}

// Items picked together: two are compared at once with the stored tool choice
// and subdirectory option, the older one on the left. FileName, which may
// hold a waiting pick of its own, is neither read nor written, and no window
// is loaded.
Flow CompareTogether(StartupContext& context, const std::vector<std::wstring>& paths) {
    if (paths.size() != 2) {
        context.platform.ShowMessage(kTwoItemsOnlyMessage);
        return Flow::Ended;
    }
    if (paths[0].empty() || paths[1].empty()) return Flow::Failed;  // a dropped item not read
    auto choice = ReadStoredChoice(context);
    if (!choice) return Flow::Failed;
    const ChosenTool& tool = choice->tool;
    const bool swap = SecondIsOlder(context.platform, paths[0], paths[1]);
    const std::wstring& first = paths[swap ? 1 : 0];
    const std::wstring& second = paths[swap ? 0 : 1];
    if (auto refusal = Refusal(context.platform, tool, first, second)) {
        context.platform.ShowMessage(*refusal);
        return Flow::Ended;
    }
    if (!LaunchComparison(context, tool, choice->subFlgSet, first, second)) return Flow::Failed;
    return Flow::Ended;
}

// One item dropped onto the waiting window: the second pick, as a second start
// with that path would make it, under the same lock. This runs on the
// window's thread: it waits for the lock as briefly as the window's end does.
// The lock is let go on return, before any message is shown.
Flow DropSecondPick(StartupContext& context, std::wstring_view ownPick, std::wstring_view path) {
    if (path.empty()) return Flow::Failed;  // its name could not be read
    PairingDecision decision(context.platform.Pairing(), kWindowPairingWaitMs);
    if (!decision.Held()) return Flow::NoLock;
    auto fileName = ReadSetting(context.store, SettingKey::FileName);
    if (!fileName) return Flow::Failed;
    // Already paired, the window is ending: FileName is empty, or already
    // holds the next start's first pick, which is not this window's to pair.
    if (fileName->empty() || *fileName != ownPick) return Flow::PickTaken;
    auto choice = ReadStoredChoice(context);
    if (!choice) return Flow::Failed;
    const ChosenTool& tool = choice->tool;
    if (tool.LooksAtPair()) {
        // The items may lie on a slow share: they are looked at without the
        // lock. The pick then stays waiting when refused, and is let be when
        // another start has paired it meanwhile.
        decision.Release();
        if (auto refusal = Refusal(context.platform, tool, *fileName, path)) {
            context.platform.ShowMessage(*refusal);
            return Flow::Ended;
        }
        if (!decision.Acquire()) return Flow::NoLock;
        auto again = ReadSetting(context.store, SettingKey::FileName);
        if (!again) return Flow::Failed;
        if (*again != *fileName) return Flow::PickTaken;
    }
    return CompleteSecondPick(context, tool, choice->subFlgSet, *fileName, path) ? Flow::Ended
                                                                                  : Flow::Failed;
}

// The error path without dropping a pick: tell the user, let them correct the tool paths.
void ReportPathError(StartupContext& context) {
    context.platform.ShowMessage(kPathErrorMessage);
    context.pathDialog.ShowModal();
}

// The error path drops the pick that was in play (nullopt: not known) once
// the user has closed the dialog. By then a partner may have taken that pick
// and the next start recorded its own in FileName, which stays. Without the
// lock FileName stays too: another start may be deciding on it.
void DropPick(StartupContext& context, const std::optional<std::wstring>& pick,
              std::uint32_t waitMs) {
    PairingDecision decision(context.platform.Pairing(), waitMs);
    if (!decision.Held()) return;
    if (pick) {
        auto fileName = ReadSetting(context.store, SettingKey::FileName);
        if (fileName && !fileName->empty() && *fileName != *pick) return;
    }
    WriteSetting(context.store, SettingKey::FileName, L"");
}

Flow RunNormalFlow(StartupContext& context, std::wstring_view argument,
                   std::optional<std::wstring>& pick) {
    context.shared.NextStyle = 0;

    // From the read of FileName to the write of the decision, no other start
    // may read or write it; the lock is let go before any window is shown.
    PairingDecision decision(context.platform.Pairing(), kStartPairingWaitMs);
    if (!decision.Held()) return Flow::NoLock;

    auto fileName = ReadSetting(context.store, SettingKey::FileName);
    if (!fileName) return Flow::Failed;
    pick = fileName->empty() ? std::wstring(argument) : *fileName;
    auto subFlg = ReadSetting(context.store, SettingKey::SubFlg);
    if (!subFlg) return Flow::Failed;
    auto dispStyle = ReadSetting(context.store, SettingKey::DispStyle);
    if (!dispStyle) return Flow::Failed;
    bool selectExeAbsent = false;
    auto selectExe = ReadSetting(context.store, SettingKey::SelectExe, selectExeAbsent);
    if (!selectExe) return Flow::Failed;

    auto style = ToInt16(*dispStyle);
    if (!style) return Flow::Failed;
    context.shared.NextStyle = *style;
    if (!context.mainWindow.ChangeStyle()) return Flow::Failed;

    auto toolIndex = ToInt16(*selectExe);
    if (selectExeAbsent && fileName->empty() && context.probe) {
        // A first start with no tool ever chosen: the one that is installed.
        toolIndex = FirstToolIndex(context.store, *context.probe);
    }
    if (!toolIndex || !context.mainWindow.SelectOption(*toolIndex)) return Flow::Failed;

    std::optional<ChosenTool> tool;
    std::wstring lookedAt;  // the first pick the tool has looked at with this one
    while (!fileName->empty()) {
        if (!tool) tool = ChooseTool(context, *toolIndex);
        if (!tool) return Flow::Failed;
        if (!tool->LooksAtPair() || *fileName == lookedAt) break;
        // The items may lie on a slow share: they are looked at without the
        // lock, and FileName is read again after. A refused pair leaves the
        // first pick waiting for another partner.
        decision.Release();
        if (auto refusal = Refusal(context.platform, *tool, *fileName, argument)) {
            // The hidden window's timer ticks under the message: it must not
            // end this start, or reset SubFlg, when the first pick goes.
            context.mainWindow.StopWatching();
            context.platform.ShowMessage(*refusal);
            return Flow::Ended;
        }
        lookedAt = *fileName;
        if (!decision.Acquire()) return Flow::NoLock;
        fileName = ReadSetting(context.store, SettingKey::FileName);
        if (!fileName) return Flow::Failed;
        pick = fileName->empty() ? std::wstring(argument) : *fileName;
    }

    if (fileName->empty()) {
        if (!WriteSetting(context.store, SettingKey::FileName, argument)) return Flow::Failed;
        decision.Release();
        if (!context.mainWindow.SetFirstPath(argument)) return Flow::Failed;
        if (!context.mainWindow.ShowModeless()) return Flow::Failed;
        return Flow::Waiting;
    }
    if (!CompleteSecondPick(context, *tool, !subFlg->empty(), *fileName, argument)) {
        return Flow::Failed;
    }
    return Flow::Ended;
}

}  // namespace

std::optional<std::int16_t> ToInt16(std::wstring_view text) {
    size_t begin = 0, end = text.size();
    while (begin < end && IsSpace(text[begin])) ++begin;
    while (end > begin && IsSpace(text[end - 1])) --end;
    text = text.substr(begin, end - begin);

    bool negative = false;
    if (!text.empty() && (text[0] == L'+' || text[0] == L'-')) {
        negative = text[0] == L'-';
        text.remove_prefix(1);
    }
    if (text.empty()) return std::nullopt;
    long value = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9') return std::nullopt;
        value = value * 10 + (c - L'0');
        if (value > 32768) return std::nullopt;
    }
    if (negative) value = -value;
    if (value > 32767) return std::nullopt;
    return static_cast<std::int16_t>(value);
}

StartupOutcome Main(StartupContext& context) {
    const std::wstring commandLine = context.platform.CommandLine();
    const std::wstring_view argument = ArgumentText(commandLine);
    // Nothing to pick: the start ends before anything else, without the lock,
    // a read, a window or a write.
    if (argument.empty()) return StartupOutcome::EndProgram;
    const std::vector<std::wstring> together = SeveralPaths(argument);
    if (!together.empty()) {
        if (CompareTogether(context, together) == Flow::Failed) ReportPathError(context);
        return StartupOutcome::EndProgram;
    }
    std::optional<std::wstring> pick;
    switch (RunNormalFlow(context, argument, pick)) {
    case Flow::Waiting:
        return StartupOutcome::RunMessageLoop;
    case Flow::Failed:
        // Error path: tell the user, let them correct the tool paths, drop the pick.
        ReportPathError(context);
        DropPick(context, pick, kStartPairingWaitMs);
        return StartupOutcome::EndProgram;
    case Flow::NoLock:
        // The error path without the drop: FileName stays as this start found
        // it, and the hidden window's timer leaves it be under the message.
        context.mainWindow.StopWatching();
        ReportPathError(context);
        return StartupOutcome::EndProgram;
    case Flow::PickTaken:
    case Flow::Ended:
        break;
    }
    return StartupOutcome::EndProgram;
}

DropOutcome DropItems(StartupContext& context, std::wstring_view ownPick,
                      const std::vector<std::wstring>& paths) {
    if (paths.empty()) return DropOutcome::Handled;
    if (paths.size() > 1) {
        if (CompareTogether(context, paths) == Flow::Failed) ReportPathError(context);
        return DropOutcome::Handled;
    }
    switch (DropSecondPick(context, ownPick, paths[0])) {
    case Flow::PickTaken:
        return DropOutcome::PickAlreadyTaken;
    case Flow::Failed:
        // As for a second start: the pick is dropped and the window ends.
        ReportPathError(context);
        DropPick(context, std::wstring(ownPick), kWindowPairingWaitMs);
        break;
    case Flow::NoLock:
        ReportPathError(context);  // FileName, and so the window's pick, stays
        break;
    case Flow::Waiting:
    case Flow::Ended:
        break;
    }
    return DropOutcome::Handled;
}

}  // namespace duomira
