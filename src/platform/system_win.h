// The operating system services of the start-up procedure, over Win32.
#pragma once

#include "launch/startup.h"
#include "platform/pairing_mutex_win.h"

namespace duomira {

class Win32StartupPlatform : public StartupPlatform {
  public:
    std::wstring CommandLine() override;
    bool StartProcess(std::wstring_view commandLine, int showWindow) override;
    bool WriteNewFile(std::wstring_view name, std::string_view bytes) override;
    std::optional<std::string> ToScriptCodePage(std::wstring_view text) override;
    std::string ToScriptCodePageReplacing(std::wstring_view text) override;
    PairingLock& Pairing() override { return pairing_; }
    bool IsExistingFile(std::wstring_view path) override;
    bool IsFolder(std::wstring_view path) override;
    std::optional<std::uint64_t> LastWriteTime(std::wstring_view path) override;
    std::optional<std::wstring> FindBareProgram(std::wstring_view name) override;
    std::optional<std::wstring> ShortPath(std::wstring_view path) override;
    void ShowMessage(std::wstring_view text) override;

  private:
    PairingMutex pairing_;
};

}  // namespace duomira
