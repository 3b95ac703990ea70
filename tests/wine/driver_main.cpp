// The test driver's runner and helpers (see driver.h).
#include "driver.h"

#include "main_window/main_window_ids.h"

#include <fcntl.h>
#include <io.h>
#include <shellapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cwctype>
#include <filesystem>
#include <mutex>

namespace duomira::wine {
namespace {

// What the driver keeps about the test in progress. The watchdog thread reads
// it too, hence the lock.
struct RunState {
    std::mutex lock;
    std::string testName;
    bool tempDirReady = false;
    std::wstring tempDir;
    int fakeLogCount = 0;
};

RunState& State() {
    static RunState state;
    return state;
}

std::wstring g_exeDir;
std::wstring g_artifactsDir;

void Out(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

std::wstring TrimTrailingSlashes(std::wstring path) {
    while (path.size() > 3 && (path.back() == L'\\' || path.back() == L'/')) path.pop_back();
    return path;
}

// "/x/y" (a Unix path handed over by the runner script) -> "Z:\x\y".
std::wstring WindowsPath(std::wstring path) {
    if (!path.empty() && path.front() == L'/') path = L"Z:" + path;
    std::replace(path.begin(), path.end(), L'/', L'\\');
    return TrimTrailingSlashes(path);
}

std::wstring ModuleDir() {
    wchar_t buffer[MAX_PATH * 4];
    DWORD length = GetModuleFileNameW(nullptr, buffer, static_cast<DWORD>(std::size(buffer)));
    std::wstring path(buffer, length);
    return path.substr(0, path.find_last_of(L"\\/"));
}

bool EqualsIgnoreCase(std::wstring_view a, std::wstring_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](wchar_t x, wchar_t y) {
               return std::towlower(x) == std::towlower(y);
           });
}

bool IsLeftoverProgram(std::wstring_view exe) {
    if (EqualsIgnoreCase(exe, L"Duomira.exe")) return true;
    return exe.size() > 9 && EqualsIgnoreCase(exe.substr(0, 5), L"fake_") &&
           EqualsIgnoreCase(exe.substr(exe.size() - 4), L".exe");
}

// Duomira.exe and the fakes from earlier tests.
void KillLeftovers() {
    for (const ProcessEntry& process : RunningProcesses())
        if (IsLeftoverProgram(process.exe)) KillProcessById(process.id);
}

// Ends the run when one test takes too long: a hung test must not hang CTest.
struct Watchdog {
    UniqueKernelHandle done{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    UniqueKernelHandle thread;

    static DWORD WINAPI Watch(void* self) {
        auto* dog = static_cast<Watchdog*>(self);
        if (WaitForSingleObject(dog->done.get(), kTestTimeoutMs) == WAIT_OBJECT_0) return 0;
        std::string name;
        {
            RunState& state = State();
            std::lock_guard guard(state.lock);
            name = state.testName;
        }
        SaveScreenshot(L"FAIL-" + FromUtf8(name));
        Out("[  FAILED  ] " + name + " (timed out after " + std::to_string(kTestTimeoutMs / 1000) +
            " s)\n");
        KillLeftovers();
        ExitProcess(3);
    }

    Watchdog() { thread.reset(CreateThread(nullptr, 0, &Watch, this, 0, nullptr)); }
    ~Watchdog() {
        SetEvent(done.get());
        WaitForSingleObject(thread.get(), INFINITE);
    }
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;
};

// Around every test: the clean start (see driver.h), the watchdog, the
// screenshot of a failure. A fatal failure (ASSERT_*, Abort) throws, so that
// it ends the test also from inside a helper; GoogleTest catches it as a
// failure reported already.
class WineTestListener : public testing::EmptyTestEventListener {
  public:
    void OnTestStart(const testing::TestInfo& test) override {
        SetEnvironmentVariableW(L"DUOMIRA_FAKE_LOG", nullptr);
        {
            RunState& state = State();
            std::lock_guard guard(state.lock);
            state.testName = std::string(test.test_suite_name()) + "." + test.name();
            state.tempDirReady = false;
            state.fakeLogCount = 0;
        }
        watchdog_.emplace();
        try {
            KillLeftovers();
            DeleteAppKey();
        } catch (const testing::AssertionException&) {
            // Recorded as a fatal failure: GoogleTest does not run the test.
        }
    }

