// bench_driver.exe: times Duomira.exe under Wine against baseline programs
// that do the least the same job needs, side by side in one run (second starts
// alternate with the baseline's, first starts and baseline windows go in an
// order shuffled each round, so that the load of the machine falls on all alike).
//
//   bench_driver.exe --exe-dir DIR --bench-dir DIR [--runs N] [--idle-seconds S]
//   bench_driver.exe --exe-dir DIR --bench-dir DIR [--runs N] --compare NAME.exe[:VARIABLE=VALUE][@stored] ...
//
// --exe-dir holds Duomira.exe; --bench-dir the benchmark's own programs
// (bench_tool.exe, baseline_launcher.exe, baseline_window.exe). Unix paths
// "/x/y" are taken as "Z:\x\y". Prints one table; exit code 0 when every
// measurement could be taken (whether or not it meets its goal). With
// --compare it times only first starts, of each program named (in --exe-dir,
// run with the variable set, with a tool and its path stored or nothing),
// beside the baseline window, and prints each one's median.
#include <windows.h>

#include <psapi.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace {

// ---------------------------------------------------------------- basics

std::wstring g_exeDir;
std::wstring g_benchDir;

double NowMs() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return 1000.0 * static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

std::string ToUtf8(std::wstring_view text) {
    if (text.empty()) return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                         nullptr, nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size, nullptr,
                        nullptr);
    return out;
}

void Print(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

std::string Format(const char* format, double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, value);
    return buffer;
}

[[noreturn]] void Die(const std::string& message) {
    Print("bench_driver: " + message + "\n");
    ExitProcess(2);
}

std::wstring WindowsPath(std::wstring path) {
    if (!path.empty() && path.front() == L'/') path = L"Z:" + path;
    std::replace(path.begin(), path.end(), L'/', L'\\');
    while (path.size() > 3 && path.back() == L'\\') path.pop_back();
    return path;
}

// ---------------------------------------------------------------- processes

struct Process {
    HANDLE handle = nullptr;
    DWORD id = 0;

    bool Running() const { return handle && WaitForSingleObject(handle, 0) == WAIT_TIMEOUT; }
    bool WaitExit(DWORD ms) const { return handle && WaitForSingleObject(handle, ms) == WAIT_OBJECT_0; }
    void End() {
        if (!handle) return;
        if (Running()) {
            TerminateProcess(handle, 1);
            WaitForSingleObject(handle, 5000);
        }
        CloseHandle(handle);
        handle = nullptr;
    }
};

Process Start(std::wstring commandLine) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &info))
        Die("cannot start " + ToUtf8(commandLine) + " (error " + std::to_string(GetLastError()) + ")");
    CloseHandle(info.hThread);
    return {info.hProcess, info.dwProcessId};
}

std::wstring Quoted(const std::wstring& text) { return L"\"" + text + L"\""; }
std::wstring Duomira() { return g_exeDir + L"\\Duomira.exe"; }
std::wstring BenchExe(const wchar_t* name) { return g_benchDir + L"\\" + name; }

// The visible top-level window of this class that belongs to the process.
HWND VisibleWindowOf(DWORD processId, const wchar_t* className) {
    for (HWND window = FindWindowExW(nullptr, nullptr, className, nullptr); window;
         window = FindWindowExW(nullptr, window, className, nullptr)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == processId && IsWindowVisible(window)) return window;
    }
    return nullptr;
}

// Polls every millisecond; the time at which the window was first seen.
std::optional<double> WaitForVisibleWindow(const Process& process, const wchar_t* className, DWORD timeoutMs) {
    const double start = NowMs();
    while (NowMs() - start < timeoutMs) {
        if (VisibleWindowOf(process.id, className)) return NowMs();
        if (!process.Running()) return std::nullopt;
        Sleep(1);
    }
    return std::nullopt;
}

// Before every timed start: the processes of the run before (a tool that has
// signalled, a window process that is closing) get time to end, so that no
// start pays for the one before it.
void Settle() { Sleep(60); }

// ---------------------------------------------------------------- settings

