// The Win32 test driver: GoogleTest tests with helpers that start
// Duomira.exe and watch it from outside (processes, windows, the registry,
// files, screenshots). Runs under Wine, one group (test suite) per call:
//
//   duomira_driver.exe --gtest_filter=GROUP.* --exe-dir DIR --artifacts DIR
//   duomira_driver.exe --gtest_list_tests
//
// Writing a test (GoogleTest; tests/wine/test_GROUP.cpp holds the tests of
// group GROUP, which CTest runs as wine_GROUP):
//   TEST(group, name) { ... }
//   EXPECT_TRUE(cond), EXPECT_EQ(a, b)  a check: on failure the test is marked
//       failed and goes on; `<< text` adds to the failure message
//   ASSERT_TRUE(cond), ASSERT_EQ(a, b)  a requirement: on failure the whole test
//       ends, also from inside a helper or a lambda (the driver throws every
//       fatal failure); where ASSERT does not compile (a function that returns
//       a value, a constructor) write `if (!cond) Abort(message);`
//   SCOPED_TRACE(text)  names the case of a table-driven test in its failures
//   Note(text)          a line of information in the output, not a failure
//   Abort(message)      fails and ends the test; the helpers below that can't
//       go on (Require*, StartProcess, StartWaiting, ...) end it the same way
// Compare an unsigned value (DWORD, size_t) with an unsigned literal (0u), and
// brace an EXPECT_* under an `if` (both warn otherwise).
//
// --exe-dir holds Duomira.exe and the fake_*.exe programs (default: the
// driver's own folder); --artifacts receives screenshots, per-test temporary
// folders and logs (default: %TEMP%\duomira-wine). A Unix path "/x/y" is taken
// as "Z:\x\y".
//
// Each test runs from a clean state: no Duomira.exe or fake_*.exe process
// left over, no key HKCU\Software\VB and VBA Program Settings\Duomira, and no
// DUOMIRA_FAKE_LOG in the driver's environment. A failed test leaves a
// screenshot FAIL-group.name.bmp; a test that runs longer than kTestTimeoutMs
// ends the whole run as failed.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <source_location>
#include <sstream>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "platform/unique_handle_win.h"

namespace duomira::wine {

// The program's own handle owners, for the driver and the tests alike.
using duomira::UniqueFile;
using duomira::UniqueGdiObject;
using duomira::UniqueKernelHandle;
using duomira::UniqueProcessInformation;
using duomira::UniqueRegKey;

inline constexpr DWORD kTestTimeoutMs = 90'000;

// ---------------------------------------------------------------- text

std::string ToUtf8(std::wstring_view text);
std::wstring FromUtf8(std::string_view text);
// Text in code page 932, as a Japanese system's conversions write it;
// nullopt when a character has no representation there.
std::optional<std::string> Cp932(std::wstring_view text);
std::wstring FromCp932(std::string_view bytes);
// Text in the OEM code page, the one the command interpreter reads a script
// in, with the system's ordinary replacement for what it lacks; and back.
std::string ToOemCodePage(std::wstring_view text);
std::wstring FromOemCodePage(std::string_view bytes);

// A value as a message shows it: strings quoted (wide ones as UTF-8),
// nullopt as "nullopt", numbers and bools plainly.
std::string Show(std::wstring_view text);
std::string Show(std::string_view text);
inline std::string Show(const std::wstring& text) { return Show(std::wstring_view(text)); }
inline std::string Show(const wchar_t* text) { return Show(std::wstring_view(text)); }
inline std::string Show(const std::string& text) { return Show(std::string_view(text)); }
inline std::string Show(const char* text) { return Show(std::string_view(text)); }
inline std::string Show(bool value) { return value ? "true" : "false"; }
inline std::string Show(std::nullopt_t) { return "nullopt"; }
template <typename T>
    requires std::is_arithmetic_v<T>
std::string Show(T value) {
    std::ostringstream out;
    out << +value;
    return out.str();
}
template <typename T>
std::string Show(const std::optional<T>& value) {
    return value ? Show(*value) : std::string("nullopt");
}
template <typename T>
std::string Show(const std::vector<T>& values) {
    std::string out = "{";
    for (std::size_t i = 0; i < values.size(); ++i) out += (i ? ", " : "") + Show(values[i]);
    return out + "}";
}

// ---------------------------------------------------------------- failures

// Records a fatal failure at the caller with message and ends the current
// test. Never returns (the driver throws the failure).
[[noreturn]] void Abort(const std::string& message,
                        std::source_location where = std::source_location::current());
// Adds a line to the output of the current test without failing it.
void Note(const std::string& message);

// ---------------------------------------------------------------- run context

const std::wstring& ExeDir();        // no trailing backslash
const std::wstring& ArtifactsDir();  // no trailing backslash
std::string CurrentTestName();       // "group.name"

// ExeDir()\name, e.g. ExePath(L"fake_tool.exe").
std::wstring ExePath(std::wstring_view fileName);
// ExeDir()\fake_tool.exe, the stand-in tool.
inline std::wstring FakeTool() { return ExePath(L"fake_tool.exe"); }
// "text" in double quotes, nothing escaped.
std::wstring Quoted(std::wstring_view text);

// ---------------------------------------------------------------- time

class Stopwatch {
  public:
    Stopwatch();
    void Restart();
    double ElapsedMs() const;