    // Not for the failures that GoogleTest reports itself ("unknown file"),
    // such as an exception it caught: it reports them from its catch block.
    void OnTestPartResult(const testing::TestPartResult& result) override {
        if (result.fatally_failed() && result.file_name() != nullptr)
            throw testing::AssertionException(result);
    }

    void OnTestEnd(const testing::TestInfo& test) override {
        watchdog_.reset();
        if (test.result()->Failed())
            SaveScreenshot(L"FAIL-" + FromUtf8(std::string(test.test_suite_name()) + "." +
                                               test.name()));
        KillLeftovers();
    }

  private:
    std::optional<Watchdog> watchdog_;
};

int Usage() {
    Out("usage: duomira_driver.exe [GoogleTest flags] [--exe-dir DIR] [--artifacts DIR]\n");
    return 2;
}

}  // namespace

// ---------------------------------------------------------------- text

std::string ToUtf8(std::wstring_view text) {
    if (text.empty()) return {};
    int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                   nullptr, nullptr);
    std::string out(size, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size,
                        nullptr, nullptr);
    return out;
}

std::wstring FromUtf8(std::string_view text) {
    if (text.empty()) return {};
    int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(size, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size);
    return out;
}

namespace {

// usedDefault must be null for UTF-8, which refuses to report it.
std::string Encode(UINT codePage, DWORD flags, std::wstring_view text, BOOL* usedDefault) {
    if (text.empty()) return {};
    const int length = static_cast<int>(text.size());
    const int size =
        WideCharToMultiByte(codePage, flags, text.data(), length, nullptr, 0, nullptr, usedDefault);
    std::string bytes(static_cast<size_t>(std::max(size, 0)), '\0');
    WideCharToMultiByte(codePage, flags, text.data(), length, bytes.data(), size, nullptr, nullptr);
    return bytes;
}

std::wstring Decode(UINT codePage, std::string_view bytes) {
    if (bytes.empty()) return {};
    const int length = static_cast<int>(bytes.size());
    const int size = MultiByteToWideChar(codePage, 0, bytes.data(), length, nullptr, 0);
    std::wstring text(static_cast<size_t>(std::max(size, 0)), L'\0');
    MultiByteToWideChar(codePage, 0, bytes.data(), length, text.data(), size);
    return text;
}

}  // namespace

std::optional<std::string> Cp932(std::wstring_view text) {
    BOOL usedDefault = FALSE;
    std::string bytes = Encode(932, WC_NO_BEST_FIT_CHARS, text, &usedDefault);
    if (usedDefault || (bytes.empty() && !text.empty())) return std::nullopt;
    return bytes;
}

std::wstring FromCp932(std::string_view bytes) { return Decode(932, bytes); }

std::string ToOemCodePage(std::wstring_view text) { return Encode(GetOEMCP(), 0, text, nullptr); }

std::wstring FromOemCodePage(std::string_view bytes) { return Decode(GetOEMCP(), bytes); }

std::string Show(std::wstring_view text) { return Show(std::string_view(ToUtf8(text))); }

