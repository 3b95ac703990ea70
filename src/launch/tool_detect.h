// Defaults that point at the comparison tools really installed. While a tool
// path has never been stored, its default is the key's own bare program name
// if the tool start finds it, else the first installed copy found in the
// places that the tools' own installers record, else the bare name again.
// Nothing found here is ever stored; only the tool path dialog's "ＯＫ" stores.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "launch/settings_store.h"

namespace duomira {

enum class RegistryRoot { CurrentUser, LocalMachine };
// The 64-bit and the 32-bit view of the registry (the same on a 32-bit system).
enum class RegistryView { Wide64, Narrow32 };

// What detection asks of the system. Each call is cheap: one registry value,
// one file attribute, one environment variable, one folder listing.
class InstallProbe {
  public:
    virtual ~InstallProbe() = default;
    // A text value ("" names the key's default value), environment references
    // expanded; nullopt when the key or value is absent or holds no text.
    virtual std::optional<std::wstring> RegistryText(RegistryRoot root, RegistryView view,
                                                     std::wstring_view keyPath,
                                                     std::wstring_view valueName) = 0;
    // Whether the path names an existing file (not a folder).
    virtual bool IsFile(std::wstring_view path) = 0;
    // An environment variable's value; empty when it is not set.
    virtual std::wstring Environment(std::wstring_view name) = 0;
    // The names of the folders inside a folder, in no particular order.
    virtual std::vector<std::wstring> Subfolders(std::wstring_view folder) = 0;
    // Whether the tool start finds a bare program name (no folder in it).
    virtual bool StartFindsBareName(std::wstring_view name) = 0;
};

// The default of a tool path (0 WinDiff, 1 WinMerge, 2 the FC command, whose
// default is always its key's own).
std::wstring DetectedToolPath(InstallProbe& probe, int tool);

// Reads a tool path; when it has never been stored and a probe is given, the
// detected default takes the place of the key's own. nullopt when the store failed.
std::optional<std::wstring> ReadToolPath(SettingsBackend& store, int tool, InstallProbe* probe);

// Whether the tool start would find the program of a tool path as the command
// line gives it: quoted, or as a whole when that names a file (the launch
// quotes such a path), else up to the first blank.
bool ToolProgramFound(InstallProbe& probe, std::wstring_view toolPath);

// The tool a first start selects while SelectExe has never been stored:
// WinMerge when WinDiff's program can't be found but WinMerge's can, else
// WinDiff. A tool path never stored is searched for. nullopt when the store failed.
std::optional<std::int16_t> FirstToolIndex(SettingsBackend& store, InstallProbe& probe);

}  // namespace duomira
