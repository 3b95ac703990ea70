// Test doubles for the settings store, the start-up procedure and the main window.
#pragma once

#include <algorithm>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "common/expected_texts.h"
#include "launch/startup.h"
#include "main_window/main_window.h"

namespace duomira {

// The settings store in memory, with switches that make it fail.
class MemorySettingsBackend : public SettingsBackend {
  public:
    StoreValue Get(std::wstring_view name) override;
    bool Set(std::wstring_view name, std::wstring_view value) override;

    std::optional<std::wstring> Stored(std::wstring_view name) const;
    void Put(std::wstring_view name, std::wstring_view value) { values_[std::wstring(name)] = value; }

    bool failReads = false;
    std::wstring failReadName;  // when set, reads of this value fail too
    bool failWrites = false;
    std::wstring failWriteName;  // when set, only writes to this value fail
    std::vector<std::wstring> log;  // "get:Name" / "set:Name=value", in order

  private:
    std::map<std::wstring, std::wstring, std::less<>> values_;
};

}  // namespace duomira

namespace duomira::fakes {

// Encodes to CP932 through iconv, as the system's conversion does on a Japanese system.
std::optional<std::string> EncodeCp932(std::wstring_view text);
// Decodes CP932 through iconv; nullopt for bytes that are no CP932 text.
std::optional<std::wstring> DecodeCp932(std::string_view bytes);

// The arguments a started program sees: its command line split as
// CommandLineToArgvW and the C runtime split it (program name first).
std::vector<std::wstring> SplitCommandLine(std::wstring_view line);

struct StartedProcess {
    std::wstring commandLine;
    int showWindow;
};

// Notes "lock" and "unlock" in a log shared with the store, so that a test
// sees which reads and writes happen under the lock.
class FakePairingLock : public PairingLock {
  public:
    std::vector<std::wstring>* log = nullptr;
    bool fail = false;
    bool held = false;
    std::function<void()> onAcquire;  // what another start does just before the lock is had
    std::uint32_t longestWait = 0;
    bool Acquire(std::uint32_t waitMs) override {
        longestWait = std::max(longestWait, waitMs);
        if (onAcquire) onAcquire();
        if (fail) return false;
        held = true;
        if (log) log->push_back(L"lock");
        return true;
    }
    void Release() override {
        held = false;
        if (log) log->push_back(L"unlock");
    }
};

class FakePlatform : public StartupPlatform {
  public:
    std::wstring commandLine = L"Duomira.exe";
    bool failStart = false;
    bool failWrite = false;
    std::vector<StartedProcess> started;
    std::vector<std::pair<std::wstring, std::string>> files;  // written, in order
    std::vector<std::wstring> messages;
    std::map<std::wstring, std::wstring> shortNames;

    std::vector<std::wstring>* log = nullptr;  // "start" and "message" noted, when set

    std::wstring CommandLine() override { return commandLine; }
    bool StartProcess(std::wstring_view line, int show) override {
        if (failStart) return false;
        if (log) log->push_back(L"start");
        started.push_back({std::wstring(line), show});
        return true;
    }
    bool WriteNewFile(std::wstring_view name, std::string_view bytes) override {
        if (failWrite) return false;
        files.emplace_back(std::wstring(name), std::string(bytes));
        return true;
    }
    std::optional<std::string> ToScriptCodePage(std::wstring_view text) override {
        return EncodeCp932(text);
    }
    std::string ToScriptCodePageReplacing(std::wstring_view text) override {
        std::wstring replaced(text);
        for (wchar_t& c : replaced) {
            if (!EncodeCp932(std::wstring_view(&c, 1))) c = L'?';
        }
        return EncodeCp932(replaced).value_or("");
    }
    FakePairingLock pairing;
    PairingLock& Pairing() override { return pairing; }
    std::vector<std::wstring> existingFiles;
    bool IsExistingFile(std::wstring_view path) override {
        for (const auto& file : existingFiles) {
            if (file == path) return true;
        }
        return false;
    }
    std::vector<std::wstring> folders;
    std::map<std::wstring, std::uint64_t, std::less<>> writeTimes;  // none: can't be read
    std::function<void()> onLook;  // what other starts do while an item is looked at
    bool IsFolder(std::wstring_view path) override {
        if (log) log->push_back(L"look:" + std::wstring(path));
        if (onLook) onLook();
        return std::find(folders.begin(), folders.end(), path) != folders.end();
    }
    std::optional<std::uint64_t> LastWriteTime(std::wstring_view path) override {
        auto it = writeTimes.find(path);
        return it == writeTimes.end() ? std::nullopt : std::optional(it->second);
    }
    std::map<std::wstring, std::wstring, std::less<>> onPath;  // bare name: the file found
    std::optional<std::wstring> FindBareProgram(std::wstring_view name) override {
        auto it = onPath.find(name);
        return it == onPath.end() ? std::nullopt : std::optional(it->second);
    }
    std::optional<std::wstring> ShortPath(std::wstring_view path) override {
        auto it = shortNames.find(std::wstring(path));
        if (it == shortNames.end()) return std::nullopt;
        return it->second;
    }
    void ShowMessage(std::wstring_view text) override {
        if (log) log->push_back(L"message");
        messages.emplace_back(text);
    }
};

class FakeHost : public MainWindowHost {
  public:
    long screenWidth = 19200;
    int screenQueries = 0;
    int timersStarted = 0;
    int syncs = 0;
    bool shown = false;
    bool ended = false;

    long ScreenWidthTwips() override {
        ++screenQueries;
        return screenWidth;
    }
    void StartTimer() override { ++timersStarted; }
    void Sync(const MainWindowModel&) override { ++syncs; }
    std::vector<std::wstring>* log = nullptr;  // "show" noted, when set
    bool Show(const MainWindowModel&) override {
        if (log) log->push_back(L"show");
        return shown = true;
    }
    void EndProgram() override { ended = true; }
    std::vector<IgnoredDrop> dropsIgnored;
    void DropIgnored(IgnoredDrop why, const std::vector<std::wstring>&) override {
        dropsIgnored.push_back(why);
    }
};

class FakePathDialog : public PathDialogApi {
  public:
    int modalShows = 0;
    std::function<void()> onModal;  // what other starts do while the dialog is up
    void ShowModal() override {
        ++modalShows;
        if (onModal) onModal();
    }
};

// One start of the program over a settings store in memory, with everything
// else it meets faked. Start() runs the start-up procedure on an argument text.
struct StartRig {
    StartRig() { window.Connect(startupContext); }
    StartupOutcome Start(std::wstring_view argumentText, InstallProbe* probe = nullptr) {
        platform.commandLine =
            L"\"C:\\Program Files\\Duomira\\Duomira.exe\" " + std::wstring(argumentText);
        startupContext.probe = probe;
        return Main(startupContext);
    }
    // The message and the tool path dialog, each once.
    bool ErrorPathTaken() const {
        return platform.messages == std::vector<std::wstring>{std::wstring(expected::kPathError)} &&
               dialog.modalShows == 1;
    }

    MemorySettingsBackend store;
    SharedVariables shared;
    FakePlatform platform;
    FakeHost host;
    MainWindow window{store, shared, host};
    FakePathDialog dialog;
    // The one the window is connected to, as the program connects it.
    StartupContext startupContext{store, shared, platform, window, dialog};
};

}  // namespace duomira::fakes