std::string Show(std::string_view text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
            out += escaped;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

// ---------------------------------------------------------------- failures

void Abort(const std::string& message, std::source_location where) {
    [&] { GTEST_FAIL_AT(where.file_name(), static_cast<int>(where.line())) << message; }();
    // The listener has thrown the failure already; should it not have, this
    // ends the test the same way.
    throw testing::AssertionException(testing::TestPartResult(
        testing::TestPartResult::kFatalFailure, where.file_name(), static_cast<int>(where.line()),
        message.c_str()));
}

void Note(const std::string& message) { Out("note: " + message + "\n"); }

// ---------------------------------------------------------------- run context

const std::wstring& ExeDir() { return g_exeDir; }
const std::wstring& ArtifactsDir() { return g_artifactsDir; }

std::string CurrentTestName() {
    RunState& state = State();
    std::lock_guard guard(state.lock);
    return state.testName;
}

std::wstring ExePath(std::wstring_view fileName) { return g_exeDir + L"\\" + std::wstring(fileName); }

std::wstring Quoted(std::wstring_view text) { return L"\"" + std::wstring(text) + L"\""; }

// ---------------------------------------------------------------- time

Stopwatch::Stopwatch() { Restart(); }

void Stopwatch::Restart() { QueryPerformanceCounter(&start_); }

double Stopwatch::ElapsedMs() const {
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(now.QuadPart - start_.QuadPart) /
           static_cast<double>(frequency.QuadPart);
}

bool WaitUntil(const std::function<bool()>& predicate, DWORD timeoutMs, DWORD pollMs) {
    Stopwatch watch;
    for (;;) {
        if (predicate()) return true;
        if (watch.ElapsedMs() >= timeoutMs) return false;
        Sleep(pollMs);
    }
}

// ---------------------------------------------------------------- processes

Process::Process(Process&& other) noexcept
    : handle_(std::move(other.handle_)),
      id_(std::exchange(other.id_, 0)),
      killOnDestroy_(other.killOnDestroy_) {}

Process& Process::operator=(Process&& other) noexcept {
    if (this != &other) {
        Close();
        handle_ = std::move(other.handle_);
        id_ = std::exchange(other.id_, 0);
        killOnDestroy_ = other.killOnDestroy_;
    }
    return *this;
}

Process::~Process() { Close(); }

void Process::Close() {
    if (!handle_) return;
    if (killOnDestroy_ && IsRunning()) Kill();
    handle_.reset();
}

bool Process::IsRunning() const { return handle_ && WaitForSingleObject(handle_.get(), 0) == WAIT_TIMEOUT; }

bool Process::WaitForExit(DWORD timeoutMs) const {
    return handle_ && WaitForSingleObject(handle_.get(), timeoutMs) == WAIT_OBJECT_0;
}

std::optional<DWORD> Process::ExitCode() const {
    DWORD code = 0;
    if (!handle_ || IsRunning() || !GetExitCodeProcess(handle_.get(), &code)) return std::nullopt;
    return code;
}

void Process::Kill() {
    if (!handle_) return;
    TerminateProcess(handle_.get(), 1);
    WaitForSingleObject(handle_.get(), 5000);
}

void Process::Release() { killOnDestroy_ = false; }

std::optional<Process> TryStartProcess(std::wstring_view commandLine, std::wstring_view workDir,
                                       DWORD* error) {
    std::wstring line(commandLine);
    std::wstring dir(workDir);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        dir.empty() ? nullptr : dir.c_str(), &startup, &info)) {
        if (error) *error = GetLastError();
        return std::nullopt;
    }
    const UniqueKernelHandle thread(info.hThread);
    return Process(info.hProcess, info.dwProcessId);
}

Process StartProcess(std::wstring_view commandLine, std::wstring_view workDir) {
    DWORD error = 0;
    std::optional<Process> process = TryStartProcess(commandLine, workDir, &error);
    // Wine now and then fails a start with an internal error before the
    // program runs at all; one more try tells that apart from a real fault.
    if (!process && error == ERROR_INTERNAL_ERROR) {
        Note("CreateProcessW failed with ERROR_INTERNAL_ERROR; tried again");
        Sleep(200);
        process = TryStartProcess(commandLine, workDir, &error);
    }
    if (!process)
        Abort("CreateProcessW failed (error " + std::to_string(error) + ") for " + Show(commandLine));
    return std::move(*process);
}

std::wstring DuomiraCommandLine(std::wstring_view argumentText) {
    std::wstring line = Quoted(ExePath(L"Duomira.exe"));
    if (!argumentText.empty()) line += L" " + std::wstring(argumentText);
    return line;
}

Process StartDuomira(std::wstring_view argumentText, std::wstring_view workDir) {
    return StartProcess(DuomiraCommandLine(argumentText), workDir);
}

WaitingStart StartWaiting(std::wstring_view argumentText) {
    WaitingStart waiting;
    waiting.process = StartDuomira(argumentText, TestTempDir());
    waiting.main = RequireWindow(waiting.process.Id(), ids::kMainWindowClass, 10000);
    if (!WaitForSetting(L"FileName", argumentText, 5000))
        Abort("FileName was not recorded for " + Show(argumentText));
    return waiting;
}

