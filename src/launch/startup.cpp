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

// The script starts by a name with a folder part, so that it is found in the
// working directory although that is left out of the program search.
constexpr std::wstring_view kScriptStartName = L".\\diff_tmp.bat";

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

// Builds the chosen tool's command line from the stored tool paths and starts it.
bool LaunchComparison(StartupContext& context, std::int16_t toolIndex, bool subdirectories,
                      std::wstring_view firstArgument, std::wstring_view secondArgument) {
    std::array<std::wstring, 3> toolPaths;
    for (int i = 0; i < kToolCount; ++i) {
        // Only the tool that starts needs to be found when its path was never stored.
        auto path = i == toolIndex ? ReadToolPath(context.store, i, context.probe)
                                   : ReadSetting(context.store, kToolPathKeys[i]);
        if (!path) return false;
        toolPaths[i] = std::move(*path);
    }
    if (toolIndex == kFcCommand) {
        return LaunchFcScript(context.platform, toolPaths[kFcCommand], firstArgument,
                              secondArgument);
    }
    toolPaths[toolIndex] = ProgramText(context.platform, std::move(toolPaths[toolIndex]));
    auto line =
        BuildCompareCommand(toolIndex, subdirectories, toolPaths, firstArgument, secondArgument);
    return line && context.platform.StartProcess(*line, kShowNormal);
}

enum class Flow { Failed, Ended, Waiting };

// The second pick completes the pair: the chosen tool gets the first pick
// recorded in FileName and this one, then FileName is cleared. A second start
// and one item dropped onto the waiting window both end their pick here.
bool CompleteSecondPick(StartupContext& context, std::int16_t toolIndex, bool subdirectories,
                        std::wstring_view firstPick, std::wstring_view secondPick) {
    if (!LaunchComparison(context, toolIndex, subdirectories, firstPick, secondPick)) return false;
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

// Items picked together: two are compared at once with the stored tool choice
// and subdirectory option. FileName, which may hold a waiting pick of its
// own, is neither read nor written, and no window is loaded.
Flow CompareTogether(StartupContext& context, const std::vector<std::wstring>& paths) {
    if (paths.size() != 2) {
        context.platform.ShowMessage(kTwoItemsOnlyMessage);
        return Flow::Ended;
    }
    if (paths[0].empty() || paths[1].empty()) return Flow::Failed;  // a dropped item not read
    auto subFlg = ReadSetting(context.store, SettingKey::SubFlg);
    if (!subFlg) return Flow::Failed;
    auto toolIndex = StoredToolIndex(context);
    if (!toolIndex) return Flow::Failed;
    if (!LaunchComparison(context, *toolIndex, !subFlg->empty(), paths[0], paths[1])) {
        return Flow::Failed;
    }
    return Flow::Ended;
}

// One item dropped onto the waiting window: the second pick, as a second start
// with that path would make it, under the same lock. The lock is let go on
// return, before any message is shown.
Flow DropSecondPick(StartupContext& context, std::wstring_view ownPick, std::wstring_view path) {
    if (path.empty()) return Flow::Failed;  // its name could not be read
    PairingDecision decision(context.platform.Pairing());
    if (!decision.Held()) return Flow::Failed;
    auto fileName = ReadSetting(context.store, SettingKey::FileName);
    if (!fileName) return Flow::Failed;
    // Already paired, the window is ending: FileName is empty, or already
    // holds the next start's first pick, which is not this window's to pair.
    if (fileName->empty() || (!ownPick.empty() && *fileName != ownPick)) return Flow::Ended;
    auto subFlg = ReadSetting(context.store, SettingKey::SubFlg);
    if (!subFlg) return Flow::Failed;
    auto toolIndex = StoredToolIndex(context);
    if (!toolIndex) return Flow::Failed;
    return CompleteSecondPick(context, *toolIndex, !subFlg->empty(), *fileName, path)
               ? Flow::Ended
               : Flow::Failed;
}

// The error path without dropping a pick: tell the user, let them correct the tool paths.
void ReportPathError(StartupContext& context) {
    context.platform.ShowMessage(kPathErrorMessage);
    context.pathDialog.ShowModal();
}

// The error path drops the pick that was in play (nullopt: not known) once
// the user has closed the dialog. By then a partner may have taken that pick
// and the next start recorded its own in FileName, which stays.
void DropPick(StartupContext& context, const std::optional<std::wstring>& pick) {
    PairingDecision decision(context.platform.Pairing());
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
    PairingDecision decision(context.platform.Pairing());
    if (!decision.Held()) return Flow::Failed;

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

    if (argument.empty()) return Flow::Ended;

    auto style = ToInt16(*dispStyle);
    if (!style) return Flow::Failed;
    context.shared.NextStyle = *style;
    if (!context.mainWindow.ChangeStyle()) return Flow::Failed;

    auto toolIndex = ToInt16(*selectExe);
    if (selectExeAbsent && fileName->empty() && context.probe) {
        // A first start with no tool ever chosen: the one that is installed.
        // The search for the tools' programs runs on a thread of its own
        // while the window system loads here; each takes a while.
        ToolSearchAhead search(*context.probe);
        context.mainWindow.PrepareToShow();
        toolIndex = FirstToolIndex(context.store, *context.probe, &search);
    }
    if (!toolIndex || !context.mainWindow.SelectOption(*toolIndex)) return Flow::Failed;

    if (fileName->empty()) {
        if (!WriteSetting(context.store, SettingKey::FileName, argument)) return Flow::Failed;
        decision.Release();
        if (!context.mainWindow.SetFirstPath(argument)) return Flow::Failed;
        if (!context.mainWindow.ShowModeless()) return Flow::Failed;
        return Flow::Waiting;
    }
    if (!CompleteSecondPick(context, *toolIndex, !subFlg->empty(), *fileName, argument)) {
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
    const std::vector<std::wstring> together = SeveralPaths(argument);
    if (!together.empty()) {
        if (CompareTogether(context, together) == Flow::Failed) ReportPathError(context);
        return StartupOutcome::EndProgram;
    }
    std::optional<std::wstring> pick;
    switch (RunNormalFlow(context, argument, pick)) {
    case Flow::Waiting:
        return StartupOutcome::RunMessageLoop;
    case Flow::Ended:
        return StartupOutcome::EndProgram;
    case Flow::Failed:
        break;
    }
    // Error path: tell the user, let them correct the tool paths, drop the pick.
    ReportPathError(context);
    DropPick(context, pick);
    return StartupOutcome::EndProgram;
}

void DropItems(StartupContext& context, std::wstring_view ownPick,
               const std::vector<std::wstring>& paths) {
    if (paths.empty()) return;
    if (paths.size() > 1) {
        if (CompareTogether(context, paths) == Flow::Failed) ReportPathError(context);
        return;
    }
    if (DropSecondPick(context, ownPick, paths[0]) == Flow::Failed) {
        // As for a second start: the pick is dropped and the window ends.
        ReportPathError(context);
        DropPick(context, ownPick.empty() ? std::nullopt
                                          : std::optional<std::wstring>(std::wstring(ownPick)));
    }
}

}  // namespace duomira