constexpr wchar_t kAppKey[] = L"Software\\VB and VBA Program Settings\\Duomira";
constexpr wchar_t kSettingsKey[] = L"Software\\VB and VBA Program Settings\\Duomira\\Settings";

void WriteSetting(const wchar_t* name, const std::wstring& value) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        Die("cannot create the settings key");
    RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
}

std::wstring ReadSetting(const wchar_t* name) {
    wchar_t value[1024] = {};
    DWORD size = sizeof value - sizeof(wchar_t);
    if (RegGetValueW(HKEY_CURRENT_USER, kSettingsKey, name, RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS)
        return L"<none>";
    return value;
}

void ResetSettings() { RegDeleteTreeW(HKEY_CURRENT_USER, kAppKey); }

// ---------------------------------------------------------------- statistics

struct Stats {
    std::vector<double> values;

    void Add(double value) { values.push_back(value); }
    bool Empty() const { return values.empty(); }
    double Quantile(double q) const {
        if (values.empty()) return NAN;
        std::vector<double> sorted = values;
        std::sort(sorted.begin(), sorted.end());
        // Nearest rank.
        size_t rank = static_cast<size_t>(std::ceil(q * static_cast<double>(sorted.size())));
        rank = std::clamp<size_t>(rank, 1, sorted.size());
        return sorted[rank - 1];
    }
    double Median() const {
        if (values.empty()) return NAN;
        std::vector<double> sorted = values;
        std::sort(sorted.begin(), sorted.end());
        const size_t n = sorted.size();
        return n % 2 ? sorted[n / 2] : (sorted[n / 2 - 1] + sorted[n / 2]) / 2;
    }
};

// ---------------------------------------------------------------- 1. second start -> tool started

constexpr wchar_t kToolEvent[] = L"DuomiraBenchToolStarted";
constexpr wchar_t kFirstPath[] = L"C:\\bench\\old\\list.txt";
constexpr wchar_t kSecondPath[] = L"C:\\bench\\new\\list.txt";

// From the start of the process to the tool's signal; ends the benchmark,
// saying which start failed how, when the tool gives no signal or the
// process does not end.
double TimeToTool(const char* who, const std::wstring& commandLine, HANDLE toolStarted) {
    ResetEvent(toolStarted);
    const double start = NowMs();
    Process process = Start(commandLine);
    const bool signalled = WaitForSingleObject(toolStarted, 10000) == WAIT_OBJECT_0;
    const double end = NowMs();
    const bool ended = process.WaitExit(10000);
    DWORD exitCode = STILL_ACTIVE;
    GetExitCodeProcess(process.handle, &exitCode);
    process.End();
    if (!signalled || !ended)
        Die(std::string(who) + ": " + (signalled ? "" : "the tool did not start within 10 s; ") +
            (ended ? "the process ended with " + std::to_string(exitCode) : std::string("the process did not end")));
    return end - start;
}

// ---------------------------------------------------------------- 5. idle cost, through /proc

// The Unix process of a Wine process, found by a text unique to its command
// line (Wine shows the Windows command line as the Unix one).
std::optional<std::wstring> UnixProcDir(const std::wstring& marker) {
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW(L"Z:\\proc\\*", &entry);
    if (find == INVALID_HANDLE_VALUE) return std::nullopt;
    std::optional<std::wstring> found;
    const std::string wanted = ToUtf8(marker);
    do {
        if (!std::iswdigit(entry.cFileName[0])) continue;
        const std::wstring dir = std::wstring(L"Z:\\proc\\") + entry.cFileName;
        HANDLE file = CreateFileW((dir + L"\\cmdline").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) continue;
        char buffer[8192];
        DWORD read = 0;
        std::string text;
        if (ReadFile(file, buffer, sizeof buffer, &read, nullptr)) text.assign(buffer, read);
        CloseHandle(file);
        if (text.find(wanted) != std::string::npos) found = dir;
    } while (!found && FindNextFileW(find, &entry));
    FindClose(find);
    return found;
}

std::string ReadSmallFile(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return {};
    std::string text;
    char buffer[8192];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0) text.append(buffer, read);
    CloseHandle(file);
    return text;
}