bool WaitForSetting(std::wstring_view key, std::wstring_view value, DWORD timeoutMs) {
    return WaitUntil([&] { return ReadStoredSetting(key) == std::wstring(value); }, timeoutMs);
}

std::vector<ProcessEntry> RunningProcesses() {
    std::vector<ProcessEntry> list;
    const UniqueFile snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return list;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more;
         more = Process32NextW(snapshot.get(), &entry))
        list.push_back({entry.th32ProcessID, entry.th32ParentProcessID, entry.szExeFile});
    return list;
}

bool KillProcessById(DWORD id) {
    const UniqueKernelHandle process(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id));
    if (!process) return false;
    TerminateProcess(process.get(), 1);
    WaitForSingleObject(process.get(), 5000);
    return true;
}

std::vector<DWORD> ProcessIdsNamed(std::wstring_view exeName) {
    std::vector<DWORD> ids;
    for (const ProcessEntry& process : RunningProcesses())
        if (EqualsIgnoreCase(process.exe, exeName)) ids.push_back(process.id);
    return ids;
}

int KillProcessesNamed(std::wstring_view exeName) {
    int count = 0;
    for (DWORD id : ProcessIdsNamed(exeName)) count += KillProcessById(id) ? 1 : 0;
    return count;
}

std::wstring EnvironmentVariable(const wchar_t* name) {
    std::wstring value(GetEnvironmentVariableW(name, nullptr, 0), L'\0');
    value.resize(GetEnvironmentVariableW(name, value.data(), static_cast<DWORD>(value.size())));
    return value;
}

PathPrepended::PathPrepended(std::wstring_view folder) : original_(EnvironmentVariable(L"PATH")) {
    SetEnvironmentVariableW(L"PATH", (std::wstring(folder) + L";" + original_).c_str());
}

PathPrepended::~PathPrepended() { SetEnvironmentVariableW(L"PATH", original_.c_str()); }

// ---------------------------------------------------------------- settings in the registry

namespace {

UniqueRegKey OpenSettings(REGSAM access) {
    UniqueRegKey key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKeyPath, 0, access, key.put()) != ERROR_SUCCESS) return {};
    return key;
}

UniqueRegKey CreateSettings() {
    UniqueRegKey key;
    LONG status = RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKeyPath, 0, nullptr, 0, KEY_SET_VALUE,
                                  nullptr, key.put(), nullptr);
    if (status != ERROR_SUCCESS) Abort("cannot create the settings key (error " + std::to_string(status) + ")");
    return key;
}

std::wstring StringData(const std::vector<BYTE>& data) {
    std::wstring text(reinterpret_cast<const wchar_t*>(data.data()), data.size() / sizeof(wchar_t));
    if (!text.empty() && text.back() == L'\0') text.pop_back();
    return text;
}

}  // namespace

std::optional<std::wstring> ReadStoredSetting(std::wstring_view name) {
    const UniqueRegKey key = OpenSettings(KEY_QUERY_VALUE);
    if (!key) return std::nullopt;
    std::wstring valueName(name);
    DWORD type = 0;
    DWORD size = 0;
    LONG status = RegQueryValueExW(key.get(), valueName.c_str(), nullptr, &type, nullptr, &size);
    std::vector<BYTE> data(size);
    if (status == ERROR_SUCCESS && size > 0)
        status = RegQueryValueExW(key.get(), valueName.c_str(), nullptr, &type, data.data(), &size);
    if (status != ERROR_SUCCESS) return std::nullopt;
    data.resize(size);
    if (type != REG_SZ) {
        ADD_FAILURE() << "setting " << Show(name) << " has registry type " << type
                      << ", not REG_SZ";
        return std::nullopt;
    }
    return StringData(data);
}