  private:
    LARGE_INTEGER start_{};
};

// Polls predicate every pollMs until it holds (true) or timeoutMs passed (false).
bool WaitUntil(const std::function<bool()>& predicate, DWORD timeoutMs, DWORD pollMs = 10);

// ---------------------------------------------------------------- processes

// Owns a started process. Move-only; the destructor ends the process if it is
// still running, unless Release() was called.
class Process {
  public:
    Process() = default;
    Process(HANDLE process, DWORD id) : handle_(process), id_(id) {}
    Process(Process&& other) noexcept;
    Process& operator=(Process&& other) noexcept;
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;
    ~Process();

    bool Valid() const { return static_cast<bool>(handle_); }
    DWORD Id() const { return id_; }
    HANDLE Handle() const { return handle_.get(); }

    bool IsRunning() const;
    // true when the process has ended within timeoutMs.
    bool WaitForExit(DWORD timeoutMs) const;
    // nullopt while it runs.
    std::optional<DWORD> ExitCode() const;
    void Kill();
    void Release();  // keep it running after this owner is gone

  private:
    void Close();
    UniqueKernelHandle handle_;
    DWORD id_ = 0;
    bool killOnDestroy_ = true;
};

// Starts a program from exactly this command line (CreateProcessW with no
// application name, so the system splits it like any other start), in
// workDir (empty: the driver's current directory). nullopt with the error in
// *error when the start fails.
std::optional<Process> TryStartProcess(std::wstring_view commandLine, std::wstring_view workDir = {},
                                       DWORD* error = nullptr);
// The same; a failed start ends the test.
Process StartProcess(std::wstring_view commandLine, std::wstring_view workDir = {});

// "<ExeDir>\Duomira.exe" followed by one blank and argumentText, exactly as
// given (no blank at all when argumentText is empty).
std::wstring DuomiraCommandLine(std::wstring_view argumentText);
Process StartDuomira(std::wstring_view argumentText, std::wstring_view workDir = {});

// A first start waiting for its partner, started in the test's own folder:
// its main window is up and FileName holds the argument text.
struct WaitingStart {
    Process process;
    HWND main = nullptr;  // the main window
};
WaitingStart StartWaiting(std::wstring_view argumentText = L"C:\\work\\a.txt");

// Ends every process whose file name is exeName (case-insensitive); returns how many.
int KillProcessesNamed(std::wstring_view exeName);
// Ids of the running processes whose file name is exeName.
std::vector<DWORD> ProcessIdsNamed(std::wstring_view exeName);

struct ProcessEntry {
    DWORD id;
    DWORD parent;
    std::wstring exe;  // file name only
};
// Every running process, from one snapshot.
std::vector<ProcessEntry> RunningProcesses();
// Ends the process and waits (at most 5 s) for it; false when it can't be opened.
bool KillProcessById(DWORD id);

// An environment variable of the driver; empty when unset.
std::wstring EnvironmentVariable(const wchar_t* name);

// Puts a folder in front of the driver's PATH, which started programs
// inherit, while it lives.
class PathPrepended {
  public:
    explicit PathPrepended(std::wstring_view folder);
    ~PathPrepended();
    PathPrepended(const PathPrepended&) = delete;
    PathPrepended& operator=(const PathPrepended&) = delete;
    const std::wstring& Original() const { return original_; }

