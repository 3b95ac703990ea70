#include "launch/tool_detect.h"

#include <algorithm>
#include <array>

#include "launch/compare_command.h"

namespace duomira {

namespace {

constexpr std::wstring_view kUninstallKey =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
constexpr std::wstring_view kAppPathsKey =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";

// Where a machine-wide entry may be: the 64-bit view, then the 32-bit one
// (a 32-bit installer on a 64-bit system writes there). The per-user part of
// the registry is the same in both views, so it is read once.
struct RegistryPlace {
    RegistryRoot root;
    RegistryView view;
};
constexpr std::array<RegistryPlace, 3> kUserThenMachine{{
    {RegistryRoot::CurrentUser, RegistryView::Wide64},
    {RegistryRoot::LocalMachine, RegistryView::Wide64},
    {RegistryRoot::LocalMachine, RegistryView::Narrow32},
}};

// A path as a registry value may hold it: one pair of quotes around it dropped.
std::wstring Unquoted(std::wstring_view text) {
    if (text.size() >= 2 && text.front() == L'"' && text.back() == L'"') {
        text = text.substr(1, text.size() - 2);
    }
    return std::wstring(text);
}

std::wstring InFolder(std::wstring_view folder, std::wstring_view file) {
    std::wstring path = Unquoted(folder);
    if (!path.empty() && path.back() != L'\\') path += L'\\';
    return path + std::wstring(file);
}

// Collects candidate paths in order, each once (case-insensitively, as the
// file system compares them), and answers the first that names a file.
class Candidates {
  public:
    explicit Candidates(InstallProbe& probe) : probe_(probe) {}

    void Add(std::wstring path) {
        if (found_ || path.empty()) return;
        for (const auto& seen : seen_) {
            if (SameNoCase(seen, path)) return;
        }
        seen_.push_back(path);
        if (probe_.IsFile(path)) found_ = std::move(path);
    }
    void AddInFolder(const std::optional<std::wstring>& folder, std::wstring_view file) {
        if (folder && !folder->empty()) Add(InFolder(*folder, file));
    }
    void AddValue(const std::optional<std::wstring>& value) {
        if (value) Add(Unquoted(*value));
    }
    void AddInEnvironmentFolder(std::wstring_view variable, std::wstring_view rest) {
        std::wstring folder = probe_.Environment(variable);
        if (!folder.empty()) Add(InFolder(folder, rest));
    }

    bool Done() const { return found_.has_value(); }
    const std::optional<std::wstring>& Found() const { return found_; }