void WriteStoredSetting(std::wstring_view name, std::wstring_view value) {
    std::wstring text(value);
    WriteStoredSettingRaw(name, REG_SZ, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

void WriteStoredSettingRaw(std::wstring_view name, DWORD type, const void* data, DWORD size) {
    const UniqueRegKey key = CreateSettings();
    std::wstring valueName(name);
    LONG status = RegSetValueExW(key.get(), valueName.c_str(), 0, type, static_cast<const BYTE*>(data), size);
    if (status != ERROR_SUCCESS)
        Abort("cannot write setting " + Show(name) + " (error " + std::to_string(status) + ")");
}

bool GrantEveryone(HKEY key, ACCESS_MASK mask) {
    SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
    PSID everyone = nullptr;
    if (!AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone))
        return false;
    alignas(DWORD) BYTE buffer[256];
    auto* acl = reinterpret_cast<ACL*>(buffer);
    SECURITY_DESCRIPTOR descriptor{};
    const bool ok = InitializeAcl(acl, sizeof buffer, ACL_REVISION) &&
                    AddAccessAllowedAce(acl, ACL_REVISION, mask, everyone) &&
                    InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) &&
                    SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE) &&
                    RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &descriptor) == ERROR_SUCCESS;
    FreeSid(everyone);
    return ok;
}

void DeleteStoredSetting(std::wstring_view name) {
    const UniqueRegKey key = OpenSettings(KEY_SET_VALUE);
    if (!key) return;
    std::wstring valueName(name);
    RegDeleteValueW(key.get(), valueName.c_str());
}

std::vector<std::pair<std::wstring, std::wstring>> AllStoredSettings() {
    std::vector<std::pair<std::wstring, std::wstring>> values;
    const UniqueRegKey key = OpenSettings(KEY_QUERY_VALUE);
    if (!key) return values;
    for (DWORD index = 0;; ++index) {
        wchar_t name[256];
        DWORD nameLength = static_cast<DWORD>(std::size(name));
        DWORD type = 0;
        BYTE data[8192];
        DWORD size = sizeof data;
        if (RegEnumValueW(key.get(), index, name, &nameLength, nullptr, &type, data, &size) != ERROR_SUCCESS) break;
        values.emplace_back(std::wstring(name, nameLength),
                            type == REG_SZ ? StringData(std::vector<BYTE>(data, data + size))
                                           : L"<type " + std::to_wstring(type) + L">");
    }
    std::sort(values.begin(), values.end());
    return values;
}

bool SettingsKeyExists() { return RegistryKeyExists(kSettingsKeyPath); }
bool AppKeyExists() { return RegistryKeyExists(kAppKeyPath); }

void DeleteAppKey() {
    RegDeleteTreeW(HKEY_CURRENT_USER, kAppKeyPath);
    if (AppKeyExists()) Abort("cannot delete the key HKCU\\Software\\VB and VBA Program Settings\\Duomira");
}

bool RegistryKeyExists(std::wstring_view path) {
    const std::wstring keyPath(path);
    UniqueRegKey key;
    return RegOpenKeyExW(HKEY_CURRENT_USER, keyPath.c_str(), 0, KEY_READ, key.put()) ==
           ERROR_SUCCESS;
}

std::optional<std::wstring> RegistryValue(std::wstring_view path, std::wstring_view name) {
    const std::wstring keyPath(path);
    const std::wstring valueName(name);
    const wchar_t* value = valueName.empty() ? nullptr : valueName.c_str();
    constexpr DWORD kTypes = RRF_RT_REG_SZ | RRF_RT_REG_DWORD;
    DWORD type = 0;
    DWORD size = 0;
    auto get = [&](void* data) {
        return RegGetValueW(HKEY_CURRENT_USER, keyPath.c_str(), value, kTypes, &type, data, &size);
    };
    if (get(nullptr) != ERROR_SUCCESS) return std::nullopt;
    std::vector<BYTE> data(size + sizeof(wchar_t));
    size = static_cast<DWORD>(data.size());
    if (get(data.data()) != ERROR_SUCCESS) return std::nullopt;
    if (type == REG_DWORD) {
        DWORD number = 0;
        std::memcpy(&number, data.data(), sizeof number);
        return std::to_wstring(number);
    }
    data.resize(size);
    return StringData(data);
}