long long FieldOf(const std::string& status, const char* name) {
    const size_t at = status.find(name);
    if (at == std::string::npos) return -1;
    return std::atoll(status.c_str() + at + std::strlen(name));
}

// Context switches of every thread of the Unix process: each time one of its
// threads went to sleep (voluntary) or was put aside (involuntary). A thread
// that wakes up and goes back to sleep counts one voluntary switch.
struct Wakeups {
    long long all = 0;
    long long mainThread = 0;
    int threads = 0;
};

std::optional<Wakeups> CountSwitches(const std::wstring& procDir) {
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW((procDir + L"\\task\\*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) return std::nullopt;
    Wakeups count;
    const std::wstring pid = procDir.substr(procDir.find_last_of(L'\\') + 1);
    do {
        if (!std::iswdigit(entry.cFileName[0])) continue;
        const std::string status = ReadSmallFile(procDir + L"\\task\\" + entry.cFileName + L"\\status");
        const long long voluntary = FieldOf(status, "voluntary_ctxt_switches:");
        const long long involuntary = FieldOf(status, "nonvoluntary_ctxt_switches:");
        if (voluntary < 0) continue;
        count.all += voluntary + std::max(0LL, involuntary);
        if (pid == entry.cFileName) count.mainThread = voluntary + std::max(0LL, involuntary);
        ++count.threads;
    } while (FindNextFileW(find, &entry));
    FindClose(find);
    return count;
}

double CpuMs(HANDLE process) {
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) return NAN;
    auto ms = [](const FILETIME& t) {
        return static_cast<double>((static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 10000.0;
    };
    return ms(kernel) + ms(user);
}

struct IdleCost {
    double cpuMs = NAN;          // GetProcessTimes
    double procCpuMs = NAN;      // utime + stime of the Unix process
    std::optional<Wakeups> wakeups;
    PROCESS_MEMORY_COUNTERS_EX memory{};
    double privateKiB = NAN;     // resident pages the process has written to (Private_Dirty)
    double privateCleanKiB = NAN;  // resident file pages mapped by it alone (Private_Clean)
};

// Wine leaves PrivateUsage at 0. The private working set of the Unix process
// is what it has written to: its heap and stacks, and the pages of the
// program and of Wine's DLLs that were changed as they were loaded. Its
// unchanged file pages (fonts, DLL images) can be dropped and read again, as
// Windows' shareable pages can, and are counted apart.
void ReadPrivateResident(const std::wstring& procDir, IdleCost& cost) {
    const std::string rollup = ReadSmallFile(procDir + L"\\smaps_rollup");
    const long long clean = FieldOf(rollup, "Private_Clean:");
    const long long dirty = FieldOf(rollup, "Private_Dirty:");
    if (dirty >= 0) cost.privateKiB = static_cast<double>(dirty);
    if (clean >= 0) cost.privateCleanKiB = static_cast<double>(clean);
}

// utime + stime from /proc/PID/stat, in ms (clock ticks of 10 ms).
double ProcCpuMs(const std::wstring& procDir) {
    const std::string stat = ReadSmallFile(procDir + L"\\stat");
    const size_t close = stat.rfind(')');
    if (close == std::string::npos) return NAN;
    // Fields after the command name: state is field 3; utime 14, stime 15.
    std::vector<std::string> fields;
    size_t at = close + 2;
    while (at < stat.size()) {
        const size_t end = stat.find(' ', at);
        fields.push_back(stat.substr(at, end == std::string::npos ? std::string::npos : end - at));
        if (end == std::string::npos) break;
        at = end + 1;
    }
    if (fields.size() < 13) return NAN;
    return (std::atof(fields[11].c_str()) + std::atof(fields[12].c_str())) * 10.0;
}

IdleCost MeasureIdle(const Process& process, const std::wstring& marker, DWORD seconds) {
    IdleCost cost;
    cost.memory.cb = sizeof cost.memory;
    GetProcessMemoryInfo(process.handle, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&cost.memory),
                         sizeof cost.memory);
    const std::optional<std::wstring> procDir = UnixProcDir(marker);
    if (procDir) ReadPrivateResident(*procDir, cost);
    const double cpuBefore = CpuMs(process.handle);
    const double procBefore = procDir ? ProcCpuMs(*procDir) : NAN;
    const std::optional<Wakeups> before = procDir ? CountSwitches(*procDir) : std::nullopt;
    Sleep(seconds * 1000);
    const std::optional<Wakeups> after = procDir ? CountSwitches(*procDir) : std::nullopt;
    cost.cpuMs = CpuMs(process.handle) - cpuBefore;
    cost.procCpuMs = procDir ? ProcCpuMs(*procDir) - procBefore : NAN;
    if (before && after)
        cost.wakeups = Wakeups{after->all - before->all, after->mainThread - before->mainThread, after->threads};
    return cost;
}

// ---------------------------------------------------------------- 4. imports

// The DLLs named in the import table of a PE file.
std::vector<std::string> ImportedDlls(const std::wstring& path) {
    const std::string image = ReadSmallFile(path);
    std::vector<std::string> dlls;
    auto at = [&](size_t offset, size_t size) { return offset + size <= image.size(); };
    if (!at(0, sizeof(IMAGE_DOS_HEADER))) return dlls;
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(image.data());
    if (!at(dos->e_lfanew, sizeof(IMAGE_NT_HEADERS64))) return dlls;
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS64*>(image.data() + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    const auto* sections = IMAGE_FIRST_SECTION(nt);
    auto fileOffset = [&](DWORD rva) -> std::optional<size_t> {
        for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i) {
            const IMAGE_SECTION_HEADER& s = sections[i];
            if (rva >= s.VirtualAddress && rva < s.VirtualAddress + std::max(s.Misc.VirtualSize, s.SizeOfRawData))
                return rva - s.VirtualAddress + s.PointerToRawData;
        }
        return std::nullopt;
    };
    std::optional<size_t> offset = fileOffset(directory.VirtualAddress);
    while (offset && at(*offset, sizeof(IMAGE_IMPORT_DESCRIPTOR))) {
        const auto* import = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(image.data() + *offset);
        if (import->Name == 0) break;
        if (std::optional<size_t> name = fileOffset(import->Name); name && at(*name, 1))
            dlls.emplace_back(image.c_str() + *name);
        *offset += sizeof(IMAGE_IMPORT_DESCRIPTOR);
    }
    return dlls;
}

// ---------------------------------------------------------------- report

struct Row {
    std::string measure, duomira, baseline, ratio, goal, verdict;
};

std::string Verdict(bool met) { return met ? "met" : "MISSED"; }

void PrintTable(const std::vector<Row>& rows) {
    const Row header{"measure", "Duomira", "baseline", "ratio", "goal", ""};
    size_t widths[5] = {};
    auto widen = [&](const Row& row) {
        const std::string* cells[] = {&row.measure, &row.duomira, &row.baseline, &row.ratio, &row.goal};
        for (int i = 0; i < 5; ++i) widths[i] = std::max(widths[i], cells[i]->size());
    };
    widen(header);
    for (const Row& row : rows) widen(row);
    auto line = [&](const Row& row) {
        const std::string* cells[] = {&row.measure, &row.duomira, &row.baseline, &row.ratio, &row.goal};
        std::string text = "|";
        for (int i = 0; i < 5; ++i) text += " " + *cells[i] + std::string(widths[i] - cells[i]->size(), ' ') + " |";
        return text + " " + row.verdict + "\n";
    };
    std::string text = line(header) + "|";
    for (size_t width : widths) text += std::string(width + 2, '-') + "|";
    text += "\n";
    for (const Row& row : rows) text += line(row);
    Print(text);
}

std::string Ms(const Stats& stats) {
    return Format("%.1f", stats.Median()) + " (p95 " + Format("%.1f", stats.Quantile(0.95)) + ")";
}

std::string MiB(SIZE_T bytes) { return Format("%.2f MiB", static_cast<double>(bytes) / (1024.0 * 1024.0)); }

// ---------------------------------------------------------------- first starts

// A program timed from its start to its main window turning visible: the
// baseline window, or Duomira.exe (or a build beside it) as a first start.
struct FirstStart {
    std::wstring label;
    std::wstring exe;              // in --exe-dir; empty for the baseline window
    std::wstring variable, value;  // an environment variable set for its starts
    bool stored = false;           // a tool chosen and its path stored before each start
    Stats shown;
};

FirstStart BaselineWindow() { return {L"baseline", L"", L"", L"", false, {}}; }

// Times every entry once a round, in an order shuffled each round. A start
// is slowed by what ran just before it (a window that came up moments ago
// still has work going on in Wine's server, its desktop and the X server):
// every window is left up alike before it is ended, and no entry may always
// follow the same one. A Duomira instance is ended by clearing FileName; how
// long it takes to go is added to clearToGone.
void TimeFirstStarts(std::vector<FirstStart>& entries, int runs, int warmups, Stats& clearToGone) {
    std::vector<size_t> order(entries.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::mt19937 shuffle(20261208);  // the same orders in every run of the benchmark
    for (int run = -warmups; run < runs; ++run) {
        std::shuffle(order.begin(), order.end(), shuffle);
        for (size_t index : order) {
            FirstStart& entry = entries[index];
            const bool baseline = entry.exe.empty();
            ResetSettings();
            if (entry.stored) {
                WriteSetting(L"SelectExe", L"0");
                WriteSetting(L"WinDiffPath", BenchExe(L"bench_tool.exe"));
            }
            if (!entry.variable.empty()) SetEnvironmentVariableW(entry.variable.c_str(), entry.value.c_str());
            Settle();
            const wchar_t* className = baseline ? L"DuomiraBenchBaseline" : L"DuomiraMainWindow";
            const double start = NowMs();
            Process process = Start(baseline ? Quoted(BenchExe(L"baseline_window.exe"))
                                             : Quoted(g_exeDir + L"\\" + entry.exe) + L" C:\\bench\\first-" +
                                                   std::to_wstring(run + warmups) + L".txt");
            const std::optional<double> shown = WaitForVisibleWindow(process, className, 10000);
            if (!entry.variable.empty()) SetEnvironmentVariableW(entry.variable.c_str(), nullptr);
            if (!shown) Die(ToUtf8(entry.label) + ": the window did not come up within 10 s");
            // Let the instance reach its wait, at another point of its timer's period each run.
            Sleep(150 + static_cast<DWORD>(((run + warmups) * 37) % 500));
            if (baseline) {
                if (HWND window = VisibleWindowOf(process.id, className)) PostMessageW(window, WM_CLOSE, 0, 0);
                process.WaitExit(5000);
            } else {
                const double cleared = NowMs();
                WriteSetting(L"FileName", L"");
                const bool gone = process.WaitExit(5000);
                if (!gone) Die(ToUtf8(entry.label) + ": the instance did not end within 5 s of FileName being cleared");
                if (run >= 0) clearToGone.Add(NowMs() - cleared);
            }
            process.End();
            if (run >= 0) entry.shown.Add(*shown - start);
        }
    }
}

// --compare: the first starts of several builds, or of one build under
// several environment settings, against the baseline window in one run.
// Comparing builds in separate runs does not resolve a few milliseconds: the
// machine's state moves every figure by more.
int CompareFirstStarts(std::vector<FirstStart> entries, int runs) {
    entries.insert(entries.begin(), BaselineWindow());
    Stats clearToGone;
    TimeFirstStarts(entries, runs, 3, clearToGone);
    Print("first start -> main window visible, " + std::to_string(runs) + " rounds, order shuffled each round\n");
    const double base = entries[0].shown.Median();
    for (const FirstStart& entry : entries) {
        Print("  " + ToUtf8(entry.label) + ": " + Ms(entry.shown) + " ms, " +
              Format("%.3fx", entry.shown.Median() / base) + "\n");
    }
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    int runs = 41;
    DWORD idleSeconds = 10;
    std::vector<FirstStart> variants;
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        std::wstring value = i + 1 < argc ? argv[i + 1] : L"";
        if (arg == L"--exe-dir") g_exeDir = WindowsPath(value), ++i;
        else if (arg == L"--bench-dir") g_benchDir = WindowsPath(value), ++i;
        else if (arg == L"--runs") runs = std::max(1, _wtoi(value.c_str())), ++i;
        else if (arg == L"--idle-seconds") idleSeconds = static_cast<DWORD>(std::max(1, _wtoi(value.c_str()))), ++i;
        else if (arg == L"--compare") {
            // NAME.exe[:VARIABLE=VALUE][@stored]
            FirstStart entry{value, L"", L"", L"", false, {}};
            if (value.size() > 7 && value.compare(value.size() - 7, 7, L"@stored") == 0) {
                entry.stored = true;
                value.resize(value.size() - 7);
            }
            const size_t colon = value.find(L':');
            entry.exe = value.substr(0, colon);
            if (entry.exe.empty()) Die("--compare NAME.exe[:VARIABLE=VALUE][@stored]");
            if (colon != std::wstring::npos) {
                const size_t equals = value.find(L'=', colon);
                if (equals == std::wstring::npos) Die("--compare NAME.exe[:VARIABLE=VALUE][@stored]");
                entry.variable = value.substr(colon + 1, equals - colon - 1);
                entry.value = value.substr(equals + 1);
            }
            variants.push_back(entry);
            ++i;
        }
        else Die("usage: bench_driver.exe --exe-dir DIR --bench-dir DIR [--runs N] [--idle-seconds S]\n"
                 "       [--compare NAME.exe[:VARIABLE=VALUE][@stored] ...]");
    }
    if (g_exeDir.empty() || g_benchDir.empty()) Die("--exe-dir and --bench-dir are needed");
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);

    // A user's session always has its desktop (Explorer, where the picks are
    // made, runs in it). Wine starts its desktop process on demand and ends
    // it when no program uses it any more; a window of the driver keeps it,
    // so that no run pays for starting it.
    HWND keepDesktop = CreateWindowExW(0, L"STATIC", L"bench", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    if (!keepDesktop) Die("cannot create the driver's window");

    if (!variants.empty()) return CompareFirstStarts(std::move(variants), runs);

    HANDLE toolStarted = CreateEventW(nullptr, TRUE, FALSE, kToolEvent);
    SetEnvironmentVariableW(L"DUOMIRA_BENCH_EVENT", kToolEvent);
    SetEnvironmentVariableW(L"DUOMIRA_BENCH_TOOL", BenchExe(L"bench_tool.exe").c_str());
    SetEnvironmentVariableW(L"DUOMIRA_BENCH_FIRST", kFirstPath);
    const int warmups = 3;
    Print("runs: " + std::to_string(runs) + " of each (after " + std::to_string(warmups) +
          " warm-up runs); second starts alternate with the baseline's, first starts\n"
          "and baseline windows go in an order shuffled each round, both rows against one baseline\n");

    // 1. Second start -> comparison tool started.
    Stats secondDuomira, secondBaseline;
    ResetSettings();
    WriteSetting(L"WinDiffPath", BenchExe(L"bench_tool.exe"));
    for (int run = -warmups; run < runs; ++run) {
        WriteSetting(L"FileName", kFirstPath);
        Settle();
        const double duomira = TimeToTool("Duomira's second start", Quoted(Duomira()) + L" " + kSecondPath, toolStarted);
        if (ReadSetting(L"FileName") != L"") Die("the second start did not clear FileName");
        Settle();
        const double baseline = TimeToTool("the baseline launcher",
                                           Quoted(BenchExe(L"baseline_launcher.exe")) + L" " + kSecondPath, toolStarted);
        if (run < 0) continue;
        secondDuomira.Add(duomira);
        secondBaseline.Add(baseline);
    }

    // 3. First start -> main window visible, and 2. FileName cleared -> first instance gone.
    // Each round times two first starts and two baseline windows: one start
    // with nothing stored (a first use ever, which looks for the installed
    // tools), one with a tool chosen and its path stored (every later use).
    // Both are set against all the baseline's runs.
    std::vector<FirstStart> firstStarts = {
        {L"nothing stored", L"Duomira.exe", L"", L"", false, {}},
        {L"tool and path stored", L"Duomira.exe", L"", L"", true, {}},
        BaselineWindow(),
        BaselineWindow(),
    };
    Stats clearToGone;
    TimeFirstStarts(firstStarts, runs, warmups, clearToGone);
    const Stats& firstDuomira = firstStarts[0].shown;
    const Stats& firstStoredDuomira = firstStarts[1].shown;
    Stats firstBaseline = firstStarts[2].shown;
    for (double value : firstStarts[3].shown.values) firstBaseline.Add(value);

    // 4. and 5. A waiting instance and an idle baseline window, side by side.
    ResetSettings();
    const std::wstring waitingMarker = L"C:\\bench\\waiting-" + std::to_wstring(GetCurrentProcessId()) + L".txt";
    Process waiting = Start(Quoted(Duomira()) + L" " + waitingMarker);
    // The idle baseline does what a waiting instance must: it looks at
    // FileName every 500 ms.
    Process idleBaseline = Start(Quoted(BenchExe(L"baseline_window.exe")) + L" tick idle-baseline-" +
                                 std::to_wstring(GetCurrentProcessId()));
    if (!WaitForVisibleWindow(waiting, L"DuomiraMainWindow", 10000) ||
        !WaitForVisibleWindow(idleBaseline, L"DuomiraBenchBaseline", 10000))
        Die("the idle windows did not come up");
    Sleep(1000);  // past the start-up
    IdleCost duomiraIdle, baselineIdle;
    HANDLE threads[2];
    struct IdleJob {
        const Process* process;
        std::wstring marker;
        DWORD seconds;
        IdleCost* cost;
    } jobs[2] = {{&waiting, waitingMarker, idleSeconds, &duomiraIdle},
                 {&idleBaseline, L"idle-baseline-" + std::to_wstring(GetCurrentProcessId()), idleSeconds,
                  &baselineIdle}};
    for (int i = 0; i < 2; ++i) {
        threads[i] = CreateThread(
            nullptr, 0,
            [](void* param) -> DWORD {
                auto* job = static_cast<IdleJob*>(param);
                *job->cost = MeasureIdle(*job->process, job->marker, job->seconds);
                return 0;
            },
            &jobs[i], 0, nullptr);
    }
    WaitForMultipleObjects(2, threads, TRUE, INFINITE);
    CloseHandle(threads[0]);
    CloseHandle(threads[1]);
    const bool stillWaiting = waiting.Running();
    WriteSetting(L"FileName", L"");
    waiting.WaitExit(5000);
    waiting.End();
    if (HWND window = VisibleWindowOf(idleBaseline.id, L"DuomiraBenchBaseline")) PostMessageW(window, WM_CLOSE, 0, 0);
    idleBaseline.WaitExit(5000);
    idleBaseline.End();
    if (!stillWaiting) Die("the waiting instance ended while idle");

    // The executable and its imports.
    WIN32_FILE_ATTRIBUTE_DATA attributes{};
    GetFileAttributesExW(Duomira().c_str(), GetFileExInfoStandard, &attributes);
    const ULONGLONG exeSize = (static_cast<ULONGLONG>(attributes.nFileSizeHigh) << 32) | attributes.nFileSizeLow;
    wchar_t systemDir[MAX_PATH];
    GetSystemDirectoryW(systemDir, MAX_PATH);
    std::string imports;
    bool systemOnly = true;
    for (const std::string& dll : ImportedDlls(Duomira())) {
        const std::wstring name(dll.begin(), dll.end());
        const bool inSystem = GetFileAttributesW((std::wstring(systemDir) + L"\\" + name).c_str()) !=
                              INVALID_FILE_ATTRIBUTES;
        systemOnly = systemOnly && inSystem;
        imports += (imports.empty() ? "" : " ") + dll + (inSystem ? "" : "(NOT SYSTEM)");
    }
    if (imports.empty()) Die("no import table read from Duomira.exe");

    // ---------------------------------------------------------------- table
    std::vector<Row> rows;
    auto ratioRow = [&](const char* measure, const Stats& duomira, const Stats& baseline, double goal) {
        const double ratio = duomira.Median() / baseline.Median();
        rows.push_back({measure, Ms(duomira), Ms(baseline), Format("%.2fx", ratio), "<= " + Format("%.3gx", goal),
                        Verdict(ratio <= goal)});
    };
    ratioRow("second start -> tool started, ms", secondDuomira, secondBaseline, 1.1);
    rows.push_back({"FileName cleared -> first instance gone, ms", Ms(clearToGone), "-", "-",
                    "median <= 50, p95 <= 100",
                    Verdict(clearToGone.Median() <= 50 && clearToGone.Quantile(0.95) <= 100)});
    ratioRow("first start -> main window visible, nothing stored, ms", firstDuomira, firstBaseline, 1.25);
    ratioRow("first start -> main window visible, tool and path stored, ms", firstStoredDuomira,
             firstBaseline, 1.25);
    rows.push_back({"Duomira.exe size", Format("%.0f KiB", static_cast<double>(exeSize) / 1024.0), "-", "-",
                    "-", ""});
    rows.push_back({"imports of Duomira.exe", imports, "-", "-", "system DLLs only", Verdict(systemOnly)});
    auto kibAsMiB = [](double kib) { return Format("%.2f MiB", kib / 1024.0); };
    const double privateMiB = duomiraIdle.privateKiB / 1024.0;
    rows.push_back({"private working set of a waiting instance (written pages)", kibAsMiB(duomiraIdle.privateKiB),
                    kibAsMiB(baselineIdle.privateKiB), Format("%+.2f MiB", privateMiB - baselineIdle.privateKiB / 1024.0),
                    "<= 8 MiB", Verdict(privateMiB <= 8.0)});
    rows.push_back({"unchanged file pages mapped by it alone (fonts, DLLs)", kibAsMiB(duomiraIdle.privateCleanKiB),
                    kibAsMiB(baselineIdle.privateCleanKiB), "-", "-", ""});
    rows.push_back({"working set of a waiting instance (with shared pages)", MiB(duomiraIdle.memory.WorkingSetSize),
                    MiB(baselineIdle.memory.WorkingSetSize), "-", "-", ""});
    const std::string seconds = std::to_string(idleSeconds) + " s";
    rows.push_back({"CPU of a waiting instance over " + seconds + ", ms (GetProcessTimes)",
                    Format("%.1f", duomiraIdle.cpuMs), Format("%.1f", baselineIdle.cpuMs), "-", "~ 0", ""});
    rows.push_back({"CPU over " + seconds + ", ms (/proc utime+stime, 10 ms steps)",
                    Format("%.0f", duomiraIdle.procCpuMs), Format("%.0f", baselineIdle.procCpuMs), "-", "~ 0",
                    Verdict(duomiraIdle.procCpuMs <= 10.0 * idleSeconds / 10.0 + 10.0)});
    // Under Wine every call to its server is a blocking round trip, so the
    // count of context switches is the count of server calls, not of wake-ups.
    // The baseline wakes exactly twice a second (its timer reads one registry
    // value each time): the same count means the same wake-ups.
    auto switches = [](const std::optional<Wakeups>& w, bool main) {
        if (!w) return std::string("n/a");
        return std::to_string(main ? w->mainThread : w->all) + (main ? "" : " (" + std::to_string(w->threads) + " threads)");
    };
    const bool counted = duomiraIdle.wakeups && baselineIdle.wakeups && baselineIdle.wakeups->mainThread > 0;
    const double switchRatio = counted ? static_cast<double>(duomiraIdle.wakeups->mainThread) /
                                             static_cast<double>(baselineIdle.wakeups->mainThread)
                                       : NAN;
    rows.push_back({"context switches of the UI thread over " + seconds, switches(duomiraIdle.wakeups, true),
                    switches(baselineIdle.wakeups, true), Format("%.2fx", switchRatio),
                    "~ 1x (2 wake-ups/s)", counted ? Verdict(switchRatio <= 1.25) : ""});
    rows.push_back({"context switches of all threads over " + seconds, switches(duomiraIdle.wakeups, false),
                    switches(baselineIdle.wakeups, false), "-", "-", ""});
    PrintTable(rows);
    return 0;
}