  private:
    InstallProbe& probe_;
    std::vector<std::wstring> seen_;
    std::optional<std::wstring> found_;
};

// WinMerge's installers (per user and per machine) record the program in
// their uninstall entry "WinMerge_is1" (InstallLocation, the folder), in
// App Paths under both program names, and in WinMerge's own settings key
// (Executable, read by its shell extension). The default folders are
// %LOCALAPPDATA%\Programs\WinMerge per user and Program Files\WinMerge.
std::optional<std::wstring> FindWinMerge(InstallProbe& probe) {
    Candidates found(probe);
    for (const auto& place : kUserThenMachine) {
        auto folder =
            probe.RegistryText(place.root, place.view,
                               std::wstring(kUninstallKey) + L"WinMerge_is1", L"InstallLocation");
        found.AddInFolder(folder, L"WinMergeU.exe");
        found.AddInFolder(folder, L"WinMerge.exe");
        if (found.Done()) return found.Found();
    }
    for (const auto& place : kUserThenMachine) {
        for (std::wstring_view name : {L"WinMergeU.exe", L"WinMerge.exe"}) {
            found.AddValue(probe.RegistryText(
                place.root, place.view, std::wstring(kAppPathsKey) + std::wstring(name), L""));
            if (found.Done()) return found.Found();
        }
    }
    found.AddValue(probe.RegistryText(RegistryRoot::CurrentUser, RegistryView::Wide64,
                                      L"Software\\Thingamahoochie\\WinMerge", L"Executable"));
    found.AddInEnvironmentFolder(L"LOCALAPPDATA", L"Programs\\WinMerge\\WinMergeU.exe");
    found.AddInEnvironmentFolder(L"ProgramW6432", L"WinMerge\\WinMergeU.exe");
    found.AddInEnvironmentFolder(L"ProgramFiles", L"WinMerge\\WinMergeU.exe");
    found.AddInEnvironmentFolder(L"ProgramFiles(x86)", L"WinMerge\\WinMergeU.exe");
    return found.Found();
}

// "10.0.22621.0" before "10.0.19041.0": numbers compared part by part.
bool NewerVersion(const std::wstring& a, const std::wstring& b) {
    size_t i = 0, j = 0;
    while (i < a.size() || j < b.size()) {
        unsigned long x = 0, y = 0;
        while (i < a.size() && a[i] != L'.')
            x = x * 10 + (a[i++] - L'0');
        while (j < b.size() && b[j] != L'.')
            y = y * 10 + (b[j++] - L'0');
        if (x != y) return x > y;
        ++i, ++j;
    }
    return false;
}

bool IsVersionName(std::wstring_view name) {
    return name.size() <= 24 && !name.empty() && name.front() >= L'0' && name.front() <= L'9' &&
           std::all_of(name.begin(), name.end(),
                       [](wchar_t c) { return c == L'.' || (c >= L'0' && c <= L'9'); });
}

// WinDiff comes with the Windows SDK: bin\<version>\x64 and \x86 under the
// kit's root (KitsRoot10, or the usual folder), newest version first; older
// kits keep it in bin\x64 and bin\x86. A copy installed by hand may have an
// App Paths entry.
std::optional<std::wstring> FindWinDiff(InstallProbe& probe) {
    Candidates found(probe);
    for (const auto& place : kUserThenMachine) {
        found.AddValue(probe.RegistryText(place.root, place.view,
                                          std::wstring(kAppPathsKey) + L"WinDiff.exe", L""));
        if (found.Done()) return found.Found();
    }

    std::vector<std::wstring> roots;
    for (RegistryView view : {RegistryView::Narrow32, RegistryView::Wide64}) {
        auto root = probe.RegistryText(RegistryRoot::LocalMachine, view,
                                       L"Software\\Microsoft\\Windows Kits\\Installed Roots",
                                       L"KitsRoot10");
        if (root && !root->empty()) roots.push_back(InFolder(*root, L""));
    }
    for (std::wstring_view variable : {L"ProgramFiles(x86)", L"ProgramFiles"}) {
        std::wstring folder = probe.Environment(variable);
        if (!folder.empty()) roots.push_back(InFolder(folder, L"Windows Kits\\10\\"));
    }
    std::vector<std::wstring> listed;
    for (const auto& root : roots) {
        if (std::find(listed.begin(), listed.end(), root) != listed.end()) continue;
        listed.push_back(root);
        const std::wstring bin = root + L"bin\\";
        std::vector<std::wstring> versions = probe.Subfolders(bin);
        std::erase_if(versions, [](const std::wstring& name) { return !IsVersionName(name); });
        std::sort(versions.begin(), versions.end(), NewerVersion);
        for (const auto& version : versions) {
            found.Add(bin + version + L"\\x64\\windiff.exe");
            found.Add(bin + version + L"\\x86\\windiff.exe");
        }
        found.Add(bin + L"x64\\windiff.exe");
        found.Add(bin + L"x86\\windiff.exe");
        if (found.Done()) return found.Found();
    }
    return found.Found();
}

bool HasFolder(std::wstring_view path) {
    return path.find_first_of(L"\\/:") != std::wstring_view::npos;
}

// The system adds ".exe" to a program name whose last part has no extension.
bool HasExtension(std::wstring_view path) {
    const size_t dot = path.rfind(L'.');
    return dot != std::wstring_view::npos &&
           path.find_first_of(L"\\/", dot) == std::wstring_view::npos;
}

}  // namespace

namespace {

// The tool's program as the start would find it while its path was never
// stored: the key's own default when the start finds that bare name, else the
// first installed copy; nullopt when there is neither.
std::optional<std::wstring> FoundToolPath(InstallProbe& probe, int tool) {
    const std::wstring_view own = Describe(kToolPathKeys[tool]).defaultValue;
    if (probe.StartFindsBareName(own)) return std::wstring(own);
    return tool == 0 ? FindWinDiff(probe) : FindWinMerge(probe);
}

}  // namespace

std::wstring DetectedToolPath(InstallProbe& probe, int tool) {
    if (tool < 0 || tool >= kToolCount) return {};
    const std::wstring_view own = Describe(kToolPathKeys[tool]).defaultValue;
    if (tool == 2) return std::wstring(own);  // the FC command is part of the system
    return FoundToolPath(probe, tool).value_or(std::wstring(own));
}

std::optional<std::wstring> ReadToolPath(SettingsBackend& store, int tool, InstallProbe* probe) {
    bool absent = false;
    auto path = ReadSetting(store, kToolPathKeys[tool], absent);
    if (path && absent && probe) return DetectedToolPath(*probe, tool);
    return path;
}

bool ToolProgramFound(InstallProbe& probe, std::wstring_view toolPath) {
    const std::wstring_view program =
        ToolProgram(toolPath, [&probe](std::wstring_view path) { return probe.IsFile(path); });
    if (program.empty()) return false;
    if (!HasFolder(program)) return probe.StartFindsBareName(program);
    if (probe.IsFile(program)) return true;
    return !HasExtension(program) && probe.IsFile(std::wstring(program) + L".exe");
}

std::optional<std::int16_t> FirstToolIndex(SettingsBackend& store, InstallProbe& probe) {
    // Both paths are read before anything is looked for: a WinDiff path that
    // can't be read leaves no answer, and a WinMerge path that can't be read
    // leaves one only where WinDiff's program is found.
    std::optional<std::wstring> paths[2];
    bool absent[2] = {false, false};
    for (int tool : {0, 1}) paths[tool] = ReadSetting(store, kToolPathKeys[tool], absent[tool]);
    // Whether a tool's program can be found: a stored path's program, or,
    // while none was stored, the detected one.
    auto found = [&](int tool) {
        return absent[tool] ? FoundToolPath(probe, tool).has_value()
                            : ToolProgramFound(probe, *paths[tool]);
    };
    if (!paths[0]) return std::nullopt;
    if (!paths[1]) return found(0) ? std::optional<std::int16_t>(0) : std::nullopt;
    // WinDiff unless only WinMerge's program is found. WinMerge's is looked
    // for first, so that a machine without it is spared WinDiff's search.
    if (!found(1)) return 0;
    return found(0) ? 0 : 1;
}

}  // namespace duomira