void SetRegistryString(std::wstring_view path, std::wstring_view name, std::wstring_view data) {
    const std::wstring keyPath(path);
    const std::wstring valueName(name);
    const std::wstring text(data);
    const LONG status =
        RegSetKeyValueW(HKEY_CURRENT_USER, keyPath.c_str(),
                        valueName.empty() ? nullptr : valueName.c_str(), REG_SZ, text.c_str(),
                        static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    if (status != ERROR_SUCCESS)
        Abort("cannot write " + Show(path) + " : " + Show(name) + " (error " +
             std::to_string(status) + ")");
}

// ---------------------------------------------------------------- windows

std::wstring ClassNameOf(HWND window) {
    wchar_t name[256];
    int length = GetClassNameW(window, name, static_cast<int>(std::size(name)));
    return std::wstring(name, length > 0 ? length : 0);
}

std::wstring TextOf(HWND window) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length))
        return {};
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                             SMTO_ABORTIFHUNG, 5000, &copied))
        return {};
    text.resize(std::min<std::size_t>(copied, length));
    return text;
}

RECT WindowRectOf(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    return rect;
}

bool IsShown(HWND window) { return IsWindowVisible(window) != FALSE; }

std::vector<HWND> TopLevelWindows(DWORD processId, std::wstring_view className, bool visibleOnly) {
    struct Search {
        DWORD processId;
        std::wstring_view className;
        bool visibleOnly;
        std::vector<HWND> found;
    } search{processId, className, visibleOnly, {}};
    EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<Search*>(param);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner != s->processId) return TRUE;
            if (s->visibleOnly && !IsWindowVisible(window)) return TRUE;
            if (!s->className.empty() && ClassNameOf(window) != s->className) return TRUE;
            s->found.push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND WaitForWindow(DWORD processId, std::wstring_view className, DWORD timeoutMs, bool visibleOnly) {
    HWND found = nullptr;
    WaitUntil(
        [&] {
            std::vector<HWND> windows = TopLevelWindows(processId, className, visibleOnly);
            found = windows.empty() ? nullptr : windows.front();
            return found != nullptr;
        },
        timeoutMs);
    return found;
}

HWND RequireWindow(DWORD processId, std::wstring_view className, DWORD timeoutMs, bool visibleOnly) {
    HWND window = WaitForWindow(processId, className, timeoutMs, visibleOnly);
    if (!window)
        Abort("no " + std::string(visibleOnly ? "visible " : "") + "window of class " + Show(className) +
             " in process " + std::to_string(processId) + " within " + std::to_string(timeoutMs) + " ms");
    return window;
}