  private:
    std::wstring original_;
};

// ---------------------------------------------------------------- settings in the registry

// HKCU\Software\VB and VBA Program Settings\Duomira and its section "Settings".
inline constexpr wchar_t kAppKeyPath[] = L"Software\\VB and VBA Program Settings\\Duomira";
inline constexpr wchar_t kSettingsKeyPath[] =
    L"Software\\VB and VBA Program Settings\\Duomira\\Settings";

// A REG_SZ value; nullopt when the key or value is absent. A value of another
// type fails the test (and gives nullopt).
std::optional<std::wstring> ReadStoredSetting(std::wstring_view name);
// Waits until the stored value under key is exactly value.
bool WaitForSetting(std::wstring_view key, std::wstring_view value, DWORD timeoutMs = 3000);
void WriteStoredSetting(std::wstring_view name, std::wstring_view value);
// A value of any type with raw data, e.g. REG_DWORD or REG_BINARY.
void WriteStoredSettingRaw(std::wstring_view name, DWORD type, const void* data, DWORD size);
void DeleteStoredSetting(std::wstring_view name);
// Name -> value of every REG_SZ in the section (others as "<type N>").
std::vector<std::pair<std::wstring, std::wstring>> AllStoredSettings();
bool SettingsKeyExists();
bool AppKeyExists();
void DeleteAppKey();  // the whole HKCU\...\Duomira key with its section
// Sets an open key's access list (the key opened with WRITE_DAC) to one entry:
// everyone may do what mask allows.
bool GrantEveryone(HKEY key, ACCESS_MASK mask);

// Any key under HKCU (path relative to it).
bool RegistryKeyExists(std::wstring_view path);
// A value under HKCU\path (name empty: the key's default value): REG_SZ as
// text, REG_DWORD as its decimal number; nullopt when absent or of another type.
std::optional<std::wstring> RegistryValue(std::wstring_view path, std::wstring_view name = {});
// Writes a REG_SZ value, creating the key if needed; a failure ends the test.
void SetRegistryString(std::wstring_view path, std::wstring_view name, std::wstring_view data);

// ---------------------------------------------------------------- windows

std::wstring ClassNameOf(HWND window);
// WM_GETTEXT, with a timeout, so a hung target can't hang the driver.
std::wstring TextOf(HWND window);
RECT WindowRectOf(HWND window);  // screen pixels
bool IsShown(HWND window);       // IsWindowVisible

// Top-level windows of a process, optionally of one class ("" for any).
std::vector<HWND> TopLevelWindows(DWORD processId, std::wstring_view className = {},
                                  bool visibleOnly = true);
// Polls for a top-level window of the process and class; nullptr on timeout.
HWND WaitForWindow(DWORD processId, std::wstring_view className, DWORD timeoutMs,
                   bool visibleOnly = true);
// The same, but ends the test with a message on timeout.
HWND RequireWindow(DWORD processId, std::wstring_view className, DWORD timeoutMs,
                   bool visibleOnly = true);
// A descendant with this control id (GetDlgItem, then all descendants); nullptr if none.
HWND FindChild(HWND parent, int controlId);
HWND RequireChild(HWND parent, int controlId);

// Posts BM_CLICK: the button reacts as to a mouse click, and the driver does
// not wait for the handler (which may open a modal window).
void ClickButton(HWND button);
// Sends BM_CLICK and waits until the click has been handled (at most
// timeoutMs); false on timeout. Not for buttons that open a modal window.
bool SendClick(HWND button, DWORD timeoutMs = 5000);
// Posts WM_LBUTTONDOWN/UP at the centre of the window (labels, images).
void ClickWindow(HWND window);
// Posts WM_CLOSE.
void CloseWindow(HWND window);

// While process runs (at most timeoutMs), samples its visible top-level
// windows; returns the class names of every one that was seen.
std::vector<std::wstring> VisibleWindowClassesWhileRunning(const Process& process, DWORD timeoutMs);

// ---------------------------------------------------------------- message boxes

inline constexpr wchar_t kMessageBoxClass[] = L"#32770";
inline constexpr int kMessageBoxTextId = 0xFFFF;

struct MessageBoxInfo {
    HWND window = nullptr;
    std::wstring caption;
    std::wstring text;
};

// The first visible message box of the process within timeoutMs.
std::optional<MessageBoxInfo> WaitForMessageBox(DWORD processId, DWORD timeoutMs);
// Clicks its OK button (IDOK).
void PressMessageBoxOk(HWND messageBox);

// ---------------------------------------------------------------- files

std::optional<std::string> ReadFileBytes(std::wstring_view path);
bool WriteFileBytes(std::wstring_view path, std::string_view bytes);
bool FileExists(std::wstring_view path);
// ArtifactsDir()\tmp\group.name, emptied at its first use in each test.
const std::wstring& TestTempDir();
// Creates the folder path (and its parents); returns it.
std::wstring MakeDirs(std::wstring_view path);

// ---------------------------------------------------------------- screenshots

// Saves the whole screen (or only rect) as a 24-bit ArtifactsDir()\name.bmp;
// the runner script turns it into a .png. Returns the path written.
std::wstring SaveScreenshot(std::wstring_view name, const RECT* rect = nullptr);

// ---------------------------------------------------------------- fake_tool.exe

// fake_tool.exe appends one record per start to the file named by the
// environment variable DUOMIRA_FAKE_LOG and exits 0. The log is UTF-8, one
// field per line:
//
//   [start]
//   cmdline=<GetCommandLineW(), exactly>
//   cwd=<its working directory>
//   exe=<its own file>
//   nocwd=<its NoDefaultCurrentDirectoryInExePath value, empty when unset>
//   path=<its PATH>
//   argc=<number of arguments as CommandLineToArgvW splits the command line>
//   arg=<argument 0>
//   arg=<argument 1>
//   ...
//   [end]
//
// In each text '%' and every character below U+0020 are written as %XX (two
// upper-case hex digits); nothing else is escaped.
struct FakeRecord {
    std::wstring commandLine;
    std::wstring workDir;
    std::wstring exe;
    std::wstring noCwdSwitch;
    std::wstring searchPath;  // PATH
    std::vector<std::wstring> args;
};

// Makes a fresh log file path in TestTempDir() (no file yet) and sets
// DUOMIRA_FAKE_LOG to it in the driver's environment, which every process
// started afterwards inherits. Returns the path.
std::wstring UseFreshFakeLog();
// The complete records of the log, oldest first (none when there is no file).
std::vector<FakeRecord> ReadFakeLog(std::wstring_view path);
// The records once at least count of them are there (or timeoutMs passed),
// read again a moment later, so that an unwanted further start shows too.
std::vector<FakeRecord> WaitForFakeRecords(std::wstring_view path, std::size_t count,
                                           DWORD timeoutMs = 5000);

}  // namespace duomira::wine
