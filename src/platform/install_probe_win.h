// Detection's questions answered by the system: the registry in either view,
// file attributes, the environment, folder listings and the program search.
#pragma once

#include "launch/tool_detect.h"

namespace duomira {

class Win32InstallProbe : public InstallProbe {
  public:
    std::optional<std::wstring> RegistryText(RegistryRoot root, RegistryView view,
                                             std::wstring_view keyPath,
                                             std::wstring_view valueName) override;
    bool IsFile(std::wstring_view path) override;
    std::wstring Environment(std::wstring_view name) override;
    std::vector<std::wstring> Subfolders(std::wstring_view folder) override;
    bool StartFindsBareName(std::wstring_view name) override;
};

}  // namespace duomira