HWND FindChild(HWND parent, int controlId) {
    if (HWND direct = GetDlgItem(parent, controlId)) return direct;
    struct Search {
        int id;
        HWND found;
    } search{controlId, nullptr};
    EnumChildWindows(
        parent,
        [](HWND child, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<Search*>(param);
            if (GetDlgCtrlID(child) != s->id) return TRUE;
            s->found = child;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND RequireChild(HWND parent, int controlId) {
    HWND child = FindChild(parent, controlId);
    if (!child)
        Abort("window of class " + Show(ClassNameOf(parent)) + " has no control with id " +
             std::to_string(controlId));
    return child;
}

void ClickButton(HWND button) { PostMessageW(button, BM_CLICK, 0, 0); }

bool SendClick(HWND button, DWORD timeoutMs) {
    DWORD_PTR result = 0;
    return SendMessageTimeoutW(button, BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, timeoutMs, &result) != 0;
}

void ClickWindow(HWND window) {
    RECT client{};
    GetClientRect(window, &client);
    LPARAM at = MAKELPARAM((client.right - client.left) / 2, (client.bottom - client.top) / 2);
    PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageW(window, WM_LBUTTONUP, 0, at);
}

void CloseWindow(HWND window) { PostMessageW(window, WM_CLOSE, 0, 0); }

std::vector<std::wstring> VisibleWindowClassesWhileRunning(const Process& process, DWORD timeoutMs) {
    std::vector<std::wstring> seen;
    Stopwatch watch;
    for (;;) {
        bool running = process.IsRunning();
        for (HWND window : TopLevelWindows(process.Id())) {
            std::wstring name = ClassNameOf(window);
            // A window that went away while it was looked at has no class name.
            if (name.empty()) continue;
            if (std::find(seen.begin(), seen.end(), name) == seen.end()) seen.push_back(name);
        }
        if (!running || watch.ElapsedMs() >= timeoutMs) return seen;
        Sleep(5);
    }
}

// ---------------------------------------------------------------- message boxes

std::optional<MessageBoxInfo> WaitForMessageBox(DWORD processId, DWORD timeoutMs) {
    HWND box = WaitForWindow(processId, kMessageBoxClass, timeoutMs);
    if (!box) return std::nullopt;
    MessageBoxInfo info;
    info.window = box;
    info.caption = TextOf(box);
    if (HWND text = FindChild(box, kMessageBoxTextId)) info.text = TextOf(text);
    return info;
}

void PressMessageBoxOk(HWND messageBox) {
    if (HWND ok = FindChild(messageBox, IDOK))
        ClickButton(ok);
    else
        PostMessageW(messageBox, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
}

// ---------------------------------------------------------------- files

std::optional<std::string> ReadFileBytes(std::wstring_view path) {
    std::wstring name(path);
    const UniqueFile file(CreateFileW(name.c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return std::nullopt;
    std::string bytes;
    char buffer[65536];
    DWORD read = 0;
    while (ReadFile(file.get(), buffer, sizeof buffer, &read, nullptr) && read > 0) bytes.append(buffer, read);
    return bytes;
}

bool WriteFileBytes(std::wstring_view path, std::string_view bytes) {
    std::wstring name(path);
    const UniqueFile file(
        CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    DWORD written = 0;
    return WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

bool FileExists(std::wstring_view path) {
    std::wstring name(path);
    return GetFileAttributesW(name.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::wstring MakeDirs(std::wstring_view path) {
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(std::wstring(path)), error);
    return std::wstring(path);
}

const std::wstring& TestTempDir() {
    RunState& state = State();
    std::lock_guard guard(state.lock);
    if (!state.tempDirReady) {
        state.tempDir = g_artifactsDir + L"\\tmp\\" + FromUtf8(state.testName);
        std::error_code error;
        std::filesystem::remove_all(std::filesystem::path(state.tempDir), error);
        std::filesystem::create_directories(std::filesystem::path(state.tempDir), error);
        state.tempDirReady = true;
    }
    return state.tempDir;
}

// ---------------------------------------------------------------- screenshots

std::wstring SaveScreenshot(std::wstring_view name, const RECT* rect) {
    RECT screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    RECT area = screen;
    if (rect && !IntersectRect(&area, rect, &screen)) return {};
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    if (width <= 0 || height <= 0) return {};

    HDC screenDc = GetDC(nullptr);
    HDC memoryDc = CreateCompatibleDC(screenDc);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;  // bottom-up, as a .bmp stores it
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    const UniqueGdiObject bitmap(
        CreateDIBSection(screenDc, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    std::wstring path;
    if (bitmap && bits) {
        HGDIOBJ previous = SelectObject(memoryDc, bitmap.get());
        BitBlt(memoryDc, 0, 0, width, height, screenDc, area.left, area.top, SRCCOPY | CAPTUREBLT);
        GdiFlush();
        const DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
        const DWORD imageSize = stride * static_cast<DWORD>(height);
        BITMAPFILEHEADER header{};
        header.bfType = 0x4D42;  // "BM"
        header.bfOffBits = sizeof header + sizeof info.bmiHeader;
        header.bfSize = header.bfOffBits + imageSize;
        info.bmiHeader.biSizeImage = imageSize;
        std::string bytes(reinterpret_cast<const char*>(&header), sizeof header);
        bytes.append(reinterpret_cast<const char*>(&info.bmiHeader), sizeof info.bmiHeader);
        bytes.append(static_cast<const char*>(bits), imageSize);
        SelectObject(memoryDc, previous);
        std::wstring file(name);
        std::replace_if(file.begin(), file.end(), [](wchar_t c) { return wcschr(L"\\/:*?\"<>|", c) != nullptr; }, L'_');
        path = g_artifactsDir + L"\\" + file + L".bmp";
        if (!WriteFileBytes(path, bytes)) path.clear();
    }
    DeleteDC(memoryDc);
    ReleaseDC(nullptr, screenDc);
    return path;
}

// ---------------------------------------------------------------- fake_tool.exe

std::wstring UseFreshFakeLog() {
    int number;
    {
        RunState& state = State();
        std::lock_guard guard(state.lock);
        number = ++state.fakeLogCount;
    }
    std::wstring path = TestTempDir() + L"\\fake_tool-" + std::to_wstring(number) + L".log";
    DeleteFileW(path.c_str());
    SetEnvironmentVariableW(L"DUOMIRA_FAKE_LOG", path.c_str());
    return path;
}

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

std::wstring UnescapeLogField(std::string_view field) {
    std::string bytes;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '%' && i + 2 < field.size() && HexDigit(field[i + 1]) >= 0 && HexDigit(field[i + 2]) >= 0) {
            bytes += static_cast<char>(HexDigit(field[i + 1]) * 16 + HexDigit(field[i + 2]));
            i += 2;
        } else {
            bytes += field[i];
        }
    }
    return FromUtf8(bytes);
}

}  // namespace

std::vector<FakeRecord> ReadFakeLog(std::wstring_view path) {
    std::vector<FakeRecord> records;
    std::optional<std::string> bytes = ReadFileBytes(path);
    if (!bytes) return records;
    std::optional<FakeRecord> current;
    std::string_view rest(*bytes);
    while (!rest.empty()) {
        std::size_t end = rest.find('\n');
        if (end == std::string_view::npos) break;  // a record still being written
        std::string_view line = rest.substr(0, end);
        rest.remove_prefix(end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        auto value = [&](std::string_view prefix) -> std::optional<std::wstring> {
            if (line.substr(0, prefix.size()) != prefix) return std::nullopt;
            return UnescapeLogField(line.substr(prefix.size()));
        };
        if (line == "[start]") {
            current = FakeRecord{};
        } else if (!current) {
            continue;
        } else if (line == "[end]") {
            records.push_back(std::move(*current));
            current.reset();
        } else if (auto text = value("cmdline=")) {
            current->commandLine = *text;
        } else if (auto dir = value("cwd=")) {
            current->workDir = *dir;
        } else if (auto exe = value("exe=")) {
            current->exe = *exe;
        } else if (auto noCwd = value("nocwd=")) {
            current->noCwdSwitch = *noCwd;
        } else if (auto searchPath = value("path=")) {
            current->searchPath = *searchPath;
        } else if (auto arg = value("arg=")) {
            current->args.push_back(*arg);
        }
    }
    return records;
}

std::vector<FakeRecord> WaitForFakeRecords(std::wstring_view path, std::size_t count,
                                           DWORD timeoutMs) {
    WaitUntil([&] { return ReadFakeLog(path).size() >= count; }, timeoutMs);
    Sleep(100);
    return ReadFakeLog(path);
}

}  // namespace duomira::wine

// ---------------------------------------------------------------- main

int wmain(int argc, wchar_t** argv) {
    using namespace duomira::wine;
    _setmode(_fileno(stdout), _O_BINARY);
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);

    testing::InitGoogleTest(&argc, argv);  // takes out the --gtest_* flags
    g_exeDir = ModuleDir();
    for (int i = 1; i < argc; ++i) {
        std::wstring arg = argv[i];
        auto next = [&]() -> std::wstring { return i + 1 < argc ? argv[++i] : L""; };
        if (arg == L"--exe-dir") g_exeDir = WindowsPath(next());
        else if (arg == L"--artifacts") g_artifactsDir = WindowsPath(next());
        else return Usage();
    }
    if (g_artifactsDir.empty()) {
        wchar_t temp[MAX_PATH + 1];
        DWORD length = GetTempPathW(MAX_PATH + 1, temp);
        g_artifactsDir = TrimTrailingSlashes(std::wstring(temp, length)) + L"\\duomira-wine";
    }
    MakeDirs(g_artifactsDir);

    // Last in line: it sees each failure after GoogleTest's printer has shown it.
    testing::UnitTest::GetInstance()->listeners().Append(new WineTestListener);
    return RUN_ALL_TESTS();
}
